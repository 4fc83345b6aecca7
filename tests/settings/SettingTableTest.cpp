#include "settings/SettingTable.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingCheck.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"
#include "support/DifferenceLines.h"
#include "support/SettingsByName.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string read(const SettingsImage& image, const char* name) {
    std::string text;
    EXPECT_EQ(readSetting(image, name, text), SettingStatus::Ok) << name;
    return text;
}

// --- The table against the block's layout ---------------------------------------------------

TEST(SettingTable, NamesAreUniqueAndSectionsArePages) {
    const std::set<std::string> sections = {"main",   "msr",  "track1", "track2",
                                            "track3", "iso1", "iso2",   "iso3"};
    std::set<std::string_view> names;
    for (const NamedSetting& s : SettingTable::all()) {
        EXPECT_TRUE(names.insert(s.name).second) << s.name;
        EXPECT_TRUE(sections.contains(std::string(s.section()))) << s.name;
        EXPECT_FALSE(s.key().empty()) << s.name;
        EXPECT_FALSE(s.caption.empty()) << s.name;
        EXPECT_FALSE(s.meaning.empty()) << s.name;
        EXPECT_EQ(SettingTable::find(s.name), &s);
        EXPECT_EQ(SettingTable::find(s.section(), s.key()), &s);
    }
    EXPECT_EQ(SettingTable::find("track4.beep"), nullptr);
    EXPECT_EQ(SettingTable::find("track1", "nothing"), nullptr);
    EXPECT_EQ(SettingTable::find(""), nullptr);
}

// The bits of one byte belong to one setting each; every option bit of the reader's and the
// tracks' flags has its name, and the ISO bits no box edits stay unnamed.
TEST(SettingTable, BitsOfAByteAreNamedOnce) {
    std::map<std::size_t, unsigned> used;
    for (const NamedSetting& s : SettingTable::all()) {
        if (s.kind == SettingKind::Flag) {
            EXPECT_EQ(s.mask & (s.mask - 1), 0) << s.name << " is one bit";
        }
        for (const SettingChoice& c : s.choices) {
            EXPECT_EQ(c.value & ~s.mask, 0) << s.name << " " << c.token;
        }
        EXPECT_EQ(used[s.offset] & s.mask, 0u) << s.name;
        used[s.offset] |= s.mask;
    }
    EXPECT_EQ(used[flagsOffset("msr")], 0xFFu);
    for (int t = 1; t <= 3; ++t) {
        EXPECT_EQ(used[flagsOffset(trackSection(t))], 0xFFu) << t;
        EXPECT_EQ(used[flagsOffset(isoSection(t))], 0x6Fu) << t;
    }
    EXPECT_EQ(used[flagsOffset("main")], 0x80u);
}

// Typed access by name touches only the setting's bits or record; a name the table does not
// have reads as nothing and writes nothing.
// Masked writes and a code list's record through writeSetting are checked by
// SettingText.EachKindSetsOnlyItsOwnBits and ACodeListIsReplacedAndTheRestOfItsRecordCleared;
// here, what only typed access does.
TEST(SettingTable, TypedAccessByNameKeepsToTheSetting) {
    SettingsImage image;
    image.raw().fill(0x5A);
    const SettingsImage filled = image;
    EXPECT_FALSE(SettingTable::setValue(image, "main.volume", 1));
    EXPECT_FALSE(SettingTable::setFlag(image, "msr.volume", true));
    EXPECT_FALSE(SettingTable::setCodes(image, "msr.volume", std::vector<std::uint8_t>{1}));
    EXPECT_EQ(image.raw(), filled.raw());
    EXPECT_EQ(SettingTable::value(image, "main.volume"), 0);
    EXPECT_FALSE(SettingTable::flag(image, "msr.volume"));
    EXPECT_TRUE(SettingTable::codes(image, "msr.volume").empty());

    // A value is cut to its mask; a list of codes to seven.
    ASSERT_TRUE(SettingTable::setValue(image, "msr.kb_output_mode", 0xFF));
    EXPECT_EQ(SettingTable::value(image, "msr.kb_output_mode"), 0x02);
    EXPECT_EQ(image.raw(), filled.raw()) << "0x02 was set already";
    const std::vector<std::uint8_t> nine = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(SettingTable::setCodes(image, "track3.suffix", nine));
    EXPECT_EQ(SettingTable::codes(image, "track3.suffix"),
              std::vector<std::uint8_t>(nine.begin(), nine.begin() + 7));
}

