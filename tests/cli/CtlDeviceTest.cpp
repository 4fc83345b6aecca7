// The built r550ctl's device commands against reader simulators on a private ports folder
// (R550_PORTS_DIR) and a private adapter folder (R550_BY_ID_DIR), at the speed of a real line.

#include "CtlFixture.h"
#include "link/FrameBatch.h"
#include "link/SerialLink.h"
#include "link/SteadyClock.h"
#include "operations/ProgrammingBatch.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/PseudoTerminal.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

std::string hexLine(const std::uint8_t* bytes, int n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (int i = 0; i < n; ++i) {
        line += (i == 0 ? "" : " ") + std::string{kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0x0F]};
    }
    return line;
}

struct CtlDeviceTest : CtlFixture {
    ChildProcess::Environment environment() const override {
        // No test reaches the keyboard controller: its writes go to a trace file.
        ChildProcess::Environment all = CtlFixture::environment();
        all.emplace_back("R550_PORT_IO", "trace:" + (folder.path() / "keyboard.trace").string());
        return all;
    }

    // A simulator at 9600 bit/s linked as `link`, logging the frames it receives.
    std::unique_ptr<ChildProcess> simulator(const std::filesystem::path& link,
                                            const std::vector<std::string>& options = {}) const {
        std::vector<std::string> all{"--line-rate", "9600", "--log", logOf(link).string()};
        all.insert(all.end(), options.begin(), options.end());
        return startSimulator(link, all);
    }
    std::unique_ptr<ChildProcess> simulator(int portNumber,
                                            const std::vector<std::string>& options = {}) const {
        return simulator(com(portNumber), options);
    }
    std::filesystem::path logOf(const std::filesystem::path& link) const {
        return folder.path() / (link.filename().string() + ".log");
    }
    std::vector<std::string> framesReceived(int portNumber) const {
        return linesOf(fileText(logOf(com(portNumber))));
    }
};

} // namespace

TEST_F(CtlDeviceTest, VersionProgramVerifyReadAndResetOnTwoReaders) {
    const auto com2 = simulator(2, {"--version", "V2.34"});
    const auto com5 = simulator(5);
    ASSERT_TRUE(com2 && com5);

    const ChildProcess::Result version = ctl({"version", "--port", "2", "--port", "COM5"});
    EXPECT_EQ(version.exitCode, 0) << version.errors;
    const std::vector<std::string> versionLines = linesOf(version.output);
    ASSERT_EQ(versionLines.size(), 2u) << version.output;
    EXPECT_EQ(versionLines[0].rfind("COM2  /dev/pts/", 0), 0u) << versionLines[0];
    EXPECT_NE(versionLines[0].find(" ok "), std::string::npos) << versionLines[0];
    EXPECT_EQ(versionLines[0].substr(versionLines[0].size() - 5), "V2.34");
    EXPECT_EQ(versionLines[1].substr(versionLines[1].size() - 5), "V1.00");

    // Settings that differ from the factory's in all three blocks the read-back covers.
    SettingsImage image;
    writeFactoryValues(image);
    byteOf(image, "main.scan_code_delay") = 7;
    recordOf(image, "msr.prefix")[0] = 2;
    recordOf(image, "msr.prefix")[1] = 'A';
    recordOf(image, "msr.prefix")[2] = 13;
    flagsOf(image, "iso2") = 0x0E;
    const std::filesystem::path shop = folder.path() / "shop.cfg";
    ASSERT_EQ(writeSettingsFile(image, shop.string()), 0);

    const ChildProcess::Result program =
        ctl({"--json", "program", shop.string(), "-p", "2", "-p", "5", "--verify"});
    EXPECT_EQ(program.exitCode, 0) << program.errors << program.output;
    for (const nlohmann::json& reader : jsonLines(program.output)) {
        EXPECT_EQ(reader["outcome"], "ok") << reader;
        EXPECT_EQ(reader["differences"], nlohmann::json::array()) << reader;
    }
    // On the wire: exactly the window's six write blocks, then the three read blocks.
    FrameBatch expected;
    ProgrammingBatch::fillSerial(image, expected);
    for (const int port : {2, 5}) {
        const std::vector<std::string> frames = framesReceived(port);
        ASSERT_EQ(frames.size(), 10u) << port; // the version query came first
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(frames[static_cast<std::size_t>(i) + 1],
                      hexLine(expected.frames[static_cast<std::size_t>(i)].data(),
                              expected.lengths[static_cast<std::size_t>(i)]));
        }
        EXPECT_EQ(frames[7], "1B 1C C0 00 09");
        EXPECT_EQ(frames[8], "1B 1C C1 10 40");
        EXPECT_EQ(frames[9], "1B 1C C0 10 04");
    }

    // What the readers hold, back into files: the programmed block itself.
    const ChildProcess::Result read =
        ctl({"read", "-p", "2", "-p", "5", "-o", (folder.path() / "{port}.cfg").string()});
    EXPECT_EQ(read.exitCode, 0) << read.errors;
    EXPECT_EQ(fileText(folder.path() / "COM2.cfg"), fileText(shop));
    EXPECT_EQ(fileText(folder.path() / "COM5.cfg"), fileText(shop));

    // Each reader is compared with the factory values by name; only what was programmed differs.
    const std::filesystem::path factory = folder.path() / "factory.cfg";
    SettingsImage factoryImage;
    writeFactoryValues(factoryImage);
    ASSERT_EQ(writeSettingsFile(factoryImage, factory.string()), 0);
    const ChildProcess::Result differs = ctl({"verify", factory.string(), "--port", "5"});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_NE(differs.output.find("COM5"), std::string::npos);
    EXPECT_NE(differs.output.find("3 settings differ"), std::string::npos) << differs.output;
    EXPECT_NE(differs.output.find("  main.scan_code_delay: 7 -> 1\n"), std::string::npos)
        << differs.output;
    EXPECT_NE(differs.output.find("  msr.prefix: A{13} -> CR\n"), std::string::npos)
        << differs.output;

    const ChildProcess::Result reset = ctl({"reset", "--port", "5"});
    EXPECT_EQ(reset.exitCode, 0) << reset.errors;
    EXPECT_EQ(framesReceived(5).back(), "1B 21 01 FF");
    const ChildProcess::Result same = ctl({"verify", factory.string(), "--port", "5"});
    EXPECT_EQ(same.exitCode, 0) << same.output;
    EXPECT_TRUE(portIsFree(2) && portIsFree(5));
}

