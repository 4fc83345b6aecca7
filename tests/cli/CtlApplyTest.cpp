// r550ctl apply against reader simulators: what it writes, what it leaves alone, and --watch
// with readers plugged in and out while it runs.

#include "RunningProgram.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The JSON objects of a run by port, and the order they came in.
std::map<std::string, nlohmann::json> byPort(const std::string& output,
                                             std::vector<std::string>* order = nullptr) {
    std::map<std::string, nlohmann::json> objects;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        objects[object.value("port", "?")] = object;
        if (order != nullptr) {
            order->push_back(object.value("port", "?") + " " + object.value("outcome", "?"));
        }
    }
    return objects;
}

struct CtlApplyTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fs::create_directory(ports) && fs::create_directory(byId));
        SettingsImage image;
        writeFactoryValues(image);
        image.general_flags() &= 0x7F; // main.buzzer off
        image.msr_prefix()[1] = 'A';
        ASSERT_EQ(writeSettingsFile(image, shop.string()), 0);
    }

    RunningProgram::Result ctl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), R550_CTL_PROGRAM);
        return RunningProgram::run(arguments, environment(), 20s);
    }
    RunningProgram::Environment environment() const {
        return {{"R550_PORTS_DIR", ports.string()}, {"R550_BY_ID_DIR", byId.string()}};
    }

    // A simulator linked as `link`, keeping its memory and its frame log beside the link.
    std::unique_ptr<RunningProgram> simulator(const fs::path& link,
                                              std::vector<std::string> options = {}) const {
        options.insert(options.begin(),
                       {R550_SIM_PROGRAM, "--link", link.string(), "--memory",
                        link.string() + ".memory", "--log", link.string() + ".log"});
        auto sim = std::make_unique<RunningProgram>(options, RunningProgram::Environment{});
        return sim->waitForOutput(" -> /dev/pts/", 5s) ? std::move(sim) : nullptr;
    }

    TempFolder folder;
    fs::path ports = folder.path() / "ports";
    fs::path byId = folder.path() / "by-id";
    fs::path shop = folder.path() / "shop.cfg";
};

} // namespace