// --- Reading ----------------------------------------------------------------------------------

TEST(SettingText, FactoryValuesReadAsThePagesShowThem) {
    const SettingsImage image = factoryBlock();
    EXPECT_EQ(read(image, "main.scan_code_delay"), "1");
    EXPECT_EQ(read(image, "main.char_code_delay"), "10");
    EXPECT_EQ(read(image, "main.baud_rate"), "9600");
    EXPECT_EQ(read(image, "main.buzzer"), "on");
    EXPECT_EQ(read(image, "msr.error_beep"), "on");
    EXPECT_EQ(read(image, "msr.send_prefix"), "off");
    EXPECT_EQ(read(image, "msr.kb_output_mode"), "alt");
    EXPECT_EQ(read(image, "msr.prefix"), "CR");
    EXPECT_EQ(read(image, "track1.prefix"), "T1");
    EXPECT_EQ(read(image, "track3.suffix"), "{13}{10}");
    EXPECT_EQ(read(image, "track2.send_suffix"), "on");
    EXPECT_EQ(read(image, "track2.start_sentinel"), "off");
    EXPECT_EQ(read(image, "iso3.field_splitting"), "off");
    EXPECT_EQ(read(image, "iso3.send_cr"), "on");

    std::string text = "kept";
    EXPECT_EQ(readSetting(image, "main.nothing", text), SettingStatus::UnknownName);
    EXPECT_EQ(text, "kept");
}

TEST(SettingText, ValuesNoChoiceNamesReadAsStoredBytes) {
    SettingsImage image = factoryBlock();
    byteOf(image, "main.operating_mode") = SettingTable::kUnknown;
    byteOf(image, "main.baud_rate") = 0;
    byteOf(image, "main.com_port") = 0;
    EXPECT_EQ(read(image, "main.operating_mode"), "255");
    EXPECT_EQ(read(image, "main.baud_rate"), "{0}");
    EXPECT_EQ(read(image, "main.com_port"), "0");
    byteOf(image, "main.operating_mode") = 2;
    EXPECT_EQ(read(image, "main.operating_mode"), "{2}");
}

TEST(SettingText, CodeListsReadAsTheirCodesAtMostSeven) {
    SettingsImage image;
    std::uint8_t* list = recordOf(image, "track2.prefix");
    const std::uint8_t codes[] = {9, 'a', 'b', '{', '}', ' ', 127, 255, 'x', 'y'};
    std::copy(std::begin(codes), std::end(codes), list);
    EXPECT_EQ(read(image, "track2.prefix"), "ab{123}} {127}{255}");
    list[0] = 0;
    EXPECT_EQ(read(image, "track2.prefix"), "");
}

// --- Setting ----------------------------------------------------------------------------------

