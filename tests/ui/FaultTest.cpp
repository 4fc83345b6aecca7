// Faults seen from the operator's side: the main window over the program's own transaction
// runner (a real transfer window on a real serial link, the reader behind a pseudo-terminal) and
// over real files, with the message boxes and file dialogs recorded and scripted.
#include "link/SerialLink.h"
#include "link/SteadyClock.h"
#include "link/Transfer.h"
#include "operations/DeviceOperations.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/EngineTransactionRunner.h"
#include "support/FakeClock.h"
#include "support/FileSizeLimit.h"
#include "support/MainWindowFixture.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingMessages.h"
#include "support/RecordingPortIo.h"
#include "support/ScriptedRunner.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"
#include "ui/DialogTransactionRunner.h"
#include "ui/MainDialog.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kReaderPort = 3;

// COMn is PORTS/comN and the keyboard-controller port goes nowhere, for the length of a test:
// no real device is ever touched.
class Sandbox {
public:
    Sandbox() {
        ::setenv("R550_PORTS_DIR", ports_.path().c_str(), 1);
        ::setenv("R550_PORT_IO", "none", 1);
    }
    ~Sandbox() {
        ::unsetenv("R550_PORTS_DIR");
        ::unsetenv("R550_PORT_IO");
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    const std::filesystem::path& ports() const { return ports_.path(); }

private:
    TempFolder ports_;
};

// The start-up's reader search answers from a script (a real one waits ten seconds for the
// keyboard line); every later transaction runs in the program's own transfer window.
class StartUpThenRealRunner : public TransactionRunner {
public:
    explicit StartUpThenRealRunner(ScriptedRunner& scripted)
        : startUp(scripted), real(SteadyClock().nowMilliseconds()) {}
    EndCode run(Transfer& transfer) override {
        return runs++ == 0 ? startUp.run(transfer) : real.run(transfer);
    }
    ScriptedRunner& startUp;
    DialogTransactionRunner real;
    int runs = 0;
};

// The reader writes `byte` as fast as the line takes it, from a thread of its own, until it is
// stopped or three seconds have passed.
class FloodingReader {
public:
    FloodingReader(int master, std::uint8_t byte)
        : thread_([this, master, byte](std::stop_token stop) { flood(stop, master, byte); }) {}
    FloodingReader(const FloodingReader&) = delete;
    FloodingReader& operator=(const FloodingReader&) = delete;
    ~FloodingReader() { stop(); }
    void stop() {
        thread_.request_stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    std::size_t sent() const { return sent_.load(); }

private:
    void flood(const std::stop_token& stop, int master, std::uint8_t byte) {
        const std::vector<std::uint8_t> chunk(4096, byte);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!stop.stop_requested() && std::chrono::steady_clock::now() < until) {
            const ssize_t n = ::write(master, chunk.data(), chunk.size());
            if (n > 0) {
                sent_ += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                // The line is full: wait for the link to take some, without spinning a core.
                pollfd room{master, POLLOUT, 0};
                ::poll(&room, 1, 2);
            }
        }
    }

    std::atomic<std::size_t> sent_{0};
    std::jthread thread_;
};

// How late a 50 ms timer fires while the window runs: the window's own work holds it up.
class LatencyProbe {
public:
    static constexpr int kPeriodMs = 50;
    LatencyProbe() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            worst_ = std::max(worst_, now - last_ - kPeriodMs);
            last_ = now;
            ++ticks_;
        });
        clock_.start();
        timer_.start(kPeriodMs);
    }
    qint64 worstLatenessMs() const { return worst_; }
    int ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    int ticks_ = 0;
};

// The main window started with the reader found on COM3, which is a pseudo-terminal.
class FaultWindow : public MainWindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ready());
        ASSERT_TRUE(pty.linkAs(sandbox.ports(), kReaderPort));
        runner.port = kReaderPort;
        window = std::make_unique<MainDialog>(image, startUpThenReal, messages, files, "r550tool");
        startUpThenReal.real.setParentWindow(window.get());
        window->initialise();
        window->show();
        ASSERT_EQ(byteOf(image, "main.com_port"), kReaderPort);
        messages.shown.clear();
    }
    // The window goes before the runner, the line and the sandbox it works with.
    void TearDown() override { window.reset(); }

    QDialog* transferWindow() const { return window->findChild<QDialog*>("transferDialog"); }
    bool transferWindowShown() const {
        const QDialog* dialog = transferWindow();
        return dialog != nullptr && dialog->isVisible();
    }
    PortMap ports() const { return PortMap(sandbox.ports().string(), std::nullopt, std::nullopt); }
    bool temporaryLeftBehind() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().filename().string().starts_with(".r550tool-")) {
                return true;
            }
        }
        return false;
    }

    Sandbox sandbox;
    PseudoTerminal pty;
    StartUpThenRealRunner startUpThenReal{runner};
};

} // namespace

