#pragma once

#include "base/UniqueFd.h"
#include "link/PortIo.h"
#include "link/Subprocess.h"

#include <cstdint>
#include <optional>
#include <string>

// Port I/O through r550-portio, the small helper that alone holds the keyboard controller's
// data port. The first requestAccess starts "pkexec <helper>", which asks the operator to
// authenticate; until the helper says it is ready, requestAccess answers Pending at once, so the
// window keeps running. Each write then hands the helper one byte and waits for the helper to
// answer it (the helper writes at most one byte per 90 ms, below the link's own 100 ms pace).
//
// pkexec's own codes before the helper is ready: 126 (the operator dismissed the dialog) and
// 127 (not authorized, or no way to ask) are a refusal; the helper's own kHelperBusy says another
// helper holds the port; any other end before ready, or no pkexec at all, means no access: among
// them the helper's 2 (the kernel gave it no port access; it says why on its standard error:
// not root, lockdown, no port I/O in the kernel), 9 (it could not confine itself) and
// kHelperRefusedArguments (it was given arguments, which this backend never passes). A helper
// that ends after it was ready is lost.
class HelperPortIo final : public PortIo {
public:
    static constexpr std::uint16_t kKeyboardDataPort = 0x60;
    // Longest wait for the helper's answer to one byte: its 90 ms floor and a wide margin.
    static constexpr int kAnswerLimitMs = 1000;
    // r550-portio's exit code when another helper holds the port.
    static constexpr int kHelperBusy = 5;
    // r550-portio's exit code when it was started with arguments.
    static constexpr int kHelperRefusedArguments = 10;
    // The helper refuses bytes above this (commands to the keyboard itself); so does this backend.
    static constexpr std::uint8_t kHighestByte = 0xE0;

    // pkexec is the program that runs the helper as root, by absolute path (never looked up).
    HelperPortIo(std::string helperPath, std::string pkexec);
    ~HelperPortIo() override;
    HelperPortIo(const HelperPortIo&) = delete;
    HelperPortIo& operator=(const HelperPortIo&) = delete;

    // True while the helper holds the port; starts nothing.
    bool initialize() override;
    // Nothing: the helper ends when this backend goes, or on its own after 10 s without a byte.
    void shutdown() override;
    bool installDriver() override;
    bool removeDriver() override;
    // False when the helper did not answer the byte (it is gone), for any port but 0x60, and for
    // a value above 0xE0, which is not sent.
    bool writePort(std::uint16_t port, std::uint8_t value) override;
    PortAccess requestAccess() override;

private:
    void startHelper();
    void readReadyLine();
    void endBeforeReady(std::optional<int> exitCode);
    void lose();

    std::string helperPath_;
    std::string pkexec_;
    UniqueFd channel_; // our end of the socket that is the helper's standard input and output
    Subprocess child_;
    std::string greeting_;
    bool started_ = false;
    PortAccess access_ = PortAccess::Pending;
};
