#pragma once

#include "settings/CodeList.h"
#include "ui/Page.h"

#include <array>
#include <cstdint>

#include <QObject>

class CodeListEditor;
class KeyPad;
class QAbstractButton;
class QWidget;
class SettingsImage;
struct NamedSetting;

// The prefix and suffix entries and the key pad that the MSR Main Settings page and the MSR
// Track pages share: the entries edit the code lists of the page being shown, and the key pad
// adds codes 1..255 to one of them. Its controls are children of the client area, above the
// pages, at the same places on both pages.
class CodeListPanel : public QObject {
    Q_OBJECT

public:
    // Which list the key pad feeds.
    enum class KeyPadTarget { None, Prefix, Suffix };

    CodeListPanel(QWidget* client, SettingsImage& image);

    // The page being shown, with its "Prefix" and "Suffix" boxes (none for a page without code
    // lists): the entries work on its lists.
    void setPage(Page page, const QAbstractButton* prefixBox, const QAbstractButton* suffixBox);
    // Each entry and its counter shown with its list while its page's box is checked and shown;
    // the key pad while either box of a page with code lists is checked.
    void refresh();
    // Hides the entries, their counters and the key pad.
    void hide();
    void clearKeyPadTarget() { keyPadTarget_ = KeyPadTarget::None; }
    KeyPadTarget keyPadTarget() const { return keyPadTarget_; }

signals:
    // OK of the key pad was pressed and its code, if any, added: the page is to be stored and
    // loaded again.
    void keyPadConfirmed();

private:
    CodeList list(const NamedSetting* record);
    void showKeyPad(bool shown);
    // The key pad's list: the prefix when it is the target, or when there is no target and
    // only the prefix entry is shown; otherwise the suffix.
    bool keyPadFeedsPrefix() const;
    void digitClicked();
    void okClicked();

    SettingsImage& image_;
    Page page_ = Page::MainSettings;
    const QAbstractButton* prefixBox_ = nullptr;
    const QAbstractButton* suffixBox_ = nullptr;
    const NamedSetting* prefixList_ = nullptr;
    const NamedSetting* suffixList_ = nullptr;
    // The list of a page that has none: the entries are hidden there, but never edit the block.
    std::array<std::uint8_t, 10> noList_{};
    CodeListEditor* prefix_;
    CodeListEditor* suffix_;
    KeyPad* keyPad_;
    KeyPadTarget keyPadTarget_ = KeyPadTarget::None;
};
