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
    // lists): the entries work on its lists, and Tab reaches each entry right after its box.
    void setPage(Page page, QAbstractButton* prefixBox, QAbstractButton* suffixBox);
    // Each entry and its counter shown with its list while its page's box is checked and shown;
    // the key pad while either box of a page with code lists is checked. The key pad keeps the
    // list it works for: only the operator's focus changes and typing choose it.
    void refresh();
    // Hides the entries, their counters and the key pad; the key pad works for no list.
    void hide();
    void clearKeyPadTarget() { keyPadTarget_ = KeyPadTarget::None; }
    KeyPadTarget keyPadTarget() const { return keyPadTarget_; }

signals:
    // OK of the key pad was pressed and its code, if any, added: the page is to be stored and
    // loaded again.
    void keyPadConfirmed();

private:
    CodeList list(const NamedSetting* record);
    // The key pad's list: its target while the target's entry is shown; otherwise the prefix
    // when only the prefix entry is shown, else the suffix.
    bool keyPadFeedsPrefix() const;
    void digitClicked();
    void okClicked();

    SettingsImage& image_;
    Page page_ = Page::MainSettings;
    QAbstractButton* prefixBox_ = nullptr;
    QAbstractButton* suffixBox_ = nullptr;
    const NamedSetting* prefixList_ = nullptr;
    const NamedSetting* suffixList_ = nullptr;
    // The list of a page that has none: the entries are hidden there, but never edit the block.
    std::array<std::uint8_t, 10> noList_{};
    CodeListEditor* prefix_;
    CodeListEditor* suffix_;
    KeyPad* keyPad_;
    KeyPadTarget keyPadTarget_ = KeyPadTarget::None;
};
