#include "base/InterruptSignals.h"
#include "base/TimeText.h"
#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SwipeReport.h"
#include "link/PortName.h"
#include "operations/FailureDescription.h"
#include "operations/ReaderLoop.h"
#include "settings/CodeText.h"
#include "settings/FactoryDefaults.h"
#include "swipe/LayoutReadBack.h"
#include "swipe/SwipeDecoder.h"
#include "swipe/SwipeListener.h"
#include "swipe/SwipeMonitor.h"
#include "swipe/SwipeText.h"

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

namespace {

using WallClock = std::chrono::system_clock;

// A burst ends after the line has been quiet this long: about 19 character times at 9600 bit/s,
// far more than a reader leaves between the bytes of one swipe.
constexpr std::chrono::milliseconds kQuietTime{20};
// The reader's line rate, as the window's device commands use it.
constexpr int kLineRate = 9600;

// A burst as it is shown: when it began, the port, its bytes (card numbers hidden unless asked),
// and whether its line of text ends with them in hex (--hex).
struct Burst {
    std::string at;
    std::string port;
    std::vector<std::uint8_t> shown;
    bool withHex;
};

// A burst's line of text is its time, its text and, with --hex, its bytes in hex between
// brackets; its JSON object has every field.
const RecordField<Burst> kBurstFields[] = {
    {"time", "TIME", FieldType::Text, [](const Burst& b) { return FieldValue(b.at); }},
    {"port", "", FieldType::Text, [](const Burst& b) { return FieldValue(b.port); }},
    {"text", "TEXT", FieldType::Text,
     [](const Burst& b) { return FieldValue(SwipeText::format(b.shown)); }},
    {"hex", "HEX", FieldType::Text,
     [](const Burst& b) { return FieldValue(CodeText::hex(b.shown)); },
     [](const Burst& b) { return b.withHex ? "[" + CodeText::hex(b.shown) + "]" : std::string(); }},
    {"length", "", FieldType::Number, [](const Burst& b) { return FieldValue(b.shown.size()); }},
    {"codes", "", FieldType::List, [](const Burst& b) { return FieldValue::numbers(b.shown); }},
};

// Prints each burst a SwipeMonitor hears: its time and its codes, or with --decode its tracks
// and fields.
class Monitor {
public:
    Monitor(CommandContext& context, std::string label, bool hex, bool decode, bool showNumbers,
            SwipeLayout layout)
        : context_(context), label_(std::move(label)), hex_(hex), decode_(decode),
          showNumbers_(showNumbers), decoder_(std::move(layout)) {}

    void printBurst(const std::vector<std::uint8_t>& bytes, WallClock::time_point began);

private:
    // --decode: the swipe's tracks and fields.
    void printDecoded(const std::string& at, const DecodedSwipe& swipe);

    CommandContext& context_;
    std::string label_;
    bool hex_;
    bool decode_;
    bool showNumbers_; // card numbers whole; otherwise their first six and last four digits
    SwipeDecoder decoder_;
};

void Monitor::printBurst(const std::vector<std::uint8_t>& bytes, WallClock::time_point began) {
    const std::string at = isoLocalTime(began);
    // A card number is shown hidden but for its first six and last four digits, raw bytes too.
    const DecodedSwipe swipe = decoder_.decode(bytes);
    if (decode_) {
        printDecoded(at, swipe);
        return;
    }
    const RecordTable<Burst> table(kBurstFields);
    const Burst burst{at, label_, SwipeText::shownBytes(swipe, showNumbers_), hex_};
    if (context_.json) {
        context_.printJson(table.record(burst));
    } else {
        context_.printLine(table.line(burst));
    }
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
    const std::vector<std::string> lines = SwipeText::lines(swipe, numbers);
    std::string first = at + "  " + lines.front();
    if (hex_) {
        first += "  [" + CodeText::hex(SwipeText::shownBytes(swipe, numbers)) + "]";
    }
    context_.printLine(first);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        context_.printLine(lines[i]);
    }
}

