#include "ui/IsoPage.h"

#include "settings/SettingsImage.h"

#include <QCheckBox>

namespace {

// Positions are the window's pixels: left, top, right, bottom.
void place(QWidget* control, int left, int top, int right, int bottom) {
    control->setGeometry(left, top, right - left, bottom - top);
}

QCheckBox* box(QWidget* window, const char* text, int id, int left, int top, int right,
               int bottom) {
    auto* control = new QCheckBox(QString::fromLatin1(text), window);
    control->setObjectName(QString::number(id));
    place(control, left, top, right, bottom);
    control->hide();
    return control;
}

} // namespace

IsoPage::IsoPage(QWidget* window) {
    fieldSplitting_ = box(window, "Field splitting Enable/Disable", 1405, 240, 60, 500, 80);
    auto* fcPan = box(window, "FC/PAN data", 1404, 240, 90, 500, 110);
    ccName_ = box(window, "CC/NAME data", 1403, 240, 120, 500, 140);
    additional_ = box(window, "Additional data", 1402, 240, 150, 520, 170);
    sendLf_ = box(window, "Send LF[Line feed] after field data", 1401, 240, 180, 500, 200);
    sendCr_ = box(window, "Send CR[Carrige return] after field data", 1400, 240, 210, 500, 230);
    bindings_ = {{{sendCr_, 0x40},
                  {sendLf_, 0x20},
                  {additional_, 0x08},
                  {ccName_, 0x04},
                  {fcPan, 0x02},
                  {fieldSplitting_, 0x01}}};
}

void IsoPage::load(SettingsImage& image, int track) {
    const std::uint8_t flags = image.iso_flags(track);
    for (const Binding& binding : bindings_) {
        binding.box->setChecked((flags & binding.bit) != 0);
    }
}

void IsoPage::store(SettingsImage& image, int track) const {
    std::uint8_t& flags = image.iso_flags(track);
    for (const Binding& binding : bindings_) {
        if (binding.box->isChecked()) {
            flags = static_cast<std::uint8_t>(flags | binding.bit);
        } else {
            flags = static_cast<std::uint8_t>(flags & ~binding.bit);
        }
    }
}

void IsoPage::applyLayout(int track) {
    if (track == 1) {
        ccName_->show();
        additional_->setText(QStringLiteral("Additional data"));
        place(additional_, 240, 150, 500, 170);
        place(sendLf_, 240, 180, 520, 200);
        place(sendCr_, 240, 210, 520, 230);
        return;
    }
    // Tracks 2 and 3 have no CC/NAME field; its box is hidden but still carries its bit.
    ccName_->hide();
    if (track == 2) {
        additional_->setText(QStringLiteral("Additional data"));
        place(additional_, 240, 120, 500, 140);
    } else {
        additional_->setText(QStringLiteral("Use and security data/additional data"));
        place(additional_, 240, 120, 520, 140);
    }
    place(sendLf_, 240, 150, 520, 170);
    place(sendCr_, 240, 180, 520, 210);
}

void IsoPage::applyFieldSplitting() {
    const bool enabled = fieldSplitting_->isChecked();
    for (const Binding& binding : bindings_) {
        if (binding.box != fieldSplitting_) {
            binding.box->setEnabled(enabled);
        }
    }
}

void IsoPage::show() {
    for (const Binding& binding : bindings_) {
        binding.box->show();
    }
}

void IsoPage::hide() {
    for (const Binding& binding : bindings_) {
        binding.box->hide();
    }
}