TEST_F(CtlApplyTest, ChangedUnchangedAndFailingReadersAndACheckThatWritesNothing) {
    const auto factory = simulator(ports / "com1");
    const auto programmed = simulator(ports / "com2");
    const auto silent = simulator(ports / "com3", {"--silent"});
    ASSERT_TRUE(factory && programmed && silent);
    ASSERT_EQ(ctl({"program", shop.string(), "--port", "2"}).exitCode, 0);
    const std::string memory1 = fileText(ports / "com1.memory");
    const std::string memory2 = fileText(ports / "com2.memory");
    const std::vector<std::string> three{"-p", "1", "-p", "2", "-p", "3", "--timeout", "0.3"};

    std::vector<std::string> arguments{"--json", "apply", shop.string(), "--check"};
    arguments.insert(arguments.end(), three.begin(), three.end());
    const RunningProgram::Result check = ctl(arguments);
    EXPECT_EQ(check.exitCode, 3) << check.output << check.errors;
    std::map<std::string, nlohmann::json> readers = byPort(check.output);
    EXPECT_EQ(readers["COM1"]["outcome"], "would change") << check.output;
    EXPECT_EQ(readers["COM1"]["differences"],
              nlohmann::json::parse(R"([
                  {"name": "main.buzzer", "file": false, "reader": true,
                   "file_text": "off", "reader_text": "on"},
                  {"name": "msr.prefix", "file": [65, 82], "reader": [67, 82],
                   "file_text": "AR", "reader_text": "CR"}])"));
    EXPECT_EQ(readers["COM2"]["outcome"], "unchanged");
    EXPECT_EQ(readers["COM3"]["outcome"], "failed");
    EXPECT_EQ(readers["COM3"]["error"], "no_answer");
    EXPECT_EQ(fileText(ports / "com1.memory"), memory1);
    EXPECT_EQ(fileText(ports / "com2.memory"), memory2);

    arguments = {"apply", shop.string(), "--diff"};
    arguments.insert(arguments.end(), three.begin(), three.end());
    const RunningProgram::Result apply = ctl(arguments);
    EXPECT_EQ(apply.exitCode, 3) << apply.errors;
    EXPECT_NE(apply.output.find("  changed  "), std::string::npos) << apply.output;
    EXPECT_NE(apply.output.find("\n  main.buzzer: on → off\n  msr.prefix: CR → AR\n"),
              std::string::npos)
        << apply.output;
    EXPECT_NE(apply.output.find("unchanged"), std::string::npos) << apply.output;
    EXPECT_NE(apply.output.find("failed"), std::string::npos) << apply.output;
    EXPECT_NE(fileText(ports / "com1.memory"), memory1);

    // Once more: nothing to do, and only the three read-back frames reach the reader.
    fs::resize_file(ports / "com1.log", 0);
    const RunningProgram::Result again =
        ctl({"--json", "apply", shop.string(), "-p", "1", "-p", "2"});
    EXPECT_EQ(again.exitCode, 0) << again.errors;
    readers = byPort(again.output);
    EXPECT_EQ(readers["COM1"]["outcome"], "unchanged");
    EXPECT_EQ(readers["COM1"]["changed"], false);
    EXPECT_EQ(fileText(ports / "com1.log"), "1B 1C C0 00 09\n1B 1C C1 10 40\n1B 1C C0 10 04\n");

    // Refused, nothing sent: the keyboard line, and a file that is no whole settings block.
    std::ofstream(folder.path() / "short.cfg") << "short";
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"apply", shop.string(), "--keyboard"},
          {"apply", (folder.path() / "short.cfg").string(), "-p", "1"}}) {
        const RunningProgram::Result result = ctl(refused);
        EXPECT_EQ(result.exitCode, 2) << result.errors;
        EXPECT_NE(result.errors.find(refused.size() == 3 ? "use program --keyboard" : "5 bytes"),
                  std::string::npos)
            << result.errors;
    }
    EXPECT_EQ(fileText(ports / "com1.log").size(), 45u);
}

TEST_F(CtlApplyTest, WatchAppliesEachReaderAsItIsPluggedInUntilCtrlC) {
    std::vector<std::string> arguments{R550_CTL_PROGRAM, "--json", "apply", shop.string(),
                                       "--watch",        "--port", "4",     "--usb",
                                       "--timeout",      "0.3"};
    RunningProgram watch(arguments, environment());
    ASSERT_TRUE(watch.waitForErrors("Ctrl+C ends", 5s)) << watch.errors();
    const auto count = [&](int n) {
        return watch.waitForOutput("\"count\":" + std::to_string(n) + "}", 5s);
    };

    auto com4 = simulator(ports / "com4");
    ASSERT_TRUE(com4 && count(1)) << watch.output();
    com4.reset(); // unplugged, and plugged in again: applied again, with nothing left to change
    com4 = simulator(ports / "com4", {"--preset", (ports / "com4.memory").string()});
    ASSERT_TRUE(com4 && count(2)) << watch.output();
    const auto adapter = simulator(byId / "usb-Reader-if00-port0");
    ASSERT_TRUE(adapter && count(3)) << watch.output();
    const auto silent = simulator(byId / "usb-Other-if00-port0", {"--silent"});
    ASSERT_TRUE(silent && count(4)) << watch.output();
    EXPECT_FALSE(watch.waitForOutput("\"count\":5}", 500ms)) << watch.output();

    watch.signal(SIGINT);
    EXPECT_EQ(watch.waitForExit(5s), 3);
    std::vector<std::string> order;
    byPort(watch.output(), &order);
    const std::string adapterPath = (byId / "usb-Reader-if00-port0").string();
    const std::string silentPath = (byId / "usb-Other-if00-port0").string();
    EXPECT_EQ(order, (std::vector<std::string>{"COM4 changed", "COM4 unchanged",
                                               adapterPath + " changed", silentPath + " failed"}));
    EXPECT_NE(watch.errors().find("3 readers done, 1 failed: " + silentPath), std::string::npos)
        << watch.errors();
}
