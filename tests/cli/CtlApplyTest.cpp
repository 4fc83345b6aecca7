// r550ctl apply against reader simulators: what it writes, what it leaves alone, and --watch
// with readers plugged in and out while it runs.

#include "CtlFixture.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

// The JSON objects of a run by port, and the order they came in.
std::map<std::string, nlohmann::json> byPort(const std::string& output,
                                             std::vector<std::string>* order = nullptr) {
    std::map<std::string, nlohmann::json> objects;
    for (const nlohmann::json& object : CtlFixture::jsonLines(output)) {
        objects[object.value("port", "?")] = object;
        if (order != nullptr) {
            order->push_back(object.value("port", "?") + " " + object.value("outcome", "?"));
        }
    }
    return objects;
}

struct CtlApplyTest : CtlFixture {
    void SetUp() override {
        CtlFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        SettingsImage image;
        writeFactoryValues(image);
        flagsOf(image, "main") &= 0x7F; // main.buzzer off
        recordOf(image, "msr.prefix")[1] = 'A';
        ASSERT_EQ(writeSettingsFile(image, shop.string()), 0);
    }

    // A simulator linked as `link`, keeping its memory and its frame log beside the link.
    std::unique_ptr<ChildProcess> simulator(const fs::path& link,
                                            const std::vector<std::string>& options = {}) const {
        std::vector<std::string> all{"--memory", link.string() + ".memory", "--log",
                                     link.string() + ".log"};
        all.insert(all.end(), options.begin(), options.end());
        return startSimulator(link, all);
    }

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
    const ChildProcess::Result check = ctl(arguments);
    EXPECT_EQ(check.exitCode, 3) << check.output << check.errors;
    // Without the silent reader, a reader that would change makes it 1, as a difference does.
    EXPECT_EQ(ctl({"apply", shop.string(), "--check", "-p", "1", "-p", "2"}).exitCode, 1);
    std::map<std::string, nlohmann::json> readers = byPort(check.output);
    EXPECT_EQ(readers["COM1"]["outcome"], "would_change") << check.output;
    EXPECT_EQ(readers["COM1"]["differences"], nlohmann::json::parse(R"([
                  {"name": "main.buzzer", "file": false, "reader": true,
                   "file_text": "off", "reader_text": "on", "file_raw": null,
                   "reader_raw": null, "file_valid": true, "reader_valid": true},
                  {"name": "msr.prefix", "file": [65, 82], "reader": [67, 82],
                   "file_text": "AR", "reader_text": "CR", "file_raw": null,
                   "reader_raw": null, "file_valid": true, "reader_valid": true}])"));
    EXPECT_EQ(readers["COM2"]["outcome"], "unchanged");
    EXPECT_EQ(readers["COM3"]["outcome"], "failed");
    EXPECT_EQ(readers["COM3"]["error"], "no_answer");
    EXPECT_EQ(fileText(ports / "com1.memory"), memory1);
    EXPECT_EQ(fileText(ports / "com2.memory"), memory2);

    arguments = {"apply", shop.string(), "--diff"};
    arguments.insert(arguments.end(), three.begin(), three.end());
    const ChildProcess::Result apply = ctl(arguments);
    EXPECT_EQ(apply.exitCode, 3) << apply.errors;
    EXPECT_NE(apply.output.find("  changed  "), std::string::npos) << apply.output;
    EXPECT_NE(apply.output.find("\n  main.buzzer: on -> off\n  msr.prefix: CR -> AR\n"),
              std::string::npos)
        << apply.output;
    EXPECT_NE(apply.output.find("unchanged"), std::string::npos) << apply.output;
    EXPECT_NE(apply.output.find("failed"), std::string::npos) << apply.output;
    EXPECT_NE(fileText(ports / "com1.memory"), memory1);

