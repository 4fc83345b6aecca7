#pragma once

#include <array>

#include <QObject>
#include <QString>

class KeyCodeEdit;
class QGroupBox;
class QPushButton;
class QWidget;

// The key pad of the MSR pages: its group box, the entry that shows the decimal code being
// composed (2012), the digit buttons 0..9 (2000..2009), OK (2010) and erase (2011). All are
// children of the window. The entry holds at most three digits and a value of at most 255.
class KeyPad : public QObject {
    Q_OBJECT

public:
    explicit KeyPad(QWidget* window);

    void setVisible(bool visible);
    KeyCodeEdit* entry() const { return entry_; }
    // The entry's leading decimal value; 0 for an empty text.
    int value() const;
    void clear();

    // The key-pad rule for a text: a leading value above 255 cuts the text to two characters,
    // more than three characters cut it to three, until neither applies.
    static QString limited(QString text);
    static long leadingValue(const QString& text);

signals:
    void digitClicked(int digit);
    void okClicked();

private:
    void appendDigit(int digit);
    void erase();
    void applyLimit();

    QGroupBox* group_ = nullptr;
    KeyCodeEdit* entry_ = nullptr;
    std::array<QPushButton*, 10> digits_{};
    QPushButton* ok_ = nullptr;
    QPushButton* erase_ = nullptr;
};
