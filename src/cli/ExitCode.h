#pragma once

// The exit status of r550ctl, the same for every command; scripts rely on it.
struct ExitCode {
    static constexpr int kSuccess = 0;
    // Settings differ (diff, verify, program --verify); also a failed write to standard output,
    // and a fault of the program itself.
    static constexpr int kDiffers = 1;
    static constexpr int kError = 1;
    // The command line or an input could not be used; nothing was done.
    static constexpr int kUsage = 2;
    // A reader failed, could not be reached, or none answered. Wins over kDiffers.
    static constexpr int kReaderFailed = 3;
    // Ctrl+C (or SIGTERM, SIGHUP) ended the command; every port was released first.
    static constexpr int kInterrupted = 130;
};
