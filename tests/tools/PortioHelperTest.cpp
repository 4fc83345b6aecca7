#include "PortioHelper.h"

#include "HelperChannel.h"
#include "support/FakeClock.h"
#include "support/RecordingPortIo.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

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
    bool send(const void* data, std::size_t size) override {
        sent.append(static_cast<const char*>(data), size);
        return true;
    }

    std::string sent;

private:
    FakeClock& clock_;
    std::deque<Entry> script_;
};

struct PortioHelperTest : ::testing::Test {
    int run(std::vector<ScriptedChannel::Entry> script) {
        ScriptedChannel channel(clock, std::move(script));
        const int code = PortioHelper(io, clock, channel).run();
        sent = channel.sent;
        return code;
    }

    FakeClock clock;
    const std::int64_t start = clock.nowMilliseconds();
    RecordingPortIo io{clock};
    std::string sent;
};

} // namespace

TEST_F(PortioHelperTest, WritesEveryByteToPort0x60OnlyAndAnswersEach) {
    std::vector<ScriptedChannel::Entry> script;
    std::string answers;
    for (int value = 0; value < 256; ++value) {
        script.push_back({100, value});
        answers.push_back(static_cast<char>(value));
    }
    script.push_back({0, -1});

    EXPECT_EQ(run(script), PortioHelper::kDone);
    ASSERT_EQ(io.writes.size(), 256U);
    for (std::size_t i = 0; i < io.writes.size(); ++i) {
        EXPECT_EQ(io.writes[i].port, 0x60) << i;
        EXPECT_EQ(io.writes[i].value, static_cast<std::uint8_t>(i)) << i;
    }
    EXPECT_EQ(sent, "ready\n" + answers);
    EXPECT_EQ(io.calls.front(), "initialize");
    EXPECT_EQ(io.calls.back(), "shutdown");
}

TEST_F(PortioHelperTest, HoldsNinetyMillisecondsBetweenWritesAndDropsNothing) {
    // Three bytes at once, then one 95 ms after the last was written, then one 30 ms later.
    EXPECT_EQ(run({{0, 1}, {0, 2}, {0, 3}, {95, 4}, {30, 5}, {0, -1}}), PortioHelper::kDone);
    EXPECT_EQ(io.values(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    std::vector<std::int64_t> times;
    for (const auto& write : io.writes) {
        times.push_back(write.atMs - start);
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 90, 180, 275, 365}));
    EXPECT_EQ(sent, std::string("ready\n\x01\x02\x03\x04\x05"));
}

TEST_F(PortioHelperTest, EndsAtEndOfInputAndAfterTenSecondsOfSilence) {
    EXPECT_EQ(run({{0, 0x1B}, {5, -1}, {0, 0x05}}), PortioHelper::kDone);
    EXPECT_EQ(io.values(), std::vector<std::uint8_t>{0x1B});

    const std::int64_t before = clock.nowMilliseconds();
    EXPECT_EQ(run({{9'999, 0x1D}, {10'000, 0x05}}), PortioHelper::kDone);
    EXPECT_EQ(io.values(), (std::vector<std::uint8_t>{0x1B, 0x1D}));
    EXPECT_EQ(clock.nowMilliseconds() - before, 19'999);
    EXPECT_EQ(io.calls.back(), "shutdown");
}

TEST_F(PortioHelperTest, RefusesWithoutPortAccess) {
    RecordingPortIo denied(clock, false);
    ScriptedChannel channel(clock, {{0, 0x1B}, {0, -1}});
    EXPECT_EQ(PortioHelper(denied, clock, channel).run(), PortioHelper::kNoAccess);
    EXPECT_TRUE(denied.writes.empty());
    EXPECT_EQ(channel.sent, ""); // never says ready
}
