#include "ui/MsrMainPage.h"

#include <QGroupBox>
#include <QRadioButton>

MsrMainPage::MsrMainPage(SettingsImage& image, QWidget* parent)
    : CodeListPage(image, "msr", parent, "error_beep", 1200) {
    addFlag("enable", 1203, ltrb(240, 150, 440, 170));
    // "High compatible TK1" is 0x10 and "High compatible TK3" 0x04, both ways.
    addFlag("high_compatible_tk1", 1207, ltrb(220, 190, 380, 210));
    addFlag("high_compatible_tk2", 1208, ltrb(220, 220, 380, 240));
    addFlag("high_compatible_tk3", 1209, ltrb(220, 250, 380, 270));
    addControl<QGroupBox>(caption("kb_output_mode"), 1204, ltrb(380, 180, 540, 280));
    const QList<QRadioButton*> modes = addChoiceButtons(
        "kb_output_mode", {{1205, ltrb(400, 210, 530, 230)}, {1206, ltrb(400, 240, 530, 260)}});
    modes.at(1)->setChecked(true); // "ALT mode" from the start, before any load
}
