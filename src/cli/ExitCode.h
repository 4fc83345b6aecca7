#pragma once

// The exit status of r550ctl, which scripts rely on: 0 only when everything succeeded.
struct ExitCode {
    static constexpr int kSuccess = 0;
    // A device command failed, or a comparison found a difference.
    static constexpr int kFailed = 1;
    // A reader failed or could not be reached (apply; the other commands say kFailed).
    static constexpr int kReaderFailed = 3;
    // The command line or a file could not be used.
    static constexpr int kUsage = 2;
    // Ctrl+C (or SIGTERM, SIGHUP) ended the command; every port was released first.
    static constexpr int kInterrupted = 130;
};