// Another program holds COM3, by a link of its own or by a plain lock: every RS232 command
// fails at once with its own message, no transfer window appears, and the holder keeps the port.
TEST_F(FaultWindow, PortHeldByAnotherProgramFailsEachCommandAtOnce) {
    const std::vector<std::uint8_t> before = imageBytes();
    for (const bool plainLock : {false, true}) {
        SCOPED_TRACE(plainLock ? "open and lock" : "another link");
        SteadyClock steady;
        SerialLink holder(ports(), steady);
        int lockFd = -1;
        if (plainLock) {
            lockFd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            ASSERT_GE(lockFd, 0);
            ASSERT_EQ(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
        } else {
            ASSERT_TRUE(holder.open(kReaderPort));
        }

        const int runsBefore = startUpThenReal.runs;
        QElapsedTimer took;
        took.start();
        command("32781"); // via &RS232
        EXPECT_TRUE(onlyMessage("Programming all value error!", "Error message"));
        messages.shown.clear();
        command("32782"); // Load Main Setting From R550 (RS232 Only)
        EXPECT_TRUE(onlyMessage("Load Error", "r550tool"));
        messages.shown.clear();
        command("32783"); // Detect Firmwave Version (RS232 Only): a failed query says nothing
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_LT(took.elapsed(), 1000);
        EXPECT_FALSE(transferWindowShown());
        EXPECT_EQ(startUpThenReal.runs - runsBefore, 3);
        EXPECT_EQ(imageBytes(), before);

        // The holder was not disturbed, and once it lets go the port opens again.
        if (plainLock) {
            ::close(lockFd);
        } else {
            EXPECT_TRUE(holder.isOpen());
            holder.close();
        }
        SerialLink next(ports(), steady);
        EXPECT_TRUE(next.open(kReaderPort));
    }
}

// Another program has COM3 open, as till software keeps it: no lock, or the terminal's exclusive
// mode. The window's search (on the fake clock, for its ten seconds in the keyboard line) passes
// the port over, RS232 programming is refused naming the holder, and the reader receives nothing
// from either. As the test's user in this process, with the window's message; as root also as
// another user in a child of that uid, whose holder runs as that user too.
TEST_F(FaultWindow, APortAnotherProgramHasOpenIsNeitherSearchedNorProgrammed) {
    std::vector<uid_t> callers{::getuid()};
    if (::getuid() == 0) {
        callers.push_back(65534);
        std::filesystem::permissions(sandbox.ports(), std::filesystem::perms::all);
        ::chmod(pty.slavePath().c_str(), 0666);
    }
    for (const uid_t caller : callers) {
        for (const bool exclusive : {false, true}) {
            SCOPED_TRACE("caller " + std::to_string(caller) + (exclusive ? ", TIOCEXCL" : ""));
            const pid_t holder = ::fork();
            if (holder == 0) {
                const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0) &&
                    ::setresuid(caller, caller, caller) == 0) {
                    ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
                }
                ::_exit(1);
            }
            const std::string comm = "/proc/" + std::to_string(holder) + "/comm";
            for (int i = 0; i < 500 && bytesOf(comm) != Bytes{'s', 'l', 'e', 'e', 'p', '\n'}; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            // 0 when the search sent the reader nothing and programming named the holder.
            const auto searchThenProgram = [&] {
                FakeClock clock;
                SerialLink link(ports(), clock);
                RecordingPortIo io(clock);
                EngineTransactionRunner engine(clock, link, io);
                DeviceOperations operations(engine);
                SettingsImage searched = image;
                operations.detectReader(searched);
                const bool probed = !pty.receive(1, 50).empty();
                const Failure refused = operations.programViaSerial(image).failure;
                const bool named = refused.kind == FailureKind::InUse &&
                                   refused.holder == "sleep" && refused.holderPid == holder;
                return (probed ? 1 : 0) | (named ? 0 : 2);
            };
            if (caller == ::getuid()) {
                EXPECT_EQ(searchThenProgram(), 0);
                messages.shown.clear();
                command("32781"); // via &RS232, in the window
                ASSERT_EQ(messages.shown.size(), 1U);
                EXPECT_NE(messages.shown[0].detail.find(" is open in sleep (PID " +
                                                        std::to_string(holder) + ")"),
                          std::string::npos)
                    << messages.shown[0].detail;
            } else if (const pid_t child = ::fork(); child == 0) {
                ::_exit(::setresuid(caller, caller, caller) == 0 ? searchThenProgram() : 4);
            } else {
                int status = 0;
                ::waitpid(child, &status, 0);
                EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
            }
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
    }
    EXPECT_TRUE(pty.receive(1, 50).empty());
}

// A reader that sends without pause does not hold the window: the event loop stays prompt, CANCEL
// ends the run at once, and a run left alone fails by itself on the garbage it reads.
TEST_F(FaultWindow, FloodingReaderDoesNotStallTheWindow) {
    struct Case {
        const char* name;
        int cancelAtMs; // 0: no CANCEL
    };
    for (const Case c : {Case{"CANCEL pressed", 700}, Case{"left alone", 0}}) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        pty.discardInput();
        FloodingReader reader(pty.master(), 0x55);
        LatencyProbe probe;
        QElapsedTimer clock;
        qint64 cancelledAt = -1;
        bool windowShown = false;
        clock.start();
        if (c.cancelAtMs > 0) {
            QTimer::singleShot(c.cancelAtMs, window.get(), [&] {
                QDialog* dialog = transferWindow();
                ASSERT_NE(dialog, nullptr);
                windowShown = dialog->isVisible();
                cancelledAt = clock.elapsed();
                QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
            });
        }
        // A window still open after three seconds is closed, so a failing test never hangs.
        QTimer::singleShot(3000, window.get(), [&] {
            if (transferWindowShown()) {
                ADD_FAILURE() << "transfer window still open";
                transferWindow()->reject();
            }
        });
        command("32781"); // via &RS232
        const qint64 endedAt = clock.elapsed();
        reader.stop();

        EXPECT_TRUE(onlyMessage("Programming all value error!", "Error message"));
        EXPECT_FALSE(transferWindowShown());
        EXPECT_GT(reader.sent(), 255U) << "the reader flooded more than one tick can read";
        EXPECT_LT(probe.worstLatenessMs(), 600);
        EXPECT_GT(probe.ticks(), 5);
        if (c.cancelAtMs > 0) {
            EXPECT_TRUE(windowShown);
            EXPECT_LT(endedAt - cancelledAt, 1000);
        } else {
            // Send at the first tick, the echo is wrong at the second.
            EXPECT_LT(endedAt, 1500);
        }
        std::cout << "[ figures  ] flood " << c.name << ": " << reader.sent()
                  << " bytes offered, worst timer lateness " << probe.worstLatenessMs()
                  << " ms over " << probe.ticks() << " ticks, run ended after " << endedAt << " ms";
        if (cancelledAt >= 0) {
            std::cout << " (" << endedAt - cancelledAt << " ms after CANCEL)";
        }
        std::cout << "\n";

        SteadyClock steady;
        SerialLink next(ports(), steady);
        EXPECT_TRUE(next.open(kReaderPort)) << "the run released the port";
    }
}