TEST_F(CtlDeviceTest, DetectAndAllFindTheReadersThatAnswer) {
    const auto com1 = simulator(1);
    const auto com4 = simulator(4);
    const auto silent = simulator(6, {"--silent"});
    const auto adapter = simulator(byId / "usb-Reader_A1-if00-port0");
    ASSERT_TRUE(com1 && com4 && silent && adapter);
    // COM7: a port that another program holds.
    ASSERT_TRUE(holdPort(7));

    const auto started = std::chrono::steady_clock::now();
    const ChildProcess::Result detect = ctl({"--json", "detect", "--usb"});
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(detect.exitCode, 0) << detect.errors;
    std::map<std::string, nlohmann::json> readers;
    for (const nlohmann::json& reader : jsonLines(detect.output)) {
        readers[reader["port"].get<std::string>()] = reader;
    }
    const std::string adapterPath = (byId / "usb-Reader_A1-if00-port0").string();
    ASSERT_EQ(readers.size(), 3u) << detect.output;
    EXPECT_TRUE(readers.count("COM1") && readers.count("COM4")) << detect.output;
    // An adapter that no port number leads to comes with the line that gives it one.
    EXPECT_EQ(readers[adapterPath]["suggested_port"], 2);
    EXPECT_EQ(readers[adapterPath]["map_command"], "ln -s " + adapterPath + " " + com(2).string());
    EXPECT_NE(detect.errors.find("COM7: skipped (held): open in "), std::string::npos)
        << detect.errors;
    // The ports are probed side by side: the silent one costs the echo time once, not each.
    EXPECT_LT(took, 2s);

    // --all: the readers that answer, nothing else; --usb adds the adapter.
    const ChildProcess::Result all = ctl({"version", "--all"});
    EXPECT_EQ(all.exitCode, 0) << all.errors;
    const std::vector<std::string> lines = linesOf(all.output);
    ASSERT_EQ(lines.size(), 2u) << all.output;
    EXPECT_EQ(lines[0].rfind("COM1 ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("COM4 ", 0), 0u);
    const ChildProcess::Result withUsb = ctl({"--quiet", "version", "--all", "--usb"});
    EXPECT_EQ(withUsb.exitCode, 0) << withUsb.errors;
    EXPECT_EQ(linesOf(withUsb.output).size(), 3u) << withUsb.output;
}

TEST_F(CtlDeviceTest, BadPortsAndFilesSayWhatIsWrong) {
    const auto com3 = simulator(3);
    const auto stalls = simulator(6, {"--stall-after-echo"});
    ASSERT_TRUE(com3 && stalls);
    ASSERT_TRUE(holdPort(4));

    // Usage errors: nothing is opened.
    struct Usage {
        std::vector<std::string> arguments;
        std::string message;
    };
    for (const Usage& usage : std::vector<Usage>{
             {{"version"}, "Name the readers"},
             {{"version", "--port", "COMX"}, "--port COMX: not a port"},
             {{"program", "missing.cfg", "--port", "3"}, "missing.cfg does not exist"},
             {{"program", "x.cfg", "--keyboard", "--verify"}, "cannot be read back"},
             {{"detect", "--keyboard"}, "only from a terminal"},
             {{"version", "--al"}, "Did you mean '--all' for '--al'?"},
         }) {
        const ChildProcess::Result result = ctl(usage.arguments);
        EXPECT_EQ(result.exitCode, 2) << usage.arguments[0] << " " << result.errors;
        EXPECT_NE(result.errors.find(usage.message), std::string::npos) << result.errors;
    }

    // An unknown port and a held one fail their readers; the reader beside them still answers.
    const ChildProcess::Result result = ctl({"version", "-p", "9", "-p", "4", "-p", "3"});
    EXPECT_EQ(result.exitCode, 3);
    const std::vector<std::string> lines = linesOf(result.output);
    ASSERT_EQ(lines.size(), 3u) << result.output;
    EXPECT_NE(lines[0].find("failed"), std::string::npos);
    EXPECT_NE(lines[0].find("no device; looked for " + com(9).string()), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("open in "), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("V1.00"), std::string::npos) << lines[2];

    // A path that is there but no serial port says what it is; control bytes in a path show
    // escaped, in the reader's line as in a message.
    std::ofstream(folder.path() / "plain.txt") << "text";
    for (const auto& [port, says] : std::vector<std::pair<std::string, std::string>>{
             {folder.path().string(), folder.path().string() + " is a folder, not a serial port"},
             {(folder.path() / "plain.txt").string(), "plain.txt is a regular file, not a serial"},
             {(folder.path() / "\x1b[31mX").string(), "/\\x1B[31mX"}}) {
        const ChildProcess::Result what = ctl({"version", "-p", port});
        EXPECT_EQ(what.exitCode, 3) << what.output << what.errors;
        EXPECT_NE(what.output.find(says), std::string::npos) << what.output;
        EXPECT_EQ((what.output + what.errors).find('\x1b'), std::string::npos) << what.output;
    }

    // A reader that stops after its first echo byte is given --timeout, not forever.
    const ChildProcess::Result stalled = ctl({"version", "-p", "6", "--timeout", "0.3"});
    EXPECT_EQ(stalled.exitCode, 3);
    EXPECT_NE(stalled.output.find("failed"), std::string::npos) << stalled.output;
    EXPECT_NE(stalled.output.find("the reply did not end within 300 ms"), std::string::npos)
        << stalled.output;

    // Readers named by their device paths: a missing one, a silent one and one that answers,
    // each told under its own path, with no COM number standing in for it.
    const std::filesystem::path quiet = byId / "usb-Quiet-if00-port0";
    const std::filesystem::path answers = byId / "usb-Answers-if00-port0";
    const auto quietSim = simulator(quiet, {"--silent"});
    const auto answersSim = simulator(answers);
    ASSERT_TRUE(quietSim && answersSim);
    const ChildProcess::Result byPath =
        ctl({"--json", "version", "-p", (byId / "gone").string(), "-p", quiet.string(), "-p",
             answers.string(), "--timeout", "0.3"});
    EXPECT_EQ(byPath.exitCode, 3) << byPath.errors;
    const std::vector<nlohmann::json> readers = jsonLines(byPath.output);
    ASSERT_EQ(readers.size(), 3u) << byPath.output;
    const std::vector<std::pair<std::string, nlohmann::json>> expected{
        {(byId / "gone").string(), "no_device"},
        {quiet.string(), "no_answer"},
        {answers.string(), nullptr}};
    for (std::size_t i = 0; i < readers.size(); ++i) {
        EXPECT_EQ(readers[i]["port"], expected[i].first) << byPath.output;
        EXPECT_EQ(readers[i]["error"], expected[i].second) << byPath.output;
        EXPECT_EQ(readers[i].dump().find("COM"), std::string::npos) << readers[i].dump();
    }
}

TEST_F(CtlDeviceTest, ReaderUnpluggedInTheMiddleOfARunOfEight) {
    std::vector<std::unique_ptr<ChildProcess>> sims;
    std::vector<std::string> arguments{"program", (folder.path() / "shop.cfg").string()};
    SettingsImage image;
    writeFactoryValues(image);
    ASSERT_EQ(writeSettingsFile(image, arguments[1]), 0);
    for (int n = 1; n <= 8; ++n) {
        // Each answer held 100 ms: the run lasts long enough to lose a reader in the middle.
        sims.push_back(simulator(n, {"--answer-delay", "100"}));
        ASSERT_TRUE(sims.back()) << n;
        arguments.insert(arguments.end(), {"--port", std::to_string(n)});
    }
    const auto run = startCtl(arguments);
    // COM5 goes once it has received its first frame.
    const auto giveUp = std::chrono::steady_clock::now() + kPatience;
    while (framesReceived(5).empty() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_FALSE(framesReceived(5).empty());
    sims[4]->signal(SIGKILL);

    EXPECT_EQ(run->waitForExit(kPatience), 3) << run->errors();
    const std::vector<std::string> lines = linesOf(run->output());
    ASSERT_EQ(lines.size(), 8u) << run->output();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 4) {
            EXPECT_EQ(lines[i].rfind("COM5 ", 0), 0u);
            EXPECT_NE(lines[i].find("failed"), std::string::npos) << lines[i];
            EXPECT_NE(lines[i].find("the device went away (unplugged?)"), std::string::npos)
                << lines[i];
        } else {
            EXPECT_NE(lines[i].find(" ok "), std::string::npos) << lines[i];
            EXPECT_EQ(framesReceived(static_cast<int>(i) + 1).size(), 6u) << lines[i];
        }
    }
}

TEST_F(CtlDeviceTest, CtrlCCancelsEveryReaderAndReleasesItsPort) {
    const auto com1 = simulator(1, {"--answer-delay", "300"});
    const auto com2 = simulator(2, {"--answer-delay", "300"});
    ASSERT_TRUE(com1 && com2);
    const auto run = startCtl({"read", "-p", "1", "-p", "2"});
    const auto giveUp = std::chrono::steady_clock::now() + kPatience;
    while ((framesReceived(1).empty() || framesReceived(2).empty()) &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(5ms);
    }
    run->signal(SIGINT);
    EXPECT_EQ(run->waitForExit(kPatience), 130);
    EXPECT_NE(run->errors().find("interrupted; left unfinished: COM1, COM2; every port released"),
              std::string::npos)
        << run->errors();
    EXPECT_TRUE(portIsFree(1) && portIsFree(2));
}

TEST_F(CtlDeviceTest, KeyboardLineAtTheWindowsPaceOrRefusedWithTheReason) {
    const ChildProcess::Result reset = ctl({"reset", "--keyboard"});
    EXPECT_EQ(reset.exitCode, 0) << reset.errors;
    EXPECT_EQ(linesOf(reset.output).size(), 1u);
    // The reset frame through port 0x60, its 0xFF escaped, then its checksum; 100 ms apart.
    std::vector<std::string> bytes;
    std::vector<long> times;
    for (const std::string& line : linesOf(fileText(folder.path() / "keyboard.trace"))) {
        std::istringstream fields(line);
        long at = 0;
        std::string port;
        std::string byte;
        fields >> at >> port >> byte;
        times.push_back(at);
        bytes.push_back(byte);
    }
    EXPECT_EQ(bytes, (std::vector<std::string>{"0x1b", "0x21", "0x01", "0xe0", "0x1f", "0xc4"}));
    ASSERT_EQ(times.size(), 6u);
    EXPECT_GE(times[5] - times[0], 5 * 100);

    const std::filesystem::path settings = folder.path() / "factory.cfg";
    SettingsImage image;
    writeFactoryValues(image);
    ASSERT_EQ(writeSettingsFile(image, settings.string()), 0);
    // A mistyped backend is refused before anything is done, naming the accepted values.
    const ChildProcess::Result unknown =
        ctl({"program", settings.string(), "--keyboard"}, {{"R550_PORT_IO", "helpr"}});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("R550_PORT_IO=helpr is not a way to reach the keyboard "
                                  "controller; it takes none, trace:FILE or helper"),
              std::string::npos)
        << unknown.errors;

    // Where the helper that would give access is not installed, the command refuses.
    if (std::filesystem::exists("/usr/libexec/r550tool/r550-portio")) {
        GTEST_SKIP() << "an installed helper would reach the real keyboard controller";
    }
    const ChildProcess::Result refused =
        ctl({"program", settings.string(), "--keyboard"}, {{"R550_PORT_IO", "helper"}});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.output.rfind("keyboard  port 0x60  failed", 0), 0u) << refused.output;
    EXPECT_NE(refused.output.find("no access to the keyboard controller"), std::string::npos)
        << refused.output;
}

