#include "ui/MsrMainPage.h"

#include "settings/SettingsImage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {

// Positions are the window's pixels: left, top, right, bottom.
template <typename Control>
Control* create(QWidget* window, const char* text, int id, int left, int top, int right,
                int bottom) {
    auto* control = new Control(QString::fromLatin1(text), window);
    control->setObjectName(QString::number(id));
    control->setGeometry(left, top, right - left, bottom - top);
    control->hide();
    return control;
}

} // namespace

MsrMainPage::MsrMainPage(QWidget* window) {
    title_ = create<QLabel>(window, "MSR main settings", 1101, 210, 9, 550, 39);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(24);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    title_->setFrameStyle(QFrame::Box | QFrame::Plain);
    title_->setAlignment(Qt::AlignCenter);

    auto* errorBeep = create<QCheckBox>(window, "Error beep sounds", 1200, 240, 60, 440, 80);
    prefix_ = create<QCheckBox>(window, "Prefix", 1201, 240, 90, 300, 110);
    suffix_ = create<QCheckBox>(window, "Suffix", 1202, 240, 120, 300, 140);
    auto* enable = create<QCheckBox>(window, "Enable MSR", 1203, 240, 150, 440, 170);
    auto* tk1 = create<QCheckBox>(window, "High compatible TK1", 1207, 220, 190, 380, 210);
    auto* tk2 = create<QCheckBox>(window, "High compatible TK2", 1208, 220, 220, 380, 240);
    auto* tk3 = create<QCheckBox>(window, "High compatible TK3", 1209, 220, 250, 380, 270);
    outputMode_ = create<QGroupBox>(window, "KB data output mode", 1204, 380, 180, 540, 280);
    scanCodeMode_ = create<QRadioButton>(window, "Scan code mode", 1205, 400, 210, 530, 230);
    altMode_ = create<QRadioButton>(window, "ALT mode", 1206, 400, 240, 530, 260);

    // Its own group, so that the Main Settings page's radio buttons, siblings in the same
    // window, stay out of it.
    outputModeButtons_ = new QButtonGroup(window);
    outputModeButtons_->addButton(scanCodeMode_);
    outputModeButtons_->addButton(altMode_);
    altMode_->setChecked(true);

    // "High compatible TK1" is 0x10 and "High compatible TK3" 0x04, both ways.
    bindings_ = {{{errorBeep, 0x80},
                  {prefix_, 0x40},
                  {suffix_, 0x20},
                  {tk1, 0x10},
                  {tk2, 0x08},
                  {tk3, 0x04},
                  {altMode_, 0x02},
                  {enable, 0x01}}};
}

void MsrMainPage::load(const SettingsImage& image) {
    const std::uint8_t flags = image.data(SettingsImage::kMsrFlagsSlot)[0];
    for (const Binding& binding : bindings_) {
        if (binding.control != altMode_) {
            binding.control->setChecked((flags & binding.bit) != 0);
        }
    }
    // In an exclusive group only checking the other button clears one.
    if ((flags & 0x02) != 0) {
        altMode_->setChecked(true);
    } else {
        scanCodeMode_->setChecked(true);
    }
}

void MsrMainPage::store(SettingsImage& image) const {
    std::uint8_t& flags = image.msr_flags();
    for (const Binding& binding : bindings_) {
        if (binding.control->isChecked()) {
            flags = static_cast<std::uint8_t>(flags | binding.bit);
        } else {
            flags = static_cast<std::uint8_t>(flags & ~binding.bit);
        }
    }
}

void MsrMainPage::show() {
    for (const Binding& binding : bindings_) {
        binding.control->show();
    }
    outputMode_->show();
    scanCodeMode_->show();
}

void MsrMainPage::hide() {
    for (const Binding& binding : bindings_) {
        binding.control->hide();
    }
    outputMode_->hide();
    scanCodeMode_->hide();
}
