// The built r550ctl's settings-file commands (show, diff, set, new, names) on files in a folder of
// the test's own.

#include "CtlFixture.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "support/TempFolder.h"

#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Values = std::map<std::string, std::string>;

struct CtlFileCommandsTest : CtlFixture {
    std::string file(const std::string& name) const { return (folder.path() / name).string(); }
    static Bytes bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void write(const std::string& path, const Bytes& content) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }
};

// Name to `member` of each JSON line that show or diff printed.
Values byName(const nlohmann::json& objects, const char* member) {
    Values values;
    for (const nlohmann::json& object : objects) {
        values[object.value("name", "?")] = object.value(member, "?");
    }
    return values;
}

Values byName(const std::string& output, const char* member) {
    return byName(nlohmann::json(CtlFixture::jsonLines(output)), member);
}

} // namespace

TEST_F(CtlFileCommandsTest, EveryNamedSettingRoundTripsThroughSetShowAndDiff) {
    // For every setting a valid value other than its factory one; each code list its own, with
    // '=' in the value, '{' and a control code.
    const SettingsImage factoryBlock = ::factoryBlock();
    Values factoryValues;
    Values values;
    std::vector<std::string> set{"set", file("edited.cfg")};
    for (const NamedSetting& setting : SettingTable::all()) {
        const std::string now = settingText(setting, factoryBlock);
        std::string value =
            setting.kind == SettingKind::Flag ? (now == "on" ? "off" : "on")
            : setting.kind == SettingKind::Byte
                ? std::to_string(now == "0" ? setting.high : setting.low)
                : std::string{'=', setting.section().back(), setting.key()[0]} + "{123}{9}";
        for (const SettingChoice& choice : setting.choices) {
            value = choice.token != now ? std::string(choice.token) : value;
        }
        factoryValues[std::string(setting.name)] = now;
        values[std::string(setting.name)] = value;
        set.push_back(std::string(setting.name) + "=" + value);
    }

    ASSERT_EQ(ctl({"new", file("factory.cfg")}).exitCode, 0);
    ASSERT_EQ(ctl({"new", file("edited.cfg")}).exitCode, 0);
    EXPECT_EQ(bytes(file("factory.cfg")),
              Bytes(factoryBlock.raw().begin(), factoryBlock.raw().end()));
    // A byte that no setting names (slot 19) must survive the set.
    Bytes content = bytes(file("edited.cfg"));
    content.at(SettingsImage::dataOffset(19)) = 0x5A;
    write(file("edited.cfg"), content);

    const ChildProcess::Result result = ctl(set);
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    ASSERT_EQ(bytes(file("edited.cfg")).size(), SettingsImage::kSize);
    EXPECT_EQ(bytes(file("edited.cfg")).at(SettingsImage::dataOffset(19)), 0x5A);
    EXPECT_EQ(byName(ctl({"show", file("edited.cfg"), "--json"}).output, "text"), values);
    const ChildProcess::Result diff =
        ctl({"--json", "diff", file("factory.cfg"), file("edited.cfg")});
    EXPECT_EQ(diff.exitCode, 1);
    const nlohmann::json compared = nlohmann::json::parse(diff.output, nullptr, false);
    EXPECT_EQ(byName(compared["differences"], "first_text"), factoryValues);
    EXPECT_EQ(byName(compared["differences"], "second_text"), values);

    // The text forms.
    EXPECT_TRUE(std::regex_search(ctl({"show", file("edited.cfg")}).output,
                                  std::regex("\n'track2\\.prefix==2p\\{123\\}\\{9\\}'\n")));
    ASSERT_EQ(ctl({"set", file("factory.cfg"), "iso2.send_lf=yes", "iso3.send_lf=ON"}).exitCode, 0);
    const ChildProcess::Result back = ctl({"diff", file("edited.cfg"), file("factory.cfg")});
    EXPECT_EQ(back.exitCode, 1);
    EXPECT_NE(back.output.find("\nmain.baud_rate: 38400 -> 9600\n"), std::string::npos);
    EXPECT_EQ(back.output.find("iso3.send_lf"), std::string::npos) << "both hold it on now";
    const ChildProcess::Result same = ctl({"diff", file("factory.cfg"), file("factory.cfg")});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.output, "");
}

