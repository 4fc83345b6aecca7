#include "ui/CodeListPanel.h"

#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"
#include "ui/CodeListEditor.h"
#include "ui/KeyPad.h"

#include <QAbstractButton>

namespace {

bool checked(const QAbstractButton* box) {
    return box != nullptr && box->isChecked();
}

} // namespace

CodeListPanel::CodeListPanel(QWidget* client, SettingsImage& image)
    : QObject(client), image_(image),
      prefix_(new CodeListEditor(client, KeyCodeEdit::Role::Prefix, 3010,
                                 QStringLiteral("prefixCounter"), {310, 90, 130, 20},
                                 [this] { return list(prefixList_); })),
      suffix_(new CodeListEditor(client, KeyCodeEdit::Role::Suffix, 3020,
                                 QStringLiteral("suffixCounter"), {310, 120, 130, 20},
                                 [this] { return list(suffixList_); })),
      keyPad_(new KeyPad(client)) {
    connect(prefix_, &CodeListEditor::used, this, [this] { keyPadTarget_ = KeyPadTarget::Prefix; });
    connect(suffix_, &CodeListEditor::used, this, [this] { keyPadTarget_ = KeyPadTarget::Suffix; });
    connect(keyPad_, &KeyPad::digitClicked, this, &CodeListPanel::digitClicked);
    connect(keyPad_, &KeyPad::okClicked, this, &CodeListPanel::okClicked);
}

CodeList CodeListPanel::list(const NamedSetting* record) {
    return CodeList(record != nullptr ? image_.raw().data() + record->offset : noList_.data());
}

void CodeListPanel::setPage(Page page, const QAbstractButton* prefixBox,
                            const QAbstractButton* suffixBox) {
    page_ = page;
    prefixBox_ = prefixBox;
    suffixBox_ = suffixBox;
    const std::string section = editsCodeLists(page) ? sectionOf(page) : std::string();
    prefixList_ = SettingTable::find(section, "prefix");
    suffixList_ = SettingTable::find(section, "suffix");
}

void CodeListPanel::refresh() {
    const auto shown = [](const QAbstractButton* box) {
        return checked(box) && box->isVisibleTo(box->window());
    };
    prefix_->refresh(shown(prefixBox_));
    suffix_->refresh(shown(suffixBox_));
    showKeyPad(editsCodeLists(page_) && (checked(prefixBox_) || checked(suffixBox_)));
}

void CodeListPanel::hide() {
    prefix_->refresh(false);
    suffix_->refresh(false);
    showKeyPad(false);
}

void CodeListPanel::showKeyPad(bool shown) {
    keyPad_->setVisible(shown);
    if (shown) {
        keyPadTarget_ = KeyPadTarget::None;
    }
}

bool CodeListPanel::keyPadFeedsPrefix() const {
    switch (keyPadTarget_) {
    case KeyPadTarget::Prefix:
        return true;
    case KeyPadTarget::Suffix:
        return false;
    case KeyPadTarget::None:
        break;
    }
    // Never feed a list whose entry the operator cannot see.
    return !prefix_->entry()->isHidden() && suffix_->entry()->isHidden();
}

void CodeListPanel::digitClicked() {
    KeyCodeEdit* entry = (keyPadFeedsPrefix() ? prefix_ : suffix_)->entry();
    entry->setFocus(Qt::OtherFocusReason);
    entry->moveCaretToEnd();
}

void CodeListPanel::okClicked() {
    CodeList target = list(keyPadFeedsPrefix() ? prefixList_ : suffixList_);
    const int value = keyPad_->value();
    if (value >= 1 && value <= 255) {
        target.append(static_cast<std::uint8_t>(value));
    }
    keyPad_->clear();
    emit keyPadConfirmed();
}
