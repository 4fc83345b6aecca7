#pragma once

#include <string>

// The pages of the main window, in the order of the navigation: Main Settings (reached through
// the menu), then the items of the tree.
enum class Page {
    MainSettings,
    MsrMainSettings,
    MsrTrack1,
    MsrTrack2,
    MsrTrack3,
    IsoGroup, // the tree's "MSR ISO Standard Field Setting Group" item: no controls of its own
    IsoTrack1,
    IsoTrack2,
    IsoTrack3,
};

constexpr bool isMsrTrack(Page page) {
    return page == Page::MsrTrack1 || page == Page::MsrTrack2 || page == Page::MsrTrack3;
}

constexpr bool isIsoTrack(Page page) {
    return page == Page::IsoTrack1 || page == Page::IsoTrack2 || page == Page::IsoTrack3;
}

// The track 1..3 that an MSR Track or ISO page shows; 0 for the other pages.
constexpr int trackOf(Page page) {
    switch (page) {
    case Page::MsrTrack1:
    case Page::IsoTrack1:
        return 1;
    case Page::MsrTrack2:
    case Page::IsoTrack2:
        return 2;
    case Page::MsrTrack3:
    case Page::IsoTrack3:
        return 3;
    default:
        return 0;
    }
}

constexpr Page msrTrackPage(int track) {
    return track == 3 ? Page::MsrTrack3 : (track == 2 ? Page::MsrTrack2 : Page::MsrTrack1);
}

constexpr Page isoTrackPage(int track) {
    return track == 3 ? Page::IsoTrack3 : (track == 2 ? Page::IsoTrack2 : Page::IsoTrack1);
}

// The pages whose prefix and suffix entries and key pad edit code lists.
constexpr bool editsCodeLists(Page page) {
    return page == Page::MsrMainSettings || isMsrTrack(page);
}

// The section of the table of named settings that a page shows: "main", "msr", "track2",
// "iso3"; empty for the ISO group item.
inline std::string sectionOf(Page page) {
    if (isMsrTrack(page)) {
        return "track" + std::to_string(trackOf(page));
    }
    if (isIsoTrack(page)) {
        return "iso" + std::to_string(trackOf(page));
    }
    switch (page) {
    case Page::MainSettings:
        return "main";
    case Page::MsrMainSettings:
        return "msr";
    default:
        return {};
    }
}