TEST_F(CtlFileCommandsTest, BadInputIsNamedAndNothingIsWrittenOrLost) {
    const std::string shop = file("shop.cfg");
    ASSERT_EQ(ctl({"new", shop}).exitCode, 0);
    const Bytes before = bytes(shop);

    const ChildProcess::Result bad = ctl({"set", shop, "main.buzzer=off", "main.beep=on",
                                          "main.scan_code_delay=300", "msr.prefix={0}"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.errors,
              "r550ctl: unknown setting \"main.beep\"; did you mean 'track1.beep', 'track2.beep' "
              "or 'track3.beep'? (r550ctl names lists every setting)\n"
              "r550ctl: main.scan_code_delay: \"300\" is out of range 0..254; {n} stores the byte "
              "n as it is\n"
              "r550ctl: msr.prefix: \"{0}\": {0} is outside 1..255; it takes up to 7 codes "
              "1..255, as characters 32..126 and {n} for any other code (\"T1{13}\")\n"
              "r550ctl: " +
                  shop + ": nothing set, the file is as it was\n");
    EXPECT_EQ(bytes(shop), before) << "the good assignment is not set either";

    const ChildProcess::Result missing = ctl({"set", file("none.cfg"), "main.buzzer=off"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.errors, "r550ctl: " + file("none.cfg") + " does not exist; r550ctl new " +
                                  file("none.cfg") + " makes one\n");
    EXPECT_EQ(ctl({"show", file("none.cfg")}).exitCode, 2);
    EXPECT_EQ(ctl({"diff", shop, folder.path().string()}).exitCode, 2);

    ASSERT_EQ(ctl({"set", shop, "main.buzzer=off"}).exitCode, 0);
    const ChildProcess::Result exists = ctl({"new", shop});
    EXPECT_EQ(exists.exitCode, 2);
    EXPECT_EQ(exists.errors, "r550ctl: " + shop + ": exists; --force replaces it.\n");
    EXPECT_NE(bytes(shop), before);
    EXPECT_EQ(ctl({"new", "--force", shop}).exitCode, 0);
    EXPECT_EQ(bytes(shop), before);
}

TEST_F(CtlFileCommandsTest, OddSizedFilesAreReadAsLoadReadsThemButNotSet) {
    ASSERT_EQ(ctl({"new", file("factory.cfg")}).exitCode, 0);
    // 200 bytes of 1: main.operating_mode (0x064) is rs232; main.com_port (0x163) lies beyond.
    write(file("short.cfg"), Bytes(200, 0x01));
    // A whole block of factory values with a tail.
    Bytes longContent = bytes(file("factory.cfg"));
    longContent.resize(4000, 0xEE);
    write(file("long.cfg"), longContent);

    for (const std::string& odd : {file("short.cfg"), file("long.cfg")}) {
        const std::size_t size = bytes(odd).size();
        const ChildProcess::Result set = ctl({"set", odd, "main.buzzer=off"});
        EXPECT_EQ(set.exitCode, 2);
        EXPECT_EQ(set.errors, "r550ctl: " + odd + ": " + std::to_string(size) +
                                  " bytes, not 3060; not a settings file that set may change, "
                                  "left as it is\n");
        EXPECT_EQ(bytes(odd).size(), size);
    }
    EXPECT_EQ(bytes(file("short.cfg")), Bytes(200, 0x01));

    const ChildProcess::Result show = ctl({"show", file("short.cfg")});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_TRUE(std::regex_search(show.output, std::regex("^main\\.operating_mode=rs232\n")));
    EXPECT_TRUE(std::regex_search(show.output, std::regex("\nmain\\.baud_rate=9600\n")));
    EXPECT_EQ(show.errors, "r550ctl: " + file("short.cfg") +
                               ": 200 bytes, not 3060; read as the window's Load reads it: its "
                               "200 bytes over the factory values\n");
    const ChildProcess::Result diff = ctl({"diff", file("factory.cfg"), file("short.cfg")});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_EQ(diff.output, "main.operating_mode: keyboard_wedge -> rs232\n");

    const ChildProcess::Result same = ctl({"diff", file("long.cfg"), file("factory.cfg")});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.errors, "r550ctl: " + file("long.cfg") +
                               ": 4000 bytes, not 3060; read as the window's Load reads it: its "
                               "first 3060 bytes, the rest ignored\n");
    EXPECT_EQ(ctl({"--quiet", "diff", file("long.cfg"), file("factory.cfg")}).errors, "");
}