// A save that fails part-way (a full disk, here a file-size limit) or cannot start (no such
// folder) shows the file error and no success, and the file saved before stays as it was.
TEST_F(FaultWindow, FailedSavesKeepThePreviousFile) {
    files.saves.push_back(path("kept.cfg"));
    command("32778");
    ASSERT_TRUE(onlyMessage("Save settings file ok!"));
    messages.shown.clear();
    const std::vector<std::uint8_t> previous = bytesOf(path("kept.cfg"));
    ASSERT_EQ(previous.size(), SettingsImage::kSize);

    auto* scanDelay = window->findChild<QSpinBox*>("1016");
    ASSERT_NE(scanDelay, nullptr);
    scanDelay->setValue(99);
    {
        FileSizeLimit fullDisk(1000);
        command("32777"); // &Save setting file
        files.saves.push_back(path("kept.cfg"));
        command("32778"); // Save &as .......
    }
    EXPECT_TRUE(onlyFileErrors(2)) << messages.fileErrors;
    EXPECT_EQ(bytesOf(path("kept.cfg")), previous);
    EXPECT_FALSE(temporaryLeftBehind());

    // A file made read-only refuses the save (root may write it anyway, as any program).
    if (::geteuid() != 0) {
        ::chmod(path("kept.cfg").c_str(), 0444);
        files.saves.push_back(path("kept.cfg"));
        command("32778");
        ::chmod(path("kept.cfg").c_str(), 0644);
        EXPECT_EQ(messages.fileErrors, 3);
        EXPECT_EQ(bytesOf(path("kept.cfg")), previous);
        messages.fileErrors = 2;
    }

    files.saves.push_back(path("gone/kept.cfg"));
    command("32778");
    // A name longer than any the system takes.
    files.saves.push_back(path("kept") + std::string(5000, 'x'));
    command("32778");
    EXPECT_TRUE(onlyFileErrors(4)) << messages.fileErrors;
    EXPECT_FALSE(std::filesystem::exists(path("gone")));
    EXPECT_FALSE(temporaryLeftBehind());

    // With room again, the same save goes through and holds the edit.
    files.saves.push_back(path("kept.cfg"));
    command("32778");
    command("32777");
    EXPECT_EQ(messages.shown.size(), 2U);
    const std::vector<std::uint8_t> saved = bytesOf(path("kept.cfg"));
    ASSERT_EQ(saved.size(), SettingsImage::kSize);
    EXPECT_EQ(saved[offsetOf("main.scan_code_delay")], 99);
}