// The exit status of verify and program, the same for both: 0 same, 1 differs, 2 bad input with
// nothing sent, 3 a reader failed (winning over 1), 130 Ctrl+C; a file of another length than
// 3060 bytes is refused unless --any-length.
TEST_F(CtlDeviceTest, ExitStatusTellsDifferingFromFailingAndBadInput) {
    const auto com1 = simulator(1);
    ASSERT_TRUE(com1);
    SettingsImage image;
    writeFactoryValues(image);
    const std::string same = (folder.path() / "same.cfg").string();
    ASSERT_EQ(writeSettingsFile(image, same), 0);
    byteOf(image, "main.scan_code_delay") = 9;
    const std::string other = (folder.path() / "other.cfg").string();
    ASSERT_EQ(writeSettingsFile(image, other), 0);
    const std::string empty = (folder.path() / "empty.cfg").string();
    const std::string cut = (folder.path() / "cut.cfg").string();
    std::ofstream(empty).flush();
    std::ofstream(cut) << fileText(same).substr(0, 3059);

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message; // on stderr
    };
    for (const std::string command : {"verify", "program"}) {
        for (const Case& c : std::vector<Case>{
                 {{command, same, "-p", "1"}, 0, ""},
                 {{"-q", command, empty, "-p", "1"}, 2, empty + ": 0 bytes, not 3060"},
                 {{"-q", command, cut, "-p", "1"}, 2, cut + ": 3059 bytes, not 3060"},
                 {{command, same, "-p", "1", "-p", "5"}, 3, ""},
             }) {
            const std::size_t framesBefore = framesReceived(1).size();
            const ChildProcess::Result result = ctl(c.arguments);
            EXPECT_EQ(result.exitCode, c.exitCode) << command << " " << result.errors;
            EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
            if (c.exitCode == 2) {
                EXPECT_EQ(framesReceived(1).size(), framesBefore) << "nothing was sent";
            }
        }
        // Laid over the factory values as Load does; the warning stays under -q.
        const ChildProcess::Result anyLength = ctl({"-q", command, cut, "-p", "1", "--any-length"});
        EXPECT_EQ(anyLength.exitCode, 0) << anyLength.errors;
        EXPECT_NE(anyLength.errors.find("3059 bytes"), std::string::npos);
    }
    EXPECT_EQ(ctl({"verify", other, "-p", "1"}).exitCode, 1);
    EXPECT_EQ(ctl({"program", same, "-p", "1", "--verify"}).exitCode, 0);
    EXPECT_EQ(ctl({"verify", other, "-p", "1", "-p", "5"}).exitCode, 3) << "3 wins over 1";
}