TEST(SettingText, EachKindSetsOnlyItsOwnBits) {
    SettingsImage image = factoryBlock();
    flagsOf(image, "msr") = 0x55;
    std::string error;
    const auto set = [&](const char* name, const char* text) {
        const SettingsImage before = image;
        EXPECT_EQ(writeSetting(image, name, text, error), SettingStatus::Ok) << name << error;
        std::vector<std::size_t> changed;
        for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
            if (image.raw()[i] != before.raw()[i]) {
                changed.push_back(i);
            }
        }
        return changed;
    };
    const std::size_t msr = flagsOffset("msr");
    EXPECT_EQ(set("msr.error_beep", "on"), std::vector<std::size_t>{msr});
    EXPECT_EQ(flagsOf(image, "msr"), 0xD5);
    EXPECT_EQ(set("msr.enable", "OFF"), std::vector<std::size_t>{msr});
    EXPECT_EQ(flagsOf(image, "msr"), 0xD4);
    set("msr.kb_output_mode", "ALT mode");
    EXPECT_EQ(flagsOf(image, "msr"), 0xD6);
    set("msr.kb_output_mode", "scan_code");
    EXPECT_EQ(flagsOf(image, "msr"), 0xD4);
    EXPECT_TRUE(set("msr.high_compatible_tk3", "yes").empty());
    EXPECT_EQ(flagsOf(image, "msr"), 0xD4) << "0x04 was set already";

    set("main.scan_code_delay", "254");
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 254);
    set("main.com_port", "98");
    EXPECT_EQ(byteOf(image, "main.com_port"), 98);
    set("main.baud_rate", "38400");
    EXPECT_EQ(byteOf(image, "main.baud_rate"), 7);
    set("main.operating_mode", "Keyboard Wedge");
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    set("main.operating_mode", "rs232");
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeRs232);
    flagsOf(image, "main") = 0x06;
    set("main.buzzer", "1");
    EXPECT_EQ(flagsOf(image, "main"), 0x86);
}

TEST(SettingText, ACodeListIsReplacedAndTheRestOfItsRecordCleared) {
    SettingsImage image;
    std::uint8_t* list = recordOf(image, "track1.suffix");
    for (int i = 0; i < 10; ++i) {
        list[i] = 0xEE;
    }
    std::string error;
    ASSERT_EQ(writeSetting(image, "track1.suffix", "A{13}{123}", error), SettingStatus::Ok);
    EXPECT_EQ(std::vector<int>(list, list + 10),
              (std::vector<int>{3, 'A', 13, '{', 0, 0, 0, 0, 0xEE, 0xEE}));
    EXPECT_EQ(list[10], 0) << "the next record is untouched";
    ASSERT_EQ(writeSetting(image, "track1.suffix", "", error), SettingStatus::Ok);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 0);
}

TEST(SettingText, EveryCodeListReadsBackAsItWasWritten) {
    SettingsImage image;
    std::uint32_t seed = 12345;
    std::string error;
    for (int round = 0; round < 2000; ++round) {
        std::uint8_t* list = recordOf(image, "msr.prefix");
        seed = seed * 1664525U + 1013904223U;
        const int count = static_cast<int>(seed >> 29); // 0..7
        list[0] = static_cast<std::uint8_t>(count);
        for (int i = 1; i <= 7; ++i) {
            seed = seed * 1664525U + 1013904223U;
            list[i] = i <= count ? static_cast<std::uint8_t>(1 + (seed >> 24) % 255) : 0;
        }
        const SettingsImage before = image;
        const std::string text = read(image, "msr.prefix");
        ASSERT_EQ(writeSetting(image, "msr.prefix", text, error), SettingStatus::Ok) << text;
        ASSERT_EQ(image.raw(), before.raw()) << text;
    }
}

