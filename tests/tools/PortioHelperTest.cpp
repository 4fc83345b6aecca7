#include "PortioHelper.h"

#include "FdHelperChannel.h"
#include "HelperChannel.h"
#include "base/UniqueFd.h"
#include "link/KeyboardPortLink.h"
#include "link/Subprocess.h"
#include "operations/DeviceTransaction.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/FakeClock.h"
#include "support/RecordingPortIo.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The caller, played from a script: each byte (-1: the end of input) arrives gapMs after the
// helper starts waiting for it. Waiting moves the fake clock; answers are recorded.
class ScriptedChannel : public HelperChannel {
public:
    struct Entry {
        int gapMs;
        int byte;
    };

    ScriptedChannel(FakeClock& clock, std::vector<Entry> script)
        : clock_(clock), script_(script.begin(), script.end()) {}

    Input receive(std::uint8_t& byte, int timeoutMs) override {
        if (script_.empty() || script_.front().gapMs >= timeoutMs) {
            clock_.advance(timeoutMs);
            return Input::Silence;
        }
        const Entry next = script_.front();
        script_.pop_front();
        clock_.advance(next.gapMs);
        byte = static_cast<std::uint8_t>(next.byte);
        return next.byte < 0 ? Input::End : Input::Byte;
    }
    Output send(const void* data, std::size_t size) override {
        sent.append(static_cast<const char*>(data), size);
        return Output::Sent;
    }

    std::string sent;

private:
    FakeClock& clock_;
    std::deque<Entry> script_;
};

// Reads at most n bytes within timeoutMs; fewer when the line ends or stays quiet.
std::string readFor(int fd, std::size_t n, int timeoutMs = 3000) {
    std::string got;
    pollfd entry{fd, POLLIN, 0};
    for (char c = 0;
         got.size() < n && ::poll(&entry, 1, timeoutMs) > 0 && ::read(fd, &c, 1) == 1;) {
        got.push_back(c);
    }
    return got;
}

// The helper in this process on one end of a real socket pair (or reading `in`), with the
// recording port and a fake clock (its floor costs no time); the test is the caller.
struct HelperOnSocket {
    explicit HelperOnSocket(int in = -1) {
        int ends[2] = {-1, -1};
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        caller.reset(ends[0]);
        helperEnd.reset(ends[1]);
        thread = std::thread([this, in] {
            FdHelperChannel channel(in >= 0 ? in : helperEnd.get(), helperEnd.get());
            code = PortioHelper(io, clock, channel).run();
            helperEnd.reset(); // as the program's end would
        });
        ready = readFor(caller.get(), 6);
    }
    ~HelperOnSocket() { finish(); }
    // Sends each byte and reads its answer, as the tool does; stops when an answer is missing.
    std::string exchange(const Bytes& bytes) {
        std::string answers;
        for (std::size_t i = 0; i < bytes.size() && answers.size() == i; ++i) {
            ::send(caller.get(), &bytes[i], 1, MSG_NOSIGNAL);
            answers += readFor(caller.get(), 1);
        }
        return answers;
    }
    int finish() {
        caller.reset();
        if (thread.joinable()) {
            thread.join();
        }
        return code;
    }

    FakeClock clock;
    RecordingPortIo io{clock};
    UniqueFd caller;
    UniqueFd helperEnd;
    std::thread thread;
    std::string ready;
    int code = -1;
};

// Every port byte sequence the tool sends, recorded from the keyboard link itself: the probe, the
// reset frame, and the programming batch of the factory values and of a block of 0xFF only
// (every value escaped that can be: the largest batch there is).
std::vector<Bytes> toolSequences() {
    SettingsImage factory;
    writeFactoryValues(factory);
    SettingsImage worst;
    worst.raw().fill(0xFF);
    FakeClock clock;
    RecordingPortIo io(clock);
    KeyboardPortLink link(io, clock);
    std::vector<Bytes> sequences;
    const auto take = [&] {
        sequences.push_back(io.values());
        io.writes.clear();
    };
    link.sendProbe();
    take();
    link.sendFrame(DeviceTransaction::resetReaderInKeyboardLine().transfer().batch);
    take();
    for (const SettingsImage* image : {&factory, &worst}) {
        link.sendBatch(DeviceTransaction::programViaKeyboard(*image).transfer().batch, {});
        take();
    }
    return sequences;
}

} // namespace