// Ctrl+C in the middle of an exchange: the port is kept until the reply that was on its way has
// come and gone, so that the next command does not take it for its own answer.
// Ctrl+C at several points of a programming run with a slow reader: the frame on its way still
// gets its answer, the run says how far it got, and the next command gets its own answers.
TEST_F(CtlDeviceTest, ACommandRightAfterCtrlCGetsItsOwnAnswer) {
    const auto com1 = simulator(1, {"--answer-delay", "200"});
    ASSERT_TRUE(com1);
    SettingsImage image;
    writeFactoryValues(image);
    byteOf(image, "main.scan_code_delay") = 9;
    const std::string shop = (folder.path() / "shop.cfg").string();
    ASSERT_EQ(writeSettingsFile(image, shop), 0);
    const std::regex howFar("interrupted after ([1-5] of 6|all 6) frames were acknowledged"
                            "(; the reader may hold part of the new settings)?");
    for (const auto wait : {250ms, 560ms, 870ms, 1180ms}) {
        const auto program = startCtl({"--json", "program", shop, "-p", "1"});
        std::this_thread::sleep_for(wait);
        program->signal(SIGINT);
        EXPECT_EQ(program->waitForExit(kPatience), 130) << program->errors();
        const nlohmann::json reader = jsonLines(program->output()).at(0);
        EXPECT_EQ(reader["outcome"], "interrupted") << reader;
        EXPECT_TRUE(std::regex_match(reader["reason"].get<std::string>(), howFar)) << reader;
        const ChildProcess::Result verify = ctl({"verify", shop, "-p", "1"});
        EXPECT_TRUE(verify.exitCode == 0 || verify.exitCode == 1)
            << wait.count() << " ms: " << verify.output << verify.errors;
    }
}