TEST(SettingText, RefusedTextsLeaveTheBlockAndSayWhy) {
    const SettingsImage factory = factoryBlock();
    SettingsImage image = factory;
    const struct {
        const char* name;
        const char* text;
        SettingStatus status;
        const char* says;
    } cases[] = {
        {"main.volume", "3", SettingStatus::UnknownName, "unknown setting \"main.volume\""},
        {"main.buzzer", "maybe", SettingStatus::BadValue,
         "main.buzzer: \"maybe\" is not one of on, off"},
        {"main.buzzer", "", SettingStatus::BadValue, "not one of on, off"},
        {"main.scan_code_delay", "255", SettingStatus::OutOfRange,
         "\"255\" is out of range 0..254"},
        {"main.com_port", "99", SettingStatus::OutOfRange, "\"99\" is out of range 1..98"},
        {"main.com_port", "{256}", SettingStatus::OutOfRange, "\"{256}\" is outside {0}..{255}"},
        {"main.scan_code_delay", "99999999999999999999", SettingStatus::OutOfRange,
         "main.scan_code_delay: \"99999999999999999999\" is out of range 0..254"},
        {"main.char_code_delay", "-1", SettingStatus::BadValue, "is not a number 0..254"},
        {"main.char_code_delay", " 5", SettingStatus::BadValue, "is not a number"},
        {"main.char_code_delay", "0x10", SettingStatus::BadValue, "is not a number"},
        {"main.baud_rate", "5", SettingStatus::BadValue,
         "600, 1200, 2400, 4800, 9600, 19200, 38400; {n} stores the byte n as it is"},
        {"main.baud_rate", "96", SettingStatus::BadValue, "\"96\" is not one of 600,"},
        {"main.operating_mode", "2", SettingStatus::BadValue, "{n} stores the byte"},
        {"main.baud_rate", "{256}", SettingStatus::OutOfRange, "is outside {0}..{255}"},
        {"msr.kb_output_mode", "{1}", SettingStatus::OutOfRange, "is outside {0}..{2}"},
        {"msr.kb_output_mode", "alt mode!", SettingStatus::BadValue, "scan_code, alt"},
        {"track1.prefix", "12345678", SettingStatus::BadCodeList,
         "track1.prefix: \"12345678\": more than 7 codes"},
        {"track1.prefix", "A{0}", SettingStatus::BadCodeList,
         "track1.prefix: \"A{0}\": {0} is outside 1..255"},
        {"track1.prefix", "{256}", SettingStatus::BadCodeList, "{256} is outside 1..255"},
        {"main.operating_mode", "256", SettingStatus::BadValue, "keyboard_wedge, rs232"},
        {"track1.prefix", "{13", SettingStatus::BadCodeList, "{1} to {255}"},
        {"track1.prefix", "{}", SettingStatus::BadCodeList, "{1} to {255}"},
        {"track1.prefix", "{1 3}", SettingStatus::BadCodeList, "{1} to {255}"},
        {"track1.prefix", "\t", SettingStatus::BadCodeList, "written as {n}"},
        {"track1.prefix", "\xC3\xA9", SettingStatus::BadCodeList, "written as {n}"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(writeSetting(image, c.name, c.text, error), c.status) << c.name << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(image.raw(), factory.raw()) << c.name << " " << c.text;
    }
}

TEST(SettingText, PlacesAndValuesForTheReference) {
    const auto place = [](const char* name) { return settingPlace(*SettingTable::find(name)); };
    const auto values = [](const char* name) { return settingValues(*SettingTable::find(name)); };
    EXPECT_EQ(place("main.operating_mode"), "0x064");
    EXPECT_EQ(place("main.com_port"), "0x163");
    EXPECT_EQ(place("main.scan_code_delay"), "slot 11 (0x26C)");
    EXPECT_EQ(place("msr.error_beep"), "slot 18 (0x2B2) bit 0x80");
    EXPECT_EQ(place("msr.kb_output_mode"), "slot 18 (0x2B2) bits 0x02");
    EXPECT_EQ(place("track3.suffix"), "slot 31 (0x334..0x33B)");
    EXPECT_EQ(values("main.buzzer"), "on, off");
    EXPECT_EQ(values("main.com_port"), "1..98, 0 (no port), 255 (no reader found)");
    EXPECT_EQ(values("main.operating_mode"),
              "keyboard_wedge, rs232, 3 (no reader found), 255 (not searched)");
}

// --- The reference in docs/settings.md --------------------------------------------------------

const std::map<std::string_view, std::string_view> kSectionTitles = {
    {"main", "Main Settings page"},
    {"msr", "MSR Main Settings page"},
    {"track1", "MSR Track 1 page"},
    {"track2", "MSR Track 2 page"},
    {"track3", "MSR Track 3 page"},
    {"iso1", "ISO field setting page, Track 1"},
    {"iso2", "ISO field setting page, Track 2"},
    {"iso3", "ISO field setting page, Track 3"},
};

std::string reference() {
    std::ostringstream out;
    std::string_view section;
    for (const NamedSetting& s : SettingTable::all()) {
        if (s.section() != section) {
            section = s.section();
            out << "\n### " << kSectionTitles.at(section) << "\n\n"
                << "| Name | Values | Where | Caption | Meaning |\n"
                << "|---|---|---|---|---|\n";
        }
        out << "| `" << s.name << "` | " << settingValues(s) << " | " << settingPlace(s) << " | \""
            << s.caption << "\" | " << s.meaning << " |\n";
    }
    return out.str();
}

TEST(SettingsReference, DocsListEveryNameAsTheTableHasIt) {
    const char* const begin = "<!-- begin: generated from the table of named settings -->\n";
    const char* const end = "<!-- end: generated -->";
    std::ifstream in(std::string(R550_SOURCE_DIR) + "/docs/settings.md");
    ASSERT_TRUE(in.good()) << "docs/settings.md is missing";
    const std::string doc{std::istreambuf_iterator<char>(in), {}};
    const std::size_t from = doc.find(begin);
    const std::size_t to = doc.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    const std::string listed =
        doc.substr(from + std::string(begin).size(), to - from - std::string(begin).size());
    EXPECT_EQ(listed, reference()) << "docs/settings.md should list, between its markers:\n"
                                   << reference();
}

} // namespace

