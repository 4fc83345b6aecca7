#include "ui/MsrPages.h"

#include "settings/SettingsImage.h"

#include <QLabel>

// Placeholder until the MSR page controls are built: only the page title exists.
struct MsrPages::Controls {
    QLabel* title = nullptr;
};

MsrPages::MsrPages(QWidget* window, SettingsImage& /*image*/, const int& /*currentPage*/)
    : controls_(std::make_unique<Controls>()) {
    controls_->title = new QLabel(QStringLiteral("MSR main settings"), window);
    controls_->title->setObjectName(QStringLiteral("1101"));
    controls_->title->hide();
}

MsrPages::~MsrPages() = default;

void MsrPages::loadPage(int /*page*/) {}
void MsrPages::storeMsrMainPage() {}
void MsrPages::storeTrackPage(int /*track*/) {}
void MsrPages::storeIsoPage(int /*track*/) {}
void MsrPages::showMsrMainPage() {}
void MsrPages::hideMsrMainPage() {}
void MsrPages::setSwipeCaptions(int /*track*/) {}
void MsrPages::showTrackPage() {}
void MsrPages::hideTrackPage() {}
void MsrPages::showIsoPage() {}
void MsrPages::applyIsoLayout(int /*track*/) {}
void MsrPages::hideIsoPage() {}
void MsrPages::hideKeyPad() {}
QLabel* MsrPages::pageTitle() const {
    return controls_->title;
}
