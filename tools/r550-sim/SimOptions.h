#pragma once

#include "CardSwipe.h"
#include "SimReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The simulator's command line:
//   r550-sim --link PATH [--version TEXT] [--log FILE] [--memory FILE] [--preset FILE]
//            [--line-rate BAUD] [--answer-delay MS]
//            [--swipe TEXT | --card TRACKS]
//            [--silent] [--wrong-ack] [--wrong-length] [--stall-after-echo] [--no-probe-answer]
//            [--stop-reading]
struct SimOptions {
    // The card the reader sends on SIGUSR1 unless --swipe gives another: ISO track 2 data with
    // its start and end sentinels, followed by a carriage return.
    static constexpr const char* kDefaultSwipe = ";4000001234567899=25121010000000000000?{13}";
    static constexpr int kMaxLineRate = 4'000'000;
    static constexpr int kMaxAnswerDelayMs = 60'000;
    static constexpr std::size_t kMaxSwipeLength = 4096;

    std::string link;
    std::string version = "V1.00";
    std::string log;
    std::string memory;
    std::string preset;
    int lineRate = 0;      // bit/s of the simulated line; 0: bytes pass at once
    int answerDelayMs = 0; // how long each answer is held before it starts
    std::vector<std::uint8_t> swipe;
    // With --card, a swipe sends these tracks shaped by the settings in memory instead.
    std::optional<CardSwipe> card;
    SimFaults faults;
    bool stopReading = false; // the line is held stopped: nothing the tool writes gets through
    bool help = false;

    SimOptions();

    // Fills the options from argv[1..argc-1]. False with a one-line reason in `error` for an
    // unknown switch, a missing or malformed value, a missing --link or a version text over 254
    // bytes.
    bool parse(int argc, const char* const* argv, std::string& error);

    static const char* usage();
};