// A settings file reached through a symbolic link is saved into the file the link names; the
// link stays a link.
TEST_F(FaultWindow, SaveThroughALinkWritesTheLinkedFile) {
    std::filesystem::create_directory(path("shared"));
    ASSERT_EQ(writeSettingsFile(image, path("shared/reader.cfg")), 0);
    std::filesystem::create_symlink(path("shared/reader.cfg"), path("mine.cfg"));
    files.loads.push_back(path("mine.cfg"));
    command("32776");
    window->findChild<QSpinBox*>("1016")->setValue(99);
    command("32777");
    EXPECT_EQ(messages.fileErrors, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(path("mine.cfg")));
    const std::vector<std::uint8_t> saved = bytesOf(path("shared/reader.cfg"));
    ASSERT_EQ(saved.size(), SettingsImage::kSize);
    EXPECT_EQ(saved[offsetOf("main.scan_code_delay")], 99);
}

// Files of any length load once the operator says Yes to the question about them: an empty one
// changes nothing, a huge one gives its first 3060 bytes and the rest is never read.
TEST_F(FaultWindow, EmptyAndHugeFilesLoad) {
    const std::vector<std::uint8_t> before = imageBytes();
    writeBytes(path("empty.cfg"), {});
    files.loads.push_back(path("empty.cfg"));
    messages.answersToGive = {0};
    command("32776");
    EXPECT_TRUE(onlyMessage("Load settings file ok!"));
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentPage(), Page::MainSettings);

    // 1 MiB of noise, then 1 MiB that starts with a block of settings.
    constexpr std::size_t kMiB = 1024 * 1024;
    std::vector<std::uint8_t> noise(kMiB);
    std::uint32_t seed = 0x2545F491;
    for (std::uint8_t& byte : noise) {
        seed = seed * 1664525U + 1013904223U;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    writeBytes(path("noise.cfg"), noise);
    SettingsImage block;
    writeFactoryValues(block);
    byteOf(block, "main.operating_mode") = SettingTable::kModeRs232;
    byteOf(block, "main.com_port") = 5;
    byteOf(block, "main.scan_code_delay") = 77;
    std::vector<std::uint8_t> huge(block.raw().begin(), block.raw().end());
    huge.resize(kMiB, 0xEE);
    writeBytes(path("huge.cfg"), huge);

    for (const char* name : {"noise.cfg", "huge.cfg"}) {
        SCOPED_TRACE(name);
        messages.shown.clear();
        window->selectPage(Page::MsrTrack1); // away from the Main Settings page
        files.loads.push_back(path(name));
        messages.answersToGive = {0};
        QElapsedTimer took;
        took.start();
        command("32776");
        const qint64 us = took.nsecsElapsed() / 1000;
        std::cout << "[ figures  ] loading the 1 MiB " << name << " took " << us << " us\n";
        EXPECT_LT(us, 1'000'000);
        EXPECT_TRUE(onlyMessage("Load settings file ok!"));
        EXPECT_EQ(window->currentPage(), Page::MainSettings);
    }
    EXPECT_EQ(imageBytes(), std::vector<std::uint8_t>(block.raw().begin(), block.raw().end()));
    EXPECT_EQ(window->findChild<QSpinBox*>("1016")->value(), 77);
}

// Loading something that is no settings file, a named pipe or a folder, shows the file error at
// once. A pipe that nobody writes would otherwise hold the window for good.
TEST_F(FaultWindow, LoadingAPipeOrAFolderShowsTheFileErrorAtOnce) {
    window->selectPage(Page::MsrTrack1);
    const std::vector<std::uint8_t> before = imageBytes();
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    std::filesystem::create_directory(path("folder.cfg"));

    // If the load blocks on the pipe, a writer that comes and goes after two seconds frees it.
    std::atomic<bool> loaded{false};
    std::jthread rescue([&](std::stop_token stop) {
        for (int i = 0; i < 200 && !loaded && !stop.stop_requested(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!loaded) {
            const int writer = ::open(path("pipe.cfg").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {
                ::close(writer);
            }
        }
    });

    files.loads.push_back(path("pipe.cfg"));
    QElapsedTimer took;
    took.start();
    command("32776");
    loaded = true;
    EXPECT_LT(took.elapsed(), 500);
    EXPECT_EQ(messages.fileErrors, 1);

    files.loads.push_back(path("folder.cfg"));
    command("32776");
    EXPECT_TRUE(onlyFileErrors(2)) << messages.fileErrors;
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentPage(), Page::MsrTrack1);
}
