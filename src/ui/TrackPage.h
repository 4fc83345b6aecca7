#pragma once

#include "ui/CodeListPage.h"

// The MSR Track page, one for the three tracks: the options in the track's track_flags.
class TrackPage : public CodeListPage {
    Q_OBJECT

public:
    TrackPage(SettingsImage& image, QWidget* parent);

    // The track (1..3) whose settings load and store work on; showCaptions then names the swipe
    // boxes for it.
    void setTrack(int track);
};