// --decode: the reader's main settings are read back before it is listened to, paced by the reader,
// so that its prefixes and suffixes are marked from what it holds. False when Ctrl+C came.
bool readLayout(CommandContext& context, const PortName& port, InterruptSignals& signals,
                SwipeLayout& layout) {
    SettingsImage base;
    writeFactoryValues(base);
    LayoutReadBack readBack(context.portMap(), port, base);
    readBack.start();
    ReaderLoop loop(readBack.clock(), signals);
    const ReaderLoop::Ending ending = loop.run({&readBack.session()});
    if (ending == ReaderLoop::Ending::Interrupted) {
        return false;
    }
    if (readBack.succeeded()) {
        layout = readBack.layout();
        context.note("prefixes and suffixes marked from the reader (its settings read back in " +
                     std::to_string(readBack.elapsedMs()) + " ms)");
    } else {
        const std::string why = ending == ReaderLoop::Ending::Failed
                                    ? loop.error()
                                    : briefFailure(readBack.outcome().failure);
        context.note("prefixes and suffixes not marked: the reader's settings could not be read "
                     "back (" +
                     why + ")");
    }
    return true;
}

// r550ctl monitor --port N|PATH [--hex] [--decode] [--show-numbers]: opens the port as the window
// does (with --decode after reading the reader's settings back) and prints what the reader sends
// when a card is swiped, one line per burst with its time, codes outside 32..126 as {13} (with
// --decode split into its tracks and fields), card numbers hidden but for their first six and last
// four digits unless --show-numbers; until Ctrl+C (exit 130, the port released) or until the reader
// goes away (exit 3).
class MonitorCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"-p,--port", "The reader's port: a number (3, COM3) or a device path", &port_,
                 "N|PATH", true},
                {"--hex", "Add each burst's bytes in hex", &hex_},
                {"--decode",
                 "Read the reader's settings back, then split each swipe into its tracks and "
                 "fields with its prefixes and suffixes marked; card numbers show their first 6 "
                 "and last 4 digits",
                 &decode_},
                {"--show-numbers",
                 "Show card numbers whole (otherwise their first 6 and last 4 digits)",
                 &showNumbers_}};
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
    SwipeLayout layout;
    if (decode_ && !readLayout(context, *portName, signals, layout)) {
        context.note("interrupted; " + portName->label() + " released");
        return ExitCode::kInterrupted;
    }
    SwipeListener listener(context.portMap());
    const bool opened = listener.open(*portName, kLineRate);
    const std::optional<std::filesystem::path> device = portName->resolve(context.portMap());
    const std::string deviceName = device ? device->string() : std::string();
    if (!opened) {
        context.error(portName->label() + ": " + briefFailure(listener.lastFailure()));
        return ExitCode::kReaderFailed;
    }
    const std::string where = portName->portNumber() != 0
                                  ? portName->label() + " (" + deviceName + ")"
                                  : portName->label();
    context.note("monitoring " + where + "; swipe a card, Ctrl+C to stop");

    Monitor monitor(context, portName->label(), hex_, decode_, showNumbers_, std::move(layout));
    SwipeMonitor hearing(listener, signals, kQuietTime);
    const SwipeMonitor::Ending ending =
        hearing.run([&monitor](const std::vector<std::uint8_t>& burst,
                               WallClock::time_point began) { monitor.printBurst(burst, began); });
    listener.close();
    switch (ending) {
    case SwipeMonitor::Ending::Interrupted:
        context.note("interrupted; " + portName->label() + " released");
        return ExitCode::kInterrupted;
    case SwipeMonitor::Ending::Gone:
        context.error(portName->label() + ": " + briefFailure(listener.lastFailure()));
        return ExitCode::kReaderFailed;
    case SwipeMonitor::Ending::Failed:
        break;
    }
    context.error(hearing.error());
    return ExitCode::kError;
}

} // namespace

std::unique_ptr<Command> makeMonitorCommand() {
    return std::make_unique<MonitorCommand>();
}