TEST(PortioHelperTest, RefusesBytesAboveE0AndPassesEveryByteOfTheToolsSequences) {
    std::size_t largest = 0;
    for (const Bytes& sequence : toolSequences()) {
        largest = std::max(largest, sequence.size());
        HelperOnSocket helper;
        ASSERT_EQ(helper.ready, "ready\n");
        EXPECT_EQ(helper.exchange(sequence), std::string(sequence.begin(), sequence.end()));
        // Commands to the keyboard itself: answered with the refusal, never written.
        EXPECT_EQ(helper.exchange({0xE1, 0xED, 0xF0, 0xF5, 0xFE, 0xFF}),
                  std::string(6, static_cast<char>(PortioHelper::kRefusedAnswer)));
        EXPECT_EQ(helper.finish(), PortioHelper::kDone);
        EXPECT_EQ(helper.io.values(), sequence);
    }
    // The budget holds the largest batch at the tool's 100 ms pace, and not much more.
    EXPECT_GT(largest, 165U);
    EXPECT_LE(largest + 8, static_cast<std::size_t>(PortioHelper::kByteBudget));
    EXPECT_LE(static_cast<std::int64_t>(PortioHelper::kByteBudget) * 100,
              PortioHelper::kTimeBudgetMs);
    EXPECT_LT(static_cast<std::size_t>(PortioHelper::kByteBudget), 2 * largest);
}

