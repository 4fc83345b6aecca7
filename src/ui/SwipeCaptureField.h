#pragma once

#include <QLineEdit>

class QKeyEvent;

// The field that takes what a reader in the keyboard line types. Every key becomes the code the
// reader meant: characters as they are, Enter as 13, Tab as 9, Backspace as 8, Escape as 27;
// nothing else moves the focus (Ctrl+Tab leaves the field), edits the field or triggers a
// shortcut while it has the focus. In ALT mode the reader types a code as Alt held down and its
// decimal digits on the keypad; the digits are composed into that code when Alt is let go, since
// Linux does not compose them.
class SwipeCaptureField : public QLineEdit {
    Q_OBJECT

public:
    explicit SwipeCaptureField(QWidget* parent = nullptr);

signals:
    void codeTyped(int code);

protected:
    bool event(QEvent* event) override;

private:
    void keyDown(const QKeyEvent& key);
    void keyUp(const QKeyEvent& key);
    // The digit of a keypad key, with Num Lock on or off; -1 for any other key.
    static int keypadDigit(const QKeyEvent& key);

    int altValue_ = -1; // the code composed so far while Alt is held; -1: no digit yet
    bool altHeld_ = false;
};
