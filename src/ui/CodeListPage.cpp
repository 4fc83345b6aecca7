#include "ui/CodeListPage.h"

#include <utility>

CodeListPage::CodeListPage(SettingsImage& image, std::string section, QWidget* parent,
                           std::string_view beepKey, int firstId)
    : SettingsPage(image, std::move(section), parent) {
    addFlag(beepKey, firstId, ltrb(240, 60, 440, 80));
    prefix_ = addFlag("send_prefix", firstId + 1, ltrb(240, 90, 300, 110));
    suffix_ = addFlag("send_suffix", firstId + 2, ltrb(240, 120, 300, 140));
}
