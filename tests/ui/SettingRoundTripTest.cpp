// Every setting of the table through the page that shows it: set in the block, loaded by the page,
// stored back by it, the same bytes.
#include "settings/CodeList.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "support/MainWindowFixture.h"
#include "ui/PageNavigation.h"

#include <string>
#include <vector>

#include <QLabel>
#include <QLineEdit>

namespace {

// The page that shows a section of the table.
Page pageOf(std::string_view section) {
    for (const Page page :
         {Page::MainSettings, Page::MsrMainSettings, Page::MsrTrack1, Page::MsrTrack2,
          Page::MsrTrack3, Page::IsoTrack1, Page::IsoTrack2, Page::IsoTrack3}) {
        if (sectionOf(page) == section) {
            return page;
        }
    }
    ADD_FAILURE() << "no page shows " << section;
    return Page::IsoGroup;
}

// Every text a setting takes by its kind: both words of a flag, the whole range of a byte, every
// choice, and code lists from empty to full with codes shown in braces.
std::vector<std::string> valuesOf(const NamedSetting& setting) {
    switch (setting.kind) {
    case SettingKind::Flag:
        return {"on", "off"};
    case SettingKind::Byte: {
        std::vector<std::string> values;
        for (int v = setting.low; v <= setting.high; ++v) {
            values.push_back(std::to_string(v));
        }
        return values;
    }
    case SettingKind::Choice: {
        std::vector<std::string> values;
        for (const SettingChoice& c : setting.choices) {
            values.emplace_back(c.token);
        }
        return values;
    }
    case SettingKind::CodeList:
        return {"", "x", "T1{13}{10}", "{1}{255} ~}{127}", "abcdefg"};
    }
    return {};
}

class SettingRoundTrip : public MainWindowFixture {
protected:
    void SetUp() override { startWithReaderOn(3); }

    void set(const NamedSetting& setting, const std::string& text) {
        std::string error;
        ASSERT_EQ(writeSetting(image, setting, text, error), SettingStatus::Ok) << error;
    }
    // Another value than `text` that the setting takes.
    static std::string otherThan(const NamedSetting& setting, const std::string& text) {
        const std::vector<std::string> values = valuesOf(setting);
        return values.front() != text ? values.front() : values.back();
    }
};

TEST_F(SettingRoundTrip, EverySettingIsShownAndStoredBackByItsPage) {
    PageNavigation& pages = window->navigation();
    int roundTrips = 0;
    for (const NamedSetting& setting : SettingTable::all()) {
        if (setting.kind == SettingKind::CodeList) {
            continue;
        }
        const Page page = pageOf(setting.section());
        for (const std::string& text : valuesOf(setting)) {
            SCOPED_TRACE(std::string(setting.name) + "=" + text);
            set(setting, text);
            const SettingsImage wanted = image;
            pages.loadPage(page);
            ASSERT_EQ(image.raw(), wanted.raw()) << "loading writes nothing";
            set(setting, otherThan(setting, text));
            pages.storePage(page);
            ASSERT_EQ(image.raw(), wanted.raw());
            ++roundTrips;
        }
    }
    EXPECT_GT(roundTrips, 500);
}

// The code lists are not stored from the page: the entries edit the block at once. Each page
// shows its own lists in its entries, as the table reads them.
TEST_F(SettingRoundTrip, EveryCodeListIsShownInItsPagesEntry) {
    PageNavigation& pages = window->navigation();
    command("32775"); // MSR Setting
    for (const NamedSetting& setting : SettingTable::all()) {
        if (setting.kind != SettingKind::CodeList) {
            continue;
        }
        const Page page = pageOf(setting.section());
        const bool prefix = setting.key() == "prefix";
        pages.storePages();
        pages.openPage(page);
        set(*SettingTable::find(setting.section(), prefix ? "send_prefix" : "send_suffix"), "on");
        for (const std::string& text : valuesOf(setting)) {
            SCOPED_TRACE(std::string(setting.name) + "=" + text);
            set(setting, text);
            const SettingsImage wanted = image;
            pages.loadPage(page);
            const CodeList list(image.raw().data() + setting.offset);
            EXPECT_EQ(control<QLineEdit>(prefix ? "3010" : "3020")->text().toStdString(), text);
            EXPECT_EQ(control<QLabel>(prefix ? "prefixCounter" : "suffixCounter")->text(),
                      QString::number(list.remaining()));
            pages.storePages();
            EXPECT_EQ(image.raw(), wanted.raw());
        }
    }
}

} // namespace
