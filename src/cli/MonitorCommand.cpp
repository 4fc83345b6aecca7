#include "base/InterruptSignals.h"
#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SwipeReport.h"
#include "link/PortName.h"
#include "link/SerialLink.h"
#include "operations/FailureDescription.h"
#include "settings/CodeText.h"
#include "swipe/BurstSplitter.h"
#include "swipe/SwipeDecoder.h"
#include "swipe/SwipeText.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <poll.h>
#include <system_error>

namespace {

using SteadyClock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;

// A burst ends after the line has been quiet this long: about 19 character times at 9600 bit/s,
// far more than a reader leaves between the bytes of one swipe.
constexpr std::chrono::milliseconds kQuietTime{20};

// Local time to the millisecond in ISO 8601, with the offset: 2025-01-31T12:34:56.789+01:00.
std::string timeStamp(WallClock::time_point at) {
    const std::time_t seconds = WallClock::to_time_t(at);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    std::array<char, 32> text{};
    std::array<char, 8> offset{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(offset.data(), offset.size(), "%z", &local);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03d", static_cast<int>(milliseconds));
    const std::string zone(offset.data());
    return std::string(text.data(), length) + fraction.data() + zone.substr(0, 3) + ":" +
           zone.substr(3);
}

int pollTimeout(const std::optional<SteadyClock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// The monitor's loop over one open link: waits for bytes or a signal, never by polling on a
// timer, and prints each burst as it completes.
class Monitor {
public:
    Monitor(CommandContext& context, SerialLink& link, InterruptSignals& signals, std::string label,
            bool hex, bool decode, bool showNumbers)
        : context_(context), link_(link), signals_(signals), label_(std::move(label)), hex_(hex),
          decode_(decode), showNumbers_(showNumbers) {}

    int run();

private:
    // Reads everything that has arrived. False when the device has gone.
    bool readArrived();
    void printBurst(const std::vector<std::uint8_t>& bytes);
    // --decode: the swipe's tracks and fields.
    void printDecoded(const std::string& at, const DecodedSwipe& swipe);
    void printComplete();

    CommandContext& context_;
    SerialLink& link_;
    InterruptSignals& signals_;
    std::string label_;
    bool hex_;
    bool decode_;
    bool showNumbers_; // card numbers whole; otherwise their first six and last four digits

    BurstSplitter splitter_{kQuietTime};
    WallClock::time_point burstStart_{};
};

int Monitor::run() {
    for (;;) {
        std::array<pollfd, 2> fds{
            {{signals_.descriptor(), POLLIN, 0}, {link_.descriptor(), POLLIN, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), pollTimeout(splitter_.deadline()));
        if (ready < 0 && errno != EINTR) {
            context_.error(std::string("poll: ") + std::strerror(errno));
            return ExitCode::kError;
        }
        if ((fds[0].revents & POLLIN) != 0 && signals_.take() != 0) {
            // What came before the interruption is still shown.
            readArrived();
            while (const std::optional<std::vector<std::uint8_t>> burst = splitter_.takeRest()) {
                printBurst(*burst);
            }
            return ExitCode::kInterrupted;
        }
        if (fds[1].revents != 0 && !readArrived()) {
            while (const std::optional<std::vector<std::uint8_t>> burst = splitter_.takeRest()) {
                printBurst(*burst);
            }
            context_.error(label_ + ": " + briefFailure(link_.lastFailure()));
            return ExitCode::kReaderFailed;
        }
        printComplete();
    }
}

bool Monitor::readArrived() {
    std::array<std::uint8_t, 512> buffer{};
    for (;;) {
        const ReadResult read = link_.read(buffer.data(), static_cast<int>(buffer.size()));
        if (read.status != ReadStatus::Data) {
            return !read.gone();
        }
        const int n = read.count;
        // A burst whose quiet time passed before these bytes came (the loop woke late) is
        // finished: it is printed before they start the next one.
        printComplete();
        if (splitter_.empty()) {
            burstStart_ = WallClock::now();
        }
        splitter_.add(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                      SteadyClock::now());
        printComplete();
    }
}

void Monitor::printComplete() {
    while (const std::optional<std::vector<std::uint8_t>> burst =
               splitter_.take(SteadyClock::now())) {
        printBurst(*burst);
    }
}

void Monitor::printBurst(const std::vector<std::uint8_t>& bytes) {
    const std::string at = timeStamp(burstStart_);
    // A card number is shown hidden but for its first six and last four digits, raw bytes too.
    const DecodedSwipe swipe = SwipeDecoder().decode(bytes);
    if (decode_) {
        printDecoded(at, swipe);
        return;
    }
    const std::vector<std::uint8_t> shown = SwipeText::shownBytes(swipe, showNumbers_);
    if (context_.json) {
        nlohmann::ordered_json object;
        object["time"] = at;
        object["port"] = label_;
        object["text"] = CodeText::format(shown);
        object["hex"] = CodeText::hex(shown);
        object["length"] = shown.size();
        object["codes"] = shown;
        context_.printJson(object);
        return;
    }
    std::string line = at + "  " + CodeText::format(shown);
    if (hex_) {
        line += "  [" + CodeText::hex(shown) + "]";
    }
    context_.printLine(line);
}

void Monitor::printDecoded(const std::string& at, const DecodedSwipe& swipe) {
    const bool numbers = showNumbers_;
    if (context_.json) {
        nlohmann::ordered_json object;
        object["time"] = at;
        object["port"] = label_;
        SwipeReport::addJson(object, swipe, numbers);
        context_.printJson(object);
        return;
    }
    const std::vector<std::string> lines = SwipeReport::lines(swipe, numbers);
    std::string first = at + "  " + lines.front();
    if (hex_) {
        first += "  [" + CodeText::hex(SwipeText::shownBytes(swipe, numbers)) + "]";
    }
    context_.printLine(first);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        context_.printLine(lines[i]);
    }
}

// r550ctl monitor --port N|PATH [--hex] [--decode] [--show-numbers]: opens the port as the window
// does and prints what the reader sends when a card is swiped, one line per burst with its time,
// codes outside 32..126 as {13} (with --decode split into its tracks and fields), card numbers
// hidden but for their first six and last four digits unless --show-numbers; until Ctrl+C (exit
// 130, the port released) or until the reader goes away (exit 3).
class MonitorCommand final : public Command {
public:
    void define(CLI::App& subcommand) override {
        subcommand
            .add_option("-p,--port", port_,
                        "The reader's port: a number (3, COM3) or a device path")
            ->type_name("N|PATH")
            ->required();
        subcommand.add_flag("--hex", hex_, "Add each burst's bytes in hex");
        subcommand.add_flag("--decode", decode_,
                            "Split each swipe into its tracks and fields; card numbers show their "
                            "first 6 and last 4 digits");
        subcommand.add_flag("--show-numbers", showNumbers_,
                            "Show card numbers whole (otherwise their first 6 and last 4 digits)");
    }
    int run(CommandContext& context) override;

private:
    std::string port_;
    bool hex_ = false;
    bool decode_ = false;
    bool showNumbers_ = false;
};

int MonitorCommand::run(CommandContext& context) {
    std::vector<PortName> ports;
    if (!context.parsePorts({port_}, ports)) {
        return ExitCode::kUsage;
    }
    const std::optional<PortName> portName = ports.front();
    // Before the port opens, so that Ctrl+C always finds the port released on the way out.
    InterruptSignals signals;
    if (!context.signalsReady(signals)) {
        return ExitCode::kError;
    }
    SerialLink link(context.portMap());
    const bool opened = link.open(*portName);
    const std::optional<std::filesystem::path> device = portName->resolve(context.portMap());
    const std::string deviceName = device ? device->string() : std::string();
    if (!opened) {
        context.error(portName->label() + ": " + briefFailure(link.lastFailure()));
        return ExitCode::kReaderFailed;
    }
    const std::string where = portName->portNumber() != 0
                                  ? portName->label() + " (" + deviceName + ")"
                                  : portName->label();
    context.note("monitoring " + where + "; swipe a card, Ctrl+C to stop");

    Monitor monitor(context, link, signals, portName->label(), hex_, decode_, showNumbers_);
    const int result = monitor.run();
    link.close();
    if (result == ExitCode::kInterrupted) {
        context.note("interrupted; " + portName->label() + " released");
    }
    return result;
}

} // namespace

std::unique_ptr<Command> makeMonitorCommand() {
    return std::make_unique<MonitorCommand>();
}
