#include "ui/TrackPage.h"

#include "settings/SettingsImage.h"

#include <QCheckBox>

namespace {

// Positions are the window's pixels: left, top, right, bottom.
QCheckBox* box(QWidget* window, const char* text, int id, int left, int top, int right,
               int bottom) {
    auto* control = new QCheckBox(QString::fromLatin1(text), window);
    control->setObjectName(QString::number(id));
    control->setGeometry(left, top, right - left, bottom - top);
    control->hide();
    return control;
}

} // namespace

TrackPage::TrackPage(QWidget* window) {
    auto* beep = box(window, "Beep sound", 1300, 240, 60, 440, 80);
    prefix_ = box(window, "Prefix", 1301, 240, 90, 300, 110);
    suffix_ = box(window, "Suffix", 1302, 240, 120, 300, 140);
    auto* start = box(window, "Start sentinel", 1303, 240, 150, 440, 170);
    auto* end = box(window, "End sentinel", 1304, 240, 180, 440, 200);
    auto* lrc = box(window, "LRC sentinel", 1307, 240, 210, 440, 230);
    leftToRight_ = box(window, "TKn swipe from left to right", 1305, 240, 240, 440, 260);
    rightToLeft_ = box(window, "TKn swipe from rithg to left", 1306, 240, 270, 440, 290);
    bindings_ = {{{beep, 0x80},
                  {prefix_, 0x40},
                  {suffix_, 0x20},
                  {start, 0x10},
                  {end, 0x08},
                  {lrc, 0x04},
                  {leftToRight_, 0x02},
                  {rightToLeft_, 0x01}}};
}

void TrackPage::load(SettingsImage& image, int track) {
    const std::uint8_t flags = image.track_flags(track);
    for (const Binding& binding : bindings_) {
        binding.box->setChecked((flags & binding.bit) != 0);
    }
}

void TrackPage::store(SettingsImage& image, int track) const {
    std::uint8_t& flags = image.track_flags(track);
    for (const Binding& binding : bindings_) {
        if (binding.box->isChecked()) {
            flags = static_cast<std::uint8_t>(flags | binding.bit);
        } else {
            flags = static_cast<std::uint8_t>(flags & ~binding.bit);
        }
    }
}

void TrackPage::setSwipeCaptions(int track) {
    leftToRight_->setText(QStringLiteral("TK%1 swipe from left to right").arg(track));
    rightToLeft_->setText(QStringLiteral("TK%1 swipe from right to left").arg(track));
}

void TrackPage::show() {
    for (const Binding& binding : bindings_) {
        binding.box->show();
    }
}

void TrackPage::hide() {
    for (const Binding& binding : bindings_) {
        binding.box->hide();
    }
}
