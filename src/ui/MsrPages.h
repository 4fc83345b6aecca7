#pragma once

#include <memory>

#include <QString>

class CodeListEditor;
class QLabel;
class QWidget;
class SettingsImage;

// The controls of the MSR pages (MSR Main Settings, the three track pages, the ISO field setting
// page, the prefix and suffix entries and the key pad), all children of the main window and
// created hidden. The main window's navigation calls these operations; the pages read the page
// index through `currentPage`, which the main window owns and sets before it calls them.
class MsrPages {
public:
    MsrPages(QWidget* window, SettingsImage& image, const int& currentPage);
    ~MsrPages();
    MsrPages(const MsrPages&) = delete;
    MsrPages& operator=(const MsrPages&) = delete;

    // loadPage for the MSR pages: 1 MSR Main Settings, 2..4 track 1..3, 6..8 ISO track 1..3.
    // Page 5 (the ISO group item) has no controls.
    void loadPage(int page);
    void storeMsrMainPage();
    void storeTrackPage(int track);
    void storeIsoPage(int track);

    // Runs loadPage(1) and shows the page (the caller has set the page index to 1).
    void showMsrMainPage();
    void hideMsrMainPage(); // stores the page first
    void setSwipeCaptions(int track);
    void showTrackPage();
    void hideTrackPage();
    void showIsoPage();
    void applyIsoLayout(int track);
    void hideIsoPage();
    void hideKeyPad();

    // The bold title that heads every MSR page (control 1101).
    QLabel* pageTitle() const;
    // The prefix and suffix entries, their counters and the key pad, with keyPadTarget and the
    // display texts of the current page's lists.
    const CodeListEditor& codeListEditor() const;

private:
    struct Controls;
    std::unique_ptr<Controls> controls_;
};
