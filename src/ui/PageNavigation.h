#pragma once

#include "ui/CodeListPanel.h"
#include "ui/Page.h"

#include <QObject>

class IsoPage;
class MainSettingsPage;
class MsrMainPage;
class NavigationTree;
class PageTitle;
class QStackedWidget;
class QWidget;
class SettingsImage;
class SettingsPage;
class TrackPage;

// The pages of the main window and the moves between them: the pages stacked in the client
// area with one shown at a time, the navigation tree and the title that are shown with the MSR
// pages, and the code-list panel of the MSR Main Settings and track pages. The page being left
// is always stored into the block before the next one is loaded from it.
class PageNavigation : public QObject {
    Q_OBJECT

public:
    PageNavigation(QWidget* client, SettingsImage& image);

    MainSettingsPage& mainPage() const { return *main_; }
    // Start-up: the tree's items, both roots collapsed and nothing selected.
    void buildTree();

    Page currentPage() const { return currentPage_; }
    CodeListPanel::KeyPadTarget keyPadTarget() const { return panel_->keyPadTarget(); }

    // Shows a page's settings from the block / stores them into the block (the ISO group item
    // has none).
    void loadPage(Page page);
    void storePage(Page page);
    // Stores the MSR Main Settings and Main Settings pages, and the track or ISO page shown.
    void storePages();
    // Reloads the MSR Main Settings page, then the Main Settings page.
    void refreshPages();
    // Makes a page the current one and loads it; the pages are left (the Main Settings and MSR
    // Main Settings pages stored, as leaving them always does) and none is shown yet.
    void selectPage(Page page);
    // What choosing a tree item does after storing the pages: selects its page and shows it.
    void openPage(Page page);
    // The Main Settings page in the layout of its mode buttons, without tree and title.
    void showMainPage();
    // Back to the Main Settings page, reloaded, as after a file load or a device command.
    void returnToMainPage();
    void showMainSetting(); // menu "Main Setting"
    void showMsrSetting();  // menu "MSR Setting"

private:
    // The widget that shows a page, set to the page's track; nullptr for the ISO group item.
    SettingsPage* pageAt(Page page);
    void setCurrentPage(Page page);
    void leavePages();
    void showMsrMainPage();
    void showTrackPage();
    void showIsoPage();
    void showTreeAndTitle(bool visible);
    void onTreeSelectionChanged();
    void onKeyPadConfirmed();

    Page currentPage_ = Page::MainSettings;
    NavigationTree* tree_;
    QStackedWidget* stack_;
    MainSettingsPage* main_;
    MsrMainPage* msrMain_;
    TrackPage* track_;
    QWidget* isoGroup_;
    IsoPage* iso_;
    PageTitle* title_;
    CodeListPanel* panel_;
};