    // Once more: nothing to do, and only the three read-back frames reach the reader.
    fs::resize_file(ports / "com1.log", 0);
    const ChildProcess::Result again =
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
        const ChildProcess::Result result = ctl(refused);
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
    ChildProcess watch(arguments, environment());
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

// Every way a value outside a setting's values could reach a reader is refused with exit 2
// before one frame is sent, and names the setting; --allow-invalid sends it all the same.
TEST_F(CtlApplyTest, ValuesOutsideTheirSettingsValuesNeverReachAReader) {
    const auto sim = simulator(ports / "com1");
    ASSERT_TRUE(sim);
    const fs::path zero = folder.path() / "zero.cfg";
    const fs::path random = folder.path() / "random.cfg";
    std::ofstream(zero, std::ios::binary) << std::string(SettingsImage::kSize, '\0');
    std::string noise(SettingsImage::kSize, '\0');
    unsigned state = 550;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    std::ofstream(random, std::ios::binary) << noise;
    const std::string copy = (folder.path() / "copy.cfg").string();
    fs::copy_file(shop, copy);
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"set", copy, "main.baud_rate=96"}, "600, 1200"},
        {{"set", copy, "main.operating_mode=2"}, "{n}"},
        {{"set", copy, "main.scan_code_delay={256}"}, "main.scan_code_delay"},
        {{"set", copy, "track1.prefix={1}{2}{3}{4}{5}{6}{7}{8}"}, "track1.prefix"},
        {{"set", copy, "track1.prefix={0}"}, "track1.prefix"},
        {{"apply", "--set", "main.baud_rate=96", "-p", "1"}, "main.baud_rate"},
        {{"apply", "--set", "main.operating_mode=rs232", "-p", "1"}, "lives on the PC"},
        {{"program", zero.string(), "-p", "1"}, "main.baud_rate holds {0}"},
        {{"apply", zero.string(), "-p", "1"}, "nothing sent"},
        {{"apply", zero.string(), "--watch", "-p", "1"}, "nothing sent"},
        {{"program", random.string(), "-p", "1"}, "--allow-invalid"},
        {{"check", shop.string(), zero.string()}, ""},
    };
    for (const auto& [arguments, named] : refused) {
        const ChildProcess::Result result = ctl(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments[2] << result.errors;
        EXPECT_NE((result.errors + result.output).find(named), std::string::npos) << result.errors;
    }
    EXPECT_EQ(fileText(copy), fileText(shop));
    EXPECT_EQ(fileText(ports / "com1.log"), "");

    const ChildProcess::Result checked = ctl({"check", shop.string(), zero.string()});
    EXPECT_NE(checked.output.find(shop.string() + ": ok\n"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find(zero.string() + ": main.baud_rate holds {0}"), std::string::npos)
        << checked.output;
    const ChildProcess::Result allowed =
        ctl({"program", zero.string(), "-p", "1", "--allow-invalid"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.errors;
    EXPECT_NE(allowed.errors.find("programmed all the same"), std::string::npos) << allowed.errors;
    EXPECT_NE(fileText(ports / "com1.log"), "");
}

namespace {

// The log socket of a test build: bound by the test, the datagrams r550ctl sends read from it.
struct LogSocket {
    explicit LogSocket(const std::string& path) : fd(::socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        fs::create_directories(fs::path(path).parent_path());
        fs::remove(path);
        bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~LogSocket() { ::close(fd); }
    // The first datagram that holds `text`, or "" when none came within a second.
    std::string find(const std::string& text) const {
        pollfd ready{fd, POLLIN, 0};
        while (::poll(&ready, 1, 1000) == 1) {
            char buffer[2048];
            const ssize_t length = ::recv(fd, buffer, sizeof buffer, 0);
            const std::string datagram(buffer,
                                       static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
            if (datagram.find(text) != std::string::npos) {
                return datagram;
            }
        }
        return "";
    }
    int fd;
    bool bound = false;
};

} // namespace

// A reader that holds settings of its own: --set and a profile change the named settings and no
// byte of any other; a backup holds what the reader held before the write, and programming it
// puts the reader back; each write leaves its line in the log.
TEST_F(CtlApplyTest, OnlyNamedSettingsChangeAndABackupPutsTheReaderBack) {
    const auto sim = simulator(ports / "com1");
    ASSERT_TRUE(sim);
    ASSERT_EQ(ctl({"program", shop.string(), "-p", "1"}).exitCode, 0);
    const fs::path memory = ports / "com1.memory";
    const std::string held = fileText(memory);
    const fs::path backups = folder.path() / "backups";
    ASSERT_TRUE(fs::create_directory(backups));
    const LogSocket log(R550_SYSLOG_SOCKET);

    const ChildProcess::Result set =
        ctl({"--json", "apply", "--set", "main.scan_code_delay=7", "--set", "track2.suffix=X", "-p",
             "1", "--backup", backups.string()});
    ASSERT_EQ(set.exitCode, 0) << set.errors;
    const nlohmann::json object = byPort(set.output)["COM1"];
    EXPECT_EQ(object["outcome"], "changed") << set.output;
    EXPECT_EQ(object["differences"].size(), 2u) << set.output;
    const std::string backup = object["backup_file"].get<std::string>();
    EXPECT_EQ(fs::path(backup).parent_path(), backups);
    EXPECT_NE(fileText(memory), held);
    // A build without a socket of its own logs to the system's log, which no test reads.
    if (std::string(R550_SYSLOG_SOCKET) != "/dev/log") {
        ASSERT_TRUE(log.bound) << R550_SYSLOG_SOCKET;
        const std::string line = log.find("changed=main.scan_code_delay,track2.suffix");
        EXPECT_NE(line.find("r550ctl["), std::string::npos) << line;
        EXPECT_NE(line.find("command=apply port=COM1 "), std::string::npos) << line;
        EXPECT_NE(line.find(" outcome=changed uid="), std::string::npos) << line;
    }

    // The profile, as show prints it, names the two old values: the reader is as it was.
    const fs::path profile = folder.path() / "shop.profile";
    std::ofstream(profile) << "# delays and suffixes\n\nmain.scan_code_delay=1  "
                              "'track2.suffix={13}{10}' # back\n";
    const ChildProcess::Result back = ctl({"apply", "--profile", profile.string(), "-p", "1"});
    EXPECT_EQ(back.exitCode, 0) << back.errors;
    EXPECT_EQ(fileText(memory), held);
    fs::resize_file(ports / "com1.log", 0);
    const ChildProcess::Result again =
        ctl({"apply", "--profile", profile.string(), "-p", "1", "--backup", backups.string()});
    EXPECT_NE(again.output.find("unchanged"), std::string::npos) << again.output;
    EXPECT_EQ(fileText(ports / "com1.log"), "1B 1C C0 00 09\n1B 1C C1 10 40\n1B 1C C0 10 04\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 1);

    // Restoring the backup: the reader holds again what it held before the first write.
    ASSERT_EQ(ctl({"reset", "-p", "1"}).exitCode, 0);
    EXPECT_NE(fileText(memory), held);
    EXPECT_EQ(ctl({"program", backup, "--port", "1"}).exitCode, 0);
    EXPECT_EQ(fileText(memory), held);
}