TEST(SettingDifferences, NameEverySettingThatDiffersAndNothingElse) {
    SettingsImage a;
    writeFactoryValues(a);
    SettingsImage b = a;
    EXPECT_TRUE(settingDifferences(a, b).empty());
    // A byte no setting shows changes nothing that is named.
    b.data(19)[0] = 0x55;
    EXPECT_TRUE(settingDifferences(a, b).empty());
    std::string error;
    ASSERT_EQ(writeSetting(b, "main.scan_code_delay", "20", error), SettingStatus::Ok);
    ASSERT_EQ(writeSetting(b, "track2.prefix", "X{13}", error), SettingStatus::Ok);
    EXPECT_EQ(
        differenceLines(settingDifferences(a, b)),
        (std::vector<std::string>{"main.scan_code_delay: 1 -> 20", "track2.prefix: T2 -> X{13}"}));
}

TEST(SettingCheck, NamesEverySettingOutsideItsValuesAndNothingElse) {
    const auto modified = [](auto change) {
        SettingsImage image = factoryBlock();
        change(image);
        return image;
    };
    const struct {
        const char* what;
        SettingsImage image;
        std::vector<std::string> invalid; // name=stored byte
    } cases[] = {
        {"factory", factoryBlock(), {}},
        {"what the search stores",
         modified([](SettingsImage& i) {
             byteOf(i, "main.operating_mode") = SettingTable::kModeNotFound;
             byteOf(i, "main.com_port") = 0xFF;
         }),
         {}},
        {"not searched",
         modified([](SettingsImage& i) { byteOf(i, "main.operating_mode") = 0xFF; }),
         {}},
        {"a mode nobody stores",
         modified([](SettingsImage& i) { byteOf(i, "main.operating_mode") = 2; }),
         {"main.operating_mode=2"}},
        {"zeros", SettingsImage{}, {"main.baud_rate=0"}},
        {"a delay of 255 and port 99",
         modified([](SettingsImage& i) {
             byteOf(i, "main.scan_code_delay") = 255;
             byteOf(i, "main.com_port") = 99;
         }),
         {"main.com_port=99", "main.scan_code_delay=255"}},
        {"eight codes and a code 0",
         modified([](SettingsImage& i) {
             recordOf(i, "msr.prefix")[0] = 8;
             recordOf(i, "track2.suffix")[0] = 2;
             recordOf(i, "track2.suffix")[1] = 13;
             recordOf(i, "track2.suffix")[2] = 0;
         }),
         {"msr.prefix=8", "track2.suffix=0"}},
        {"a code 0 behind the count is no code",
         modified([](SettingsImage& i) {
             recordOf(i, "track1.prefix")[0] = 1;
             recordOf(i, "track1.prefix")[1] = 'A';
             recordOf(i, "track1.prefix")[2] = 0;
         }),
         {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> found;
        for (const InvalidSetting& s : invalidSettings(c.image)) {
            found.push_back(std::string(s.setting->name) + "=" + std::to_string(s.stored));
            EXPECT_FALSE(settingIsValid(*s.setting, c.image));
        }
        EXPECT_EQ(found, c.invalid) << c.what;
    }
}
