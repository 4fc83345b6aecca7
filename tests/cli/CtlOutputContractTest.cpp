// The JSON of every r550ctl command, parsed and checked against one contract: keys snake_case,
// outcome words single tokens, a setting's value one type per kind (null with `raw` and `valid`
// false for a stored byte outside its values), `differences` a list where a comparison was made
// and null where none was, and the exit status of each.

#include "RunningProgram.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The reader's memory: factory values but for the baud code 0x60, which no setting value names.
constexpr const char* kOddReader =
    "C0 86 01 0A 60 80 A3 A3 A3 83 00 00 00 00 00 00 00 4E 4E 4E 00\n"
    "C1 02 43 52 00 00 00 00 00 02 43 52 00 00 00 00 00 02 54 31 00 00 00 00 00 "
    "02 0D 0A 00 00 00 00 00 02 54 32 00 00 00 00 00 02 0D 0A 00 00 00 00 00 "
    "02 54 33 00 00 00 00 00 02 0D 0A 00 00 00 00 00\n";

const std::set<std::string> kOutcomes{"ok",      "changed", "unchanged",  "would_change",
                                      "differs", "failed",  "interrupted"};

std::vector<Json> objectsOf(const std::string& output) {
    std::vector<Json> objects;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(Json::parse(line, nullptr, false));
    }
    return objects;
}

struct CtlOutputContractTest : ::testing::Test {
    RunningProgram::Result ctl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {R550_CTL_PROGRAM, "--json"});
        return RunningProgram::run(
            arguments, {{"R550_PORTS_DIR", ports.string()}, {"R550_BY_ID_DIR", ports.string()}},
            20s);
    }

    // Every key of `value`, at any depth, is snake_case; every outcome is one of the words; a
    // setting record and each side of a difference hold their value typed by the setting's kind,
    // or null with the stored byte as raw (noted in `odds`).
    void check(const Json& value, const std::string& where) {
        if (!value.is_structured()) {
            return;
        }
        for (const auto& [key, item] : value.items()) {
            EXPECT_TRUE(value.is_array() || std::regex_match(key, std::regex("[a-z][a-z0-9_]*")))
                << where << key;
            check(item, where);
        }
        if (value.is_array()) {
            return;
        }
        EXPECT_TRUE(!value.contains("outcome") ||
                    kOutcomes.contains(value.at("outcome").get<std::string>()))
            << value;
        for (const std::string side : {"", "reader_", "file_", "first_", "second_"}) {
            const std::string key = side.empty() ? "value" : side.substr(0, side.size() - 1);
            if (!value.contains(side + "text") || !value.contains("name")) {
                continue;
            }
            const Json& typed = value.at(key);
            const std::string name = value.at("name").get<std::string>();
            const std::string kind = kinds[name];
            if (!value.at(side + "valid").get<bool>()) {
                EXPECT_TRUE(typed.is_null() && value.at(side + "raw").is_number())
                    << where << value;
                odds.insert(where + name);
                continue;
            }
            EXPECT_TRUE(value.at(side + "raw").is_null() &&
                        (kind == "flag"     ? typed.is_boolean()
                         : kind == "byte"   ? typed.is_number_unsigned()
                         : kind == "choice" ? typed.is_string()
                                            : typed.is_array()))
                << where << value;
        }
    }

    TempFolder folder;
    fs::path ports = folder.path() / "ports";
    std::map<std::string, std::string> kinds;
    std::set<std::string> odds;
};

} // namespace

TEST_F(CtlOutputContractTest, EveryCommandsJsonIsTypedAndEveryExitStatusAsDocumented) {
    ASSERT_TRUE(fs::create_directory(ports));
    std::ofstream(folder.path() / "odd.memory") << kOddReader;
    RunningProgram sim({R550_SIM_PROGRAM, "--link", (ports / "com1").string(), "--preset",
                        (folder.path() / "odd.memory").string()},
                       {});
    ASSERT_TRUE(sim.waitForOutput(" -> /dev/pts/", 5s));
    const std::string factory = (folder.path() / "factory.cfg").string();
    const std::string odd = (folder.path() / "odd.cfg").string();
    ASSERT_EQ(ctl({"new", factory}).exitCode, 0);
    ASSERT_EQ(ctl({"new", odd}).exitCode, 0);
    ASSERT_EQ(ctl({"set", odd, "main.baud_rate={96}", "main.buzzer=off"}).exitCode, 0);
    for (const Json& name : objectsOf(ctl({"names"}).output)) {
        kinds[name["name"]] = name["kind"];
    }
    ASSERT_EQ(kinds.size(), 64u);

    // Each command, its exit status, and where `differences` must be a list (true), null
    // (false) or absent (nothing).
    struct Run {
        std::vector<std::string> arguments;
        int exitCode;
        std::optional<bool> compared;
    };
    const std::vector<Run> runs{
        {{"ports"}, 0, {}},
        {{"detect"}, 0, {}},
        {{"version", "-p", "1"}, 0, {}},
        {{"read", "-p", "1"}, 0, {}},
        {{"show", odd}, 0, {}},
        {{"diff", factory, odd}, 1, true},
        {{"diff", factory, factory}, 0, true},
        {{"verify", factory, "-p", "1"}, 1, true},
        {{"apply", factory, "--check", "-p", "1"}, 1, true},
        {{"apply", factory, "--check", "-p", "1", "-p", "2"}, 3, true},
        {{"program", factory, "-p", "1"}, 0, false},
        {{"apply", factory, "--check", "-p", "1"}, 0, true},
        {{"program", factory, "--verify", "-p", "1"}, 0, true},
        {{"reset", "-p", "1"}, 0, {}},
    };
    for (const Run& run : runs) {
        std::string where;
        for (const std::string& argument : run.arguments) {
            where += argument + " ";
        }
        const RunningProgram::Result result = ctl(run.arguments);
        EXPECT_EQ(result.exitCode, run.exitCode) << where << result.errors;
        const std::vector<Json> objects = objectsOf(result.output);
        EXPECT_FALSE(objects.empty()) << where;
        for (const Json& object : objects) {
            ASSERT_TRUE(object.is_object()) << where << result.output;
            check(object, where);
            // A reader that failed before its read-back has compared nothing.
            if (run.compared) {
                EXPECT_EQ(object.at("differences").is_array(),
                          *run.compared && object.value("outcome", "") != "failed")
                    << where << object;
            }
        }
    }
    // The stored byte outside its values was seen in the reader and in the second file.
    EXPECT_TRUE(odds.contains("read -p 1 main.baud_rate")) << ::testing::PrintToString(odds);
    EXPECT_TRUE(odds.contains("verify " + factory + " -p 1 main.baud_rate"));
    EXPECT_TRUE(odds.contains("diff " + factory + " " + odd + " main.baud_rate"));
    EXPECT_TRUE(odds.contains("show " + odd + " main.baud_rate"));
}