// A reader whose line stops taking bytes fails on its own limit; the reader beside it is served
// in its own time, and the run does not wait for the write limit of the stalled one.
TEST_F(CtlDeviceTest, AStalledLineHoldsUpNoOtherReader) {
    const auto stalled = simulator(1, {"--stop-reading"});
    const auto com2 = simulator(2);
    ASSERT_TRUE(stalled && com2);
    const auto started = std::chrono::steady_clock::now();
    const ChildProcess::Result result = ctl({"--json", "version", "-p", "1", "-p", "2"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_EQ(result.exitCode, 3);
    const std::vector<nlohmann::json> readers = jsonLines(result.output);
    ASSERT_EQ(readers.size(), 2u) << result.output;
    EXPECT_EQ(readers[0]["error"], "write_stalled") << readers[0];
    EXPECT_EQ(readers[1]["outcome"], "ok") << readers[1];
    EXPECT_LT(readers[1]["ms"].get<int>(), 300) << readers[1];
}

// Every JSON object of a kind has every key, typed: numbers, booleans, words, arrays of codes.
TEST_F(CtlDeviceTest, JsonValuesAreTyped) {
    const auto com1 = simulator(1);
    ASSERT_TRUE(com1);
    const std::string factory = (folder.path() / "factory.cfg").string();
    ASSERT_EQ(ctl({"new", factory}).exitCode, 0);
    const ChildProcess::Result version = ctl({"--json", "version", "-p", "1", "-p", "5"});
    const std::vector<nlohmann::json> readers = jsonLines(version.output);
    ASSERT_EQ(readers.size(), 2u) << version.output;
    for (const nlohmann::json& reader : readers) {
        for (const char* key : {"port", "device", "outcome", "error", "reason", "ms", "version"}) {
            EXPECT_TRUE(reader.contains(key)) << key << " " << reader;
        }
        EXPECT_TRUE(reader["ms"].is_number_integer());
    }
    EXPECT_TRUE(readers[0]["error"].is_null() && readers[0]["version"] == "V1.00");
    EXPECT_EQ(readers[1]["error"], "no_device");
    EXPECT_TRUE(readers[1]["version"].is_null());

    std::map<std::string, nlohmann::json> shown;
    for (const nlohmann::json& object : jsonLines(ctl({"--json", "show", factory}).output)) {
        shown[object["name"].get<std::string>()] = object["value"];
    }
    EXPECT_EQ(shown["main.baud_rate"], "9600");
    EXPECT_EQ(shown["main.scan_code_delay"], 1);
    EXPECT_EQ(shown["track1.beep"], true);
    EXPECT_EQ(shown["track3.suffix"], nlohmann::json::array({13, 10}));
    const ChildProcess::Result read = ctl({"--json", "read", "-p", "1"});
    EXPECT_EQ(jsonLines(read.output).at(0)["settings"].size(), shown.size());
    for (const nlohmann::json& name : jsonLines(ctl({"--json", "names"}).output)) {
        const bool byte = name["kind"] == "byte";
        EXPECT_EQ(name["min"].is_number(), byte) << name;
        EXPECT_EQ(name["choices"].empty(), name["kind"] != "choice") << name;
        EXPECT_TRUE(name["caption"].is_string()) << name;
    }
}

// The target of read -o is checked before any reader is touched: an existing file is replaced
// only with --force (what is no settings file at all is refused as by every writer); "-" is
// standard output.
TEST_F(CtlDeviceTest, ReadOutputIsCheckedBeforeTheReaderIsRead) {
    const auto com1 = simulator(1);
    ASSERT_TRUE(com1);
    const std::filesystem::path existing = folder.path() / "existing.cfg";
    std::ofstream(existing) << "keep";
    const ChildProcess::Result refused = ctl({"read", "-p", "1", "-o", existing.string()});
    EXPECT_EQ(refused.exitCode, 2) << refused.errors;
    EXPECT_NE(refused.errors.find("exists; --force replaces it"), std::string::npos);
    EXPECT_EQ(fileText(existing), "keep");
    EXPECT_TRUE(framesReceived(1).empty()) << "the reader was read";
    const ChildProcess::Result out = ctl({"read", "-p", "1", "-o", "-"});
    EXPECT_EQ(out.exitCode, 0) << out.errors;
    EXPECT_EQ(out.output.size(), 3060u);
    EXPECT_EQ(ctl({"read", "-p", "1", "-o", existing.string(), "--force"}).exitCode, 0);
    EXPECT_EQ(fileText(existing), out.output);
}

// What show prints goes back into set through xargs, whatever the values hold; and a full
// standard output is an error.
TEST_F(CtlDeviceTest, ShowGoesBackIntoSetAndAFullOutputFails) {
    const std::string a = (folder.path() / "a.cfg").string();
    const std::string b = (folder.path() / "b.cfg").string();
    ASSERT_EQ(ctl({"new", a}).exitCode, 0);
    ASSERT_EQ(ctl({"new", b}).exitCode, 0);
    // Every setting away from the factory value, code lists with quotes, blanks and backslashes.
    const ChildProcess::Result names = ctl({"--json", "names"});
    std::vector<std::string> set{"set", a};
    for (const nlohmann::json& name : jsonLines(names.output)) {
        const std::string kind = name["kind"];
        const std::string value = kind == "flag"     ? "off"
                                  : kind == "byte"   ? std::to_string(name["max"].get<int>())
                                  : kind == "choice" ? name["choices"].back().get<std::string>()
                                                     : "a'b\" \\";
        set.push_back(name["name"].get<std::string>() + "=" + value);
    }
    ASSERT_EQ(ctl(set).exitCode, 0) << ctl(set).errors;
    const auto pipe = [&](const std::string& from, const std::string& to) {
        return ChildProcess::run({"/bin/sh", "-c", "\"$0\" show \"$1\" | xargs \"$0\" set \"$2\"",
                                  R550_CTL_PROGRAM, from, to},
                                 environment());
    };
    const std::string factory = (folder.path() / "factory.cfg").string();
    ASSERT_EQ(ctl({"new", factory}).exitCode, 0);
    // Every setting changed into the factory file's copy, then back to the factory values.
    for (const std::string& from : {a, factory}) {
        const ChildProcess::Result copied = pipe(from, b);
        EXPECT_EQ(copied.exitCode, 0) << copied.errors;
        const ChildProcess::Result diff = ctl({"diff", from, b});
        EXPECT_EQ(diff.exitCode, 0) << from << diff.output;
    }

    const ChildProcess::Result full =
        ChildProcess::run({"/bin/sh", "-c", "\"$0\" names > /dev/full", R550_CTL_PROGRAM}, {});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.errors.find("No space left on device"), std::string::npos) << full.errors;
}

// The JSON of every command, parsed and held to one contract: keys snake_case, outcome words
// single tokens, a setting's value one type per kind (null with `raw` and `valid` false for a
// stored byte outside its values), `differences` a list where a comparison was made and null
// where none was; and the exit status of each.
TEST_F(CtlDeviceTest, EveryCommandsJsonKeepsTheOutputContract) {
    // The reader holds the baud code 0x60, which no setting value names; so does odd.cfg.
    std::ofstream(folder.path() / "odd.memory")
        << "C0 86 01 0A 60 80 A3 A3 A3 83 00 00 00 00 00 00 00 4E 4E 4E 00\nC1"
        << " 02 43 52 00 00 00 00 00 02 43 52 00 00 00 00 00 02 54 31 00 00 00 00 00"
        << " 02 0D 0A 00 00 00 00 00 02 54 32 00 00 00 00 00 02 0D 0A 00 00 00 00 00"
        << " 02 54 33 00 00 00 00 00 02 0D 0A 00 00 00 00 00\n";
    const auto sim = simulator(1, {"--preset", (folder.path() / "odd.memory").string()});
    ASSERT_TRUE(sim);
    const std::string factory = (folder.path() / "factory.cfg").string();
    const std::string odd = (folder.path() / "odd.cfg").string();
    ASSERT_EQ(ctl({"new", factory}).exitCode + ctl({"new", odd}).exitCode, 0);
    ASSERT_EQ(ctl({"set", odd, "main.baud_rate={96}", "main.buzzer=off"}).exitCode, 0);
    std::map<std::string, std::string> kinds;
    for (const nlohmann::json& name : jsonLines(ctl({"--json", "names"}).output)) {
        kinds[name["name"]] = name["kind"];
    }
    std::set<std::string> odds; // "command setting" where a value was outside its setting's
    const std::set<std::string> outcomes{"ok",      "changed", "unchanged",  "would_change",
                                         "differs", "failed",  "interrupted"};
    std::function<void(const nlohmann::json&, const std::string&)> check =
        [&](const nlohmann::json& value, const std::string& where) {
            if (!value.is_structured()) {
                return;
            }
            for (const auto& [key, item] : value.items()) {
                EXPECT_TRUE(value.is_array() ||
                            std::regex_match(key, std::regex("[a-z][a-z0-9_]*")))
                    << where << key;
                check(item, where);
            }
            if (value.is_array()) {
                return;
            }
            EXPECT_TRUE(!value.contains("outcome") ||
                        outcomes.contains(value.at("outcome").get<std::string>()))
                << value;
            // A setting record, and each side of a difference.
            for (const std::string side : {"", "reader_", "file_", "first_", "second_"}) {
                if (!value.contains(side + "text") || !value.contains("name")) {
                    continue;
                }
                const nlohmann::json& typed =
                    value.at(side.empty() ? "value" : side.substr(0, side.size() - 1));
                const std::string name = value.at("name");
                const std::string kind = kinds[name];
                if (!value.at(side + "valid").get<bool>()) {
                    EXPECT_TRUE(typed.is_null() && value.at(side + "raw").is_number()) << value;
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
        };

    // Each command, its exit status, and whether `differences` is there (1: a list where the
    // reader did not fail, 0: null, -1: no such key).
    const std::vector<std::tuple<std::vector<std::string>, int, int>> runs{
        {{"ports"}, 0, -1},
        {{"detect"}, 0, -1},
        {{"version", "-p", "1"}, 0, -1},
        {{"read", "-p", "1"}, 0, -1},
        {{"show", odd}, 0, -1},
        {{"diff", factory, odd}, 1, 1},
        {{"diff", factory, factory}, 0, 1},
        {{"verify", factory, "-p", "1"}, 1, 1},
        {{"apply", factory, "--check", "-p", "1"}, 1, 1},
        {{"apply", factory, "--check", "-p", "1", "-p", "2"}, 3, 1},
        {{"program", factory, "-p", "1"}, 0, 0},
        {{"apply", factory, "--check", "-p", "1"}, 0, 1},
        {{"program", factory, "--verify", "-p", "1"}, 0, 1},
        {{"reset", "-p", "1"}, 0, -1},
    };
    for (const auto& [arguments, exitCode, compared] : runs) {
        std::string where;
        for (const std::string& argument : arguments) {
            where += argument + " ";
        }
        std::vector<std::string> json{"--json"};
        json.insert(json.end(), arguments.begin(), arguments.end());
        const ChildProcess::Result result = ctl(json);
        EXPECT_EQ(result.exitCode, exitCode) << where << result.errors;
        EXPECT_FALSE(result.output.empty()) << where;
        for (const nlohmann::json& object : jsonLines(result.output)) {
            ASSERT_TRUE(object.is_object()) << where << result.output;
            check(object, where);
            if (compared >= 0) {
                EXPECT_EQ(object.at("differences").is_array(),
                          compared == 1 && object.value("outcome", "") != "failed")
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

namespace {

// Another program with a port open, as till software keeps it: no lock, and with `exclusive`
// the terminal's exclusive mode. It runs as `uid` and is called "sleep".
struct PortHolder {
    PortHolder(const std::filesystem::path& port, bool exclusive, uid_t uid) {
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 || (exclusive && ::ioctl(fd, TIOCEXCL) != 0) ||
                (uid != ::getuid() && ::setresuid(uid, uid, uid) != 0)) {
                ::_exit(1);
            }
            ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(1);
        }
        // Until it runs as sleep, it is not yet the program a refusal names.
        for (int i = 0;
             i < 500 && CtlFixture::fileText("/proc/" + std::to_string(pid) + "/comm") != "sleep\n";
             ++i) {
            std::this_thread::sleep_for(2ms);
        }
    }
    ~PortHolder() {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    pid_t pid = -1;
};

} // namespace

// A port that another program holds is never opened, whoever runs r550ctl: --port fails with
// in_use and the holder's name, --all skips it as held, ports names the holder, and the reader
// receives nothing, unless --force-open says otherwise.
TEST_F(CtlDeviceTest, APortAnotherProgramHoldsIsNeverOpened) {
    const auto com2 = simulator(2);
    ASSERT_TRUE(com2);
    const std::filesystem::path shop = folder.path() / "shop.cfg";
    SettingsImage image;
    writeFactoryValues(image);
    ASSERT_EQ(writeSettingsFile(image, shop.string()), 0);
    // A second user, where the test may be one: it may reach the port and the files.
    std::vector<uid_t> users{::getuid()};
    if (::getuid() == 0) {
        users.push_back(65534);
        std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
        ::chmod(std::filesystem::canonical(com(2)).c_str(), 0666);
        ::chmod(shop.c_str(), 0644);
    }
    for (const uid_t uid : users) {
        const std::string as = "--reuid=" + std::to_string(uid);
        for (const bool exclusive : {false, true}) {
            const PortHolder holder(com(2), exclusive, uid);
            const std::string named = "open in sleep (PID " + std::to_string(holder.pid) + ")";
            const auto run = [&](std::vector<std::string> arguments) {
                arguments.insert(arguments.begin(),
                                 {"/usr/bin/setpriv", as, "--", R550_CTL_PROGRAM});
                return ChildProcess::run(arguments, environment(), 20s);
            };
            const ChildProcess::Result program =
                run({"--json", "program", shop.string(), "-p", "2"});
            EXPECT_EQ(program.exitCode, 3) << program.errors;
            const std::vector<nlohmann::json> results = jsonLines(program.output);
            ASSERT_EQ(results.size(), 1u) << program.output;
            EXPECT_EQ(results[0]["error"], "in_use");
            EXPECT_EQ(results[0]["reason"], named);

            const ChildProcess::Result all = run({"apply", shop.string(), "--all"});
            EXPECT_EQ(all.exitCode, 3) << all.errors;
            EXPECT_NE(all.errors.find("COM2: skipped (held): " + named), std::string::npos)
                << all.errors;

            const ChildProcess::Result survey = run({"--json", "ports", "-p", "2"});
            const std::vector<nlohmann::json> statuses = jsonLines(survey.output);
            ASSERT_GE(statuses.size(), 2u) << survey.output << survey.errors;
            const nlohmann::json& com2Status = statuses[1];
            EXPECT_EQ(com2Status["held"], true) << com2Status;
            EXPECT_EQ(com2Status["holder_pid"], holder.pid) << com2Status;
        }
    }
    EXPECT_TRUE(framesReceived(2).empty());

    const PortHolder holder(com(2), false, ::getuid());
    const ChildProcess::Result forced = ctl({"version", "-p", "2", "--force-open"});
    EXPECT_EQ(forced.exitCode, 0) << forced.errors;
    EXPECT_NE(forced.errors.find("opening it anyway"), std::string::npos) << forced.errors;
    EXPECT_EQ(framesReceived(2).size(), 1u);
}
