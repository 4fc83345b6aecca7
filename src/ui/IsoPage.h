#pragma once

#include "ui/SettingsPage.h"

#include <array>

class QCheckBox;

// The ISO field setting page, one for the three tracks: the six boxes of the track's iso_flags.
// Bits 0x10 and 0x80 have no box and are never changed.
class IsoPage : public SettingsPage {
    Q_OBJECT

public:
    IsoPage(SettingsImage& image, QWidget* parent);

    // The track (1..3) whose settings load and store work on.
    void setTrack(int track);
    // Places and names the boxes for the fields of the track set last.
    void applyLayout();
    // The five field boxes are usable only while field splitting is on; they keep their state.
    void applyFieldSplitting();

private:
    int track_ = 1;
    QCheckBox* fieldSplitting_ = nullptr;
    QCheckBox* ccName_ = nullptr;
    QCheckBox* additional_ = nullptr;
    QCheckBox* sendLf_ = nullptr;
    QCheckBox* sendCr_ = nullptr;
    std::array<QCheckBox*, 5> fieldBoxes_{};
};