TEST(PortioHelperTest, BudgetEndsARunThatNeverStops) {
    // A caller that sends for ever, at once: the byte budget.
    HelperOnSocket helper;
    EXPECT_EQ(helper.exchange(Bytes(1000, 0x1B)).size(), std::size_t{PortioHelper::kByteBudget});
    EXPECT_EQ(helper.finish(), PortioHelper::kBudgetSpent);

    // One byte every 9.9 s, never silent long enough to end: the time budget.
    FakeClock clock;
    RecordingPortIo io(clock);
    ScriptedChannel channel(clock, std::vector<ScriptedChannel::Entry>(100, {9'900, 0x1B}));
    const std::int64_t start = clock.nowMilliseconds();
    EXPECT_EQ(PortioHelper(io, clock, channel).run(), PortioHelper::kBudgetSpent);
    EXPECT_EQ(clock.nowMilliseconds() - start, PortioHelper::kTimeBudgetMs);
    EXPECT_EQ(io.writes.size(), 6U);
}

TEST(PortioHelperTest, ABrokenCallerEndsTheHelperWithItsCode) {
    {
        // Gone: the caller sends a byte and closes before its answer.
        HelperOnSocket helper;
        ::send(helper.caller.get(), "\x1b", 1, MSG_NOSIGNAL);
        EXPECT_EQ(helper.finish(), PortioHelper::kCallerGone);
        EXPECT_EQ(helper.io.values(), Bytes{0x1B});
    }
    {
        // Stalled: the caller goes on sending but reads no answer.
        HelperOnSocket helper;
        ::send(helper.caller.get(), std::string(40, '\x1b').data(), 40, MSG_NOSIGNAL);
        helper.thread.join();
        EXPECT_EQ(helper.code, PortioHelper::kCallerStalled);
        EXPECT_LT(helper.io.writes.size(), 40U);
    }
    // A line that cannot be read (a folder where the caller should be).
    const UniqueFd folder(::open("/", O_RDONLY | O_DIRECTORY));
    HelperOnSocket unreadable(folder.get());
    EXPECT_EQ(unreadable.finish(), PortioHelper::kReadFailed);
    EXPECT_TRUE(unreadable.io.writes.empty());
}

TEST(PortioHelperTest, RefusesWithoutPortAccess) {
    FakeClock clock;
    RecordingPortIo denied(clock, false);
    ScriptedChannel channel(clock, {{0, 0x1B}, {0, -1}});
    EXPECT_EQ(PortioHelper(denied, clock, channel).run(), PortioHelper::kNoAccess);
    EXPECT_TRUE(denied.writes.empty());
    EXPECT_EQ(channel.sent, ""); // never says ready
}

// Why the kernel refused the port, in the system's words and with the cause named.
TEST(PortioHelperTest, ARefusedPortIsToldWithItsCause) {
    const struct {
        int error;
        bool root;
        const char* lockdown;
        const char* said;
    } cases[] = {
        {ENOSYS, true, "", "this kernel has no port I/O"},
        {EPERM, true, "none [integrity] confidentiality", "locked down (Secure Boot)"},
        {EPERM, false, "[none] integrity confidentiality", "it needs root"},
        {EPERM, true, "[none] integrity confidentiality", "the kernel refused it"},
    };
    for (const auto& c : cases) {
        const std::string reason = PortioHelper::noAccessReason(c.error, c.root, c.lockdown);
        EXPECT_NE(reason.find(c.said), std::string::npos) << reason;
        EXPECT_NE(reason.find(std::strerror(c.error)), std::string::npos) << reason;
    }
}

TEST(PortioHelperTest, HoldsNinetyMillisecondsBetweenWritesAndEndsAfterTenSecondsOfSilence) {
    // Three bytes at once, then one 95 ms after the last was written, then one 30 ms later.
    FakeClock clock;
    const std::int64_t start = clock.nowMilliseconds();
    RecordingPortIo io(clock);
    ScriptedChannel channel(clock, {{0, 1}, {0, 2}, {0, 3}, {95, 4}, {30, 5}, {10'000, 6}});
    EXPECT_EQ(PortioHelper(io, clock, channel).run(), PortioHelper::kDone);
    EXPECT_EQ(io.values(), (Bytes{1, 2, 3, 4, 5}));
    std::vector<std::int64_t> times;
    for (const auto& write : io.writes) {
        times.push_back(write.atMs - start);
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 90, 180, 275, 365}));
    EXPECT_EQ(clock.nowMilliseconds() - start, 10'365);
    EXPECT_EQ(channel.sent, std::string("ready\n\x01\x02\x03\x04\x05"));
    EXPECT_EQ(io.calls.back(), "shutdown");
}

namespace {

// The test build of the program, on a socket, with its trace and lock in the test's folder.
struct RecordingHelper {
    RecordingHelper(const TempFolder& folder, const std::string& name)
        : trace((folder.path() / name).string()) {
        int ends[2] = {-1, -1};
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        caller.reset(ends[0]);
        const UniqueFd childEnd(ends[1]);
        process.start({R550_PORTIO_RECORDING, trace, (folder.path() / "lock").string()},
                      childEnd.get(), true);
    }
    static std::string text(const std::string& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string trace;
    UniqueFd caller;
    Subprocess process;
};

} // namespace

TEST(PortioHelperProgramTest, OneAtATimeAndNothingButThePortOnceReady) {
    TempFolder folder;
    RecordingHelper first(folder, "first.trace");
    ASSERT_EQ(readFor(first.caller.get(), 6), "ready\n");
    const std::string status =
        RecordingHelper::text("/proc/" + std::to_string(first.process.pid()) + "/status");
    std::vector<std::string> expected = {"CapInh:\t0000000000000000",
                                         "CapPrm:\t0000000000000000",
                                         "CapEff:\t0000000000000000",
                                         "CapAmb:\t0000000000000000",
                                         "NoNewPrivs:\t1",
                                         "Seccomp:\t2"};
    if (::geteuid() == 0) { // a helper started by root becomes nobody, in no group
        expected.insert(expected.end(), {"Uid:\t65534\t65534\t65534\t65534", "Groups:\t ",
                                         "CapBnd:\t0000000000000000"});
    }
    for (const std::string& line : expected) {
        EXPECT_NE(status.find("\n" + line + "\n"), std::string::npos) << line << "\n" << status;
    }

    RecordingHelper second(folder, "second.trace");
    EXPECT_EQ(second.process.waitFor(5000), PortioHelper::kBusy);
    EXPECT_EQ(readFor(second.caller.get(), 6, 100), "");
    EXPECT_EQ(RecordingHelper::text(second.trace), "");

    first.caller.reset();
    EXPECT_EQ(first.process.waitFor(5000), PortioHelper::kDone);
}
