#include "SimOptions.h"

#include "settings/CodeText.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// A whole decimal number from 0 to `most`, nothing else.
bool parseNumber(std::string_view text, int most, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed < 0 ||
        parsed > most) {
        return false;
    }
    value = parsed;
    return true;
}

// --line-rate BAUD: from 1 to kMaxLineRate bit/s.
bool takeLineRate(SimOptions& options, std::string_view text, std::string& error) {
    if (!parseNumber(text, SimOptions::kMaxLineRate, options.lineRate) || options.lineRate == 0) {
        error = "--line-rate needs a speed in bit/s from 1 to 4000000";
        return false;
    }
    return true;
}

// --answer-delay MS: from 0 to kMaxAnswerDelayMs.
bool takeAnswerDelay(SimOptions& options, std::string_view text, std::string& error) {
    if (!parseNumber(text, SimOptions::kMaxAnswerDelayMs, options.answerDelayMs)) {
        error = "--answer-delay needs a number of milliseconds from 0 to 60000";
        return false;
    }
    return true;
}

// --swipe TEXT: the bytes themselves, {n} for code n.
bool takeSwipe(SimOptions& options, std::string_view text, std::string& error) {
    std::optional<std::vector<std::uint8_t>> codes = CodeText::parse(text, CodeText::Mode::Lenient);
    if (!codes || codes->empty() || codes->size() > SimOptions::kMaxSwipeLength) {
        error = "--swipe needs 1 to 4096 codes: printable characters, {n} for code n";
        return false;
    }
    options.swipe = std::move(*codes);
    return true;
}

// --card TRACKS: raw track data with sentinels, {n} for code n.
bool takeCard(SimOptions& options, std::string_view text, std::string& error) {
    const std::optional<std::vector<std::uint8_t>> codes =
        CodeText::parse(text, CodeText::Mode::Lenient);
    CardSwipe tracks;
    if (!codes || codes->size() > SimOptions::kMaxSwipeLength || !tracks.setTracks(*codes)) {
        error = "--card needs track data between sentinels, such as "
                "%B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?";
        return false;
    }
    options.card = std::move(tracks);
    return true;
}

// A switch that takes no value: it sets its flag.
struct Flag {
    std::string_view name;
    bool& (*field)(SimOptions&);
};

constexpr Flag kFlags[] = {
    {"--silent", [](SimOptions& o) -> bool& { return o.faults.silent; }},
    {"--wrong-ack", [](SimOptions& o) -> bool& { return o.faults.wrongAck; }},
    {"--wrong-length", [](SimOptions& o) -> bool& { return o.faults.wrongLength; }},
    {"--stall-after-echo", [](SimOptions& o) -> bool& { return o.faults.stallAfterEcho; }},
    {"--no-probe-answer", [](SimOptions& o) -> bool& { return o.faults.noProbeAnswer; }},
    {"--stop-reading", [](SimOptions& o) -> bool& { return o.stopReading; }},
};

// A switch followed by its value: false with the reason for a value it does not take.
struct ValueOption {
    std::string_view name;
    bool (*take)(SimOptions&, std::string_view, std::string&);
};

template <std::string SimOptions::*Field>
bool takeText(SimOptions& options, std::string_view text, std::string&) {
    options.*Field = std::string(text);
    return true;
}

constexpr ValueOption kValueOptions[] = {
    {"--link", takeText<&SimOptions::link>},
    {"--version", takeText<&SimOptions::version>},
    {"--log", takeText<&SimOptions::log>},
    {"--memory", takeText<&SimOptions::memory>},
    {"--preset", takeText<&SimOptions::preset>},
    {"--line-rate", takeLineRate},
    {"--answer-delay", takeAnswerDelay},
    {"--swipe", takeSwipe},
    {"--card", takeCard},
};

template <typename Option, std::size_t N>
const Option* findOption(const Option (&options)[N], std::string_view name) {
    const auto found = std::ranges::find(options, name, &Option::name);
    return found == std::end(options) ? nullptr : found;
}

} // namespace

SimOptions::SimOptions() : swipe(*CodeText::parse(kDefaultSwipe, CodeText::Mode::Lenient)) {}

bool SimOptions::parse(int argc, const char* const* argv, std::string& error) {
    bool swipeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            return true;
        }
        if (const Flag* flag = findOption(kFlags, arg)) {
            flag->field(*this) = true;
            continue;
        }
        const ValueOption* option = findOption(kValueOptions, arg);
        if (option == nullptr) {
            error = "unknown argument " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        if (!option->take(*this, argv[++i], error)) {
            return false;
        }
        swipeGiven = swipeGiven || arg == "--swipe";
    }
    if (swipeGiven && card) {
        error = "--swipe and --card exclude each other";
        return false;
    }
    if (link.empty()) {
        error = "--link PATH is required";
        return false;
    }
    if (version.size() > SimReader::kMaxVersionLength) {
        error = "--version TEXT is longer than 254 bytes";
        return false;
    }
    return true;
}

const char* SimOptions::usage() {
    return "usage: r550-sim --link PATH [--version TEXT] [--log FILE] [--memory FILE]\n"
           "                [--preset FILE] [--line-rate BAUD] [--answer-delay MS]\n"
           "                [--swipe TEXT | --card TRACKS]\n"
           "                [--silent] [--wrong-ack] [--wrong-length] [--stall-after-echo]\n"
           "                [--no-probe-answer] [--stop-reading]\n"
           "Serves a simulated R550 reader on a pseudo-terminal linked at PATH until SIGTERM "
           "or SIGINT.\n"
           "On SIGUSR1 it sends card data, as a reader does when a card is swiped.\n"
           "  --version TEXT      firmware version text (default V1.00, at most 254 bytes)\n"
           "  --log FILE          append each received frame as a line of hex bytes\n"
           "  --memory FILE       keep FILE holding the setting memory (C0 and C1 lines)\n"
           "  --preset FILE       start from the memory in FILE instead of factory values\n"
           "  --line-rate BAUD    take and send bytes at the speed of a real line (10 bits a\n"
           "                      byte: 1.04 ms a byte at 9600); default: at once\n"
           "  --answer-delay MS   hold each answer MS milliseconds before it starts\n"
           "  --swipe TEXT        the card data sent on SIGUSR1, {n} for code n (default\n"
           "                      ;4000001234567899=25121010000000000000?{13})\n"
           "  --card TRACKS       the card's tracks with their sentinels, {n} for code n, such as\n"
           "                      %B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?\n"
           "                      A swipe sends them shaped by the settings in memory, in this\n"
           "                      order: global prefix, then for each track read its prefix,\n"
           "                      start sentinel, data, end sentinel, LRC and suffix, each when\n"
           "                      switched on, then the global suffix; nothing while MSR is off.\n"
           "                      This order is the simulator's assumption, not the reader's\n"
           "                      documented behaviour.\n"
           "  --silent            answer nothing\n"
           "  --wrong-ack         end acknowledgements with 01 AB\n"
           "  --wrong-length      announce and send one data byte more in block replies\n"
           "  --stall-after-echo  send only the first echo byte of each reply\n"
           "  --no-probe-answer   ignore the serial probe 1B 00\n"
           "  --stop-reading      take nothing from the line: it is held stopped, so that the\n"
           "                      tool's writes stall\n";
}
