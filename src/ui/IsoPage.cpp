#include "ui/IsoPage.h"

#include <string>

#include <QCheckBox>

namespace {

// Where the boxes below "FC/PAN data" go for each track: tracks 2 and 3 have no CC/NAME field,
// so its box is hidden (it still carries its bit) and the boxes below move up a row.
struct IsoLayout {
    bool ccName;
    QRect additional;
    QRect sendLf;
    QRect sendCr;
};

const IsoLayout& layoutOf(int track) {
    static const std::array<IsoLayout, 3> layouts = {{
        {true, {240, 150, 260, 20}, {240, 180, 280, 20}, {240, 210, 280, 20}},
        {false, {240, 120, 260, 20}, {240, 150, 280, 20}, {240, 180, 280, 30}},
        {false, {240, 120, 280, 20}, {240, 150, 280, 20}, {240, 180, 280, 30}},
    }};
    return layouts.at(static_cast<std::size_t>(track < 1 || track > 3 ? 0 : track - 1));
}

} // namespace

IsoPage::IsoPage(SettingsImage& image, QWidget* parent) : SettingsPage(image, "iso1", parent) {
    fieldSplitting_ = addFlag("field_splitting", 1405, ltrb(240, 60, 500, 80));
    QCheckBox* fcPan = addFlag("fc_pan", 1404, ltrb(240, 90, 500, 110));
    ccName_ = addFlag("cc_name", 1403, ltrb(240, 120, 500, 140));
    additional_ = addFlag("additional_data", 1402, ltrb(240, 150, 520, 170));
    sendLf_ = addFlag("send_lf", 1401, ltrb(240, 180, 500, 200));
    sendCr_ = addFlag("send_cr", 1400, ltrb(240, 210, 500, 230));
    fieldBoxes_ = {fcPan, ccName_, additional_, sendLf_, sendCr_};
    connect(fieldSplitting_, &QCheckBox::clicked, this, &IsoPage::applyFieldSplitting);
}

void IsoPage::setTrack(int track) {
    track_ = track;
    setSection("iso" + std::to_string(track));
}

void IsoPage::applyLayout() {
    const IsoLayout& layout = layoutOf(track_);
    ccName_->setVisible(layout.ccName);
    additional_->setGeometry(layout.additional);
    sendLf_->setGeometry(layout.sendLf);
    sendCr_->setGeometry(layout.sendCr);
    showCaptions();
}

void IsoPage::applyFieldSplitting() {
    const bool enabled = fieldSplitting_->isChecked();
    for (QCheckBox* box : fieldBoxes_) {
        box->setEnabled(enabled);
    }
}
