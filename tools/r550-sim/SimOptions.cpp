#include "SimOptions.h"

#include "settings/CodeText.h"

#include <charconv>
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

// --card TRACKS: raw track data with sentinels, {n} for code n.
bool parseCard(std::string_view text, std::optional<CardSwipe>& card, std::string& error) {
    const std::optional<std::vector<std::uint8_t>> codes =
        CodeText::parse(text, CodeText::Mode::Lenient);
    CardSwipe tracks;
    if (!codes || codes->size() > SimOptions::kMaxSwipeLength || !tracks.setTracks(*codes)) {
        error = "--card needs track data between sentinels, such as "
                "%B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?";
        return false;
    }
    card = std::move(tracks);
    return true;
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

        bool* fault = nullptr;
        if (arg == "--silent") {
            fault = &faults.silent;
        } else if (arg == "--wrong-ack") {
            fault = &faults.wrongAck;
        } else if (arg == "--wrong-length") {
            fault = &faults.wrongLength;
        } else if (arg == "--stall-after-echo") {
            fault = &faults.stallAfterEcho;
        } else if (arg == "--no-probe-answer") {
            fault = &faults.noProbeAnswer;
        } else if (arg == "--stop-reading") {
            fault = &stopReading;
        }
        if (fault != nullptr) {
            *fault = true;
            continue;
        }

        if (arg == "--line-rate" || arg == "--answer-delay" || arg == "--swipe" ||
            arg == "--card") {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            const std::string_view text = argv[++i];
            if (arg == "--line-rate" &&
                (!parseNumber(text, kMaxLineRate, lineRate) || lineRate == 0)) {
                error = "--line-rate needs a speed in bit/s from 1 to 4000000";
                return false;
            }
            if (arg == "--answer-delay" && !parseNumber(text, kMaxAnswerDelayMs, answerDelayMs)) {
                error = "--answer-delay needs a number of milliseconds from 0 to 60000";
                return false;
            }
            if (arg == "--swipe") {
                std::optional<std::vector<std::uint8_t>> codes =
                    CodeText::parse(text, CodeText::Mode::Lenient);
                if (!codes || codes->empty() || codes->size() > kMaxSwipeLength) {
                    error = "--swipe needs 1 to 4096 codes: printable characters, {n} for code n";
                    return false;
                }
                swipe = std::move(*codes);
                swipeGiven = true;
            }
            if (arg == "--card" && !parseCard(text, card, error)) {
                return false;
            }
            continue;
        }

        std::string* value = nullptr;
        if (arg == "--link") {
            value = &link;
        } else if (arg == "--version") {
            value = &version;
        } else if (arg == "--log") {
            value = &log;
        } else if (arg == "--memory") {
            value = &memory;
        } else if (arg == "--preset") {
            value = &preset;
        } else {
            error = "unknown argument " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        *value = argv[++i];
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
