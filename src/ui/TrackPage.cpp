#include "ui/TrackPage.h"

#include <string>

#include <QCheckBox>

TrackPage::TrackPage(SettingsImage& image, QWidget* parent)
    : CodeListPage(image, "track1", parent, "beep", 1300) {
    addFlag("start_sentinel", 1303, ltrb(240, 150, 440, 170));
    addFlag("end_sentinel", 1304, ltrb(240, 180, 440, 200));
    addFlag("lrc_sentinel", 1307, ltrb(240, 210, 440, 230));
    // Named for no track until the page is shown for one.
    addFlag("swipe_left_to_right", 1305, ltrb(240, 240, 440, 260))
        ->setText(QStringLiteral("TKn swipe from left to right"));
    addFlag("swipe_right_to_left", 1306, ltrb(240, 270, 440, 290))
        ->setText(QStringLiteral("TKn swipe from rithg to left"));
}

void TrackPage::setTrack(int track) {
    setSection("track" + std::to_string(track));
}
