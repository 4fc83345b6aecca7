#pragma once

#include "settings/CodeList.h"

#include <QObject>
#include <QString>

class KeyCodeEdit;
class KeyPad;
class QCheckBox;
class QLabel;
class QWidget;
class SettingsImage;

// The prefix and suffix entries (3010, 3020) with their counters of free places, and the key
// pad that adds codes 1..255 to one of the two lists. They serve the MSR Main Settings page
// (page 1) and the track pages (pages 2..4): the entries always work on the code lists of the
// current page.
class CodeListEditor : public QObject {
    Q_OBJECT

public:
    // Which list the key pad feeds.
    enum class KeyPadTarget { None, Prefix, Suffix };

    CodeListEditor(QWidget* window, SettingsImage& image, const int& currentPage);

    // The "Prefix" and "Suffix" boxes of the track pages and of the MSR Main Settings page,
    // which decide what the entries and the key pad show.
    void setPageBoxes(const QCheckBox* trackPrefix, const QCheckBox* trackSuffix,
                      const QCheckBox* msrPrefix, const QCheckBox* msrSuffix);

    // Rebuilds the display texts and counters from page p's lists (1..4), then refreshes both
    // entries.
    void loadCodeLists(int page);
    void refreshPrefixEntry();
    void refreshSuffixEntry();
    void showKeyPad();
    void hideKeyPad();
    // Hides both entries and both counters.
    void hideEntries();
    void clearKeyPadTarget() { keyPadTarget_ = KeyPadTarget::None; }

    KeyPadTarget keyPadTarget() const { return keyPadTarget_; }
    const QString& prefixText() const { return prefixText_; }
    const QString& suffixText() const { return suffixText_; }
    const QString& prefixRemaining() const { return prefixRemaining_; }
    const QString& suffixRemaining() const { return suffixRemaining_; }

signals:
    // OK of the key pad was pressed and its code, if any, added: the current page is to be
    // stored and loaded again.
    void keyPadConfirmed();

private:
    CodeList prefixList() const;
    CodeList suffixList() const;
    void refreshKeyPad();
    void prefixCodesChanged();
    void suffixCodesChanged();
    // The key pad's list: the prefix when it is the target, or when there is no target and
    // only the prefix entry is shown; otherwise the suffix.
    bool keyPadFeedsPrefix() const;
    void digitClicked();
    void okClicked();

    QWidget* window_;
    SettingsImage& image_;
    const int& currentPage_;
    const QCheckBox* trackPrefixBox_ = nullptr;
    const QCheckBox* trackSuffixBox_ = nullptr;
    const QCheckBox* msrPrefixBox_ = nullptr;
    const QCheckBox* msrSuffixBox_ = nullptr;

    KeyCodeEdit* prefixEntry_ = nullptr;
    KeyCodeEdit* suffixEntry_ = nullptr;
    QLabel* prefixCounter_ = nullptr;
    QLabel* suffixCounter_ = nullptr;
    KeyPad* keyPad_ = nullptr;

    KeyPadTarget keyPadTarget_ = KeyPadTarget::None;
    QString prefixText_;
    QString suffixText_;
    QString prefixRemaining_ = QStringLiteral("7");
    QString suffixRemaining_ = QStringLiteral("7");
};
