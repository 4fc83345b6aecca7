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

void CodeListPanel::setPage(Page page, QAbstractButton* prefixBox, QAbstractButton* suffixBox) {
    page_ = page;
    prefixBox_ = prefixBox;
    suffixBox_ = suffixBox;
    if (prefixBox != nullptr && suffixBox != nullptr) {
        QWidget::setTabOrder(prefixBox, prefix_->entry());
        QWidget::setTabOrder(suffixBox, suffix_->entry());
    }
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
    keyPad_->setVisible(editsCodeLists(page_) && (checked(prefixBox_) || checked(suffixBox_)));
}

void CodeListPanel::hide() {
    prefix_->refresh(false);
    suffix_->refresh(false);
    keyPad_->setVisible(false);
    keyPadTarget_ = KeyPadTarget::None;
}

bool CodeListPanel::keyPadFeedsPrefix() const {
    // Never feed a list whose entry the operator cannot see.
    const bool prefixShown = !prefix_->entry()->isHidden();
    const bool suffixShown = !suffix_->entry()->isHidden();
    if (keyPadTarget_ == KeyPadTarget::Prefix && prefixShown) {
        return true;
    }
    if (keyPadTarget_ == KeyPadTarget::Suffix && suffixShown) {
        return false;
    }
    return prefixShown && !suffixShown;
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
