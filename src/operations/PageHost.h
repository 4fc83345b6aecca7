#pragma once

// What the device commands need of the window's pages.
class PageHost {
public:
    virtual ~PageHost() = default;
    // Store the MSR Main Settings and Main Settings pages, and the track or ISO page being shown.
    virtual void storePages() = 0;
    // Reload the MSR Main Settings page and then the Main Settings page from the image (the
    // refresh step of the factory defaults).
    virtual void refreshPages() = 0;
    // Page index 0, reload the Main Settings and MSR Main Settings pages, hide every other page
    // and show the Main Settings page, as the "Main Setting" menu command does.
    virtual void returnToMainPage() = 0;
};
