#pragma once

#include "HelperChannel.h"

// The helper's channel on two descriptors (its standard input and output, one socket when the
// tool starts it). Answers never raise SIGPIPE, and each waits at most kSendLimitMs for room: the
// output's buffer is made as small as the kernel allows, so a caller that stops reading is
// noticed after an answer or two instead of after thousands.
class FdHelperChannel final : public HelperChannel {
public:
    // The caller waits 1 s for each answer; room for one takes far less unless it stopped reading.
    static constexpr int kSendLimitMs = 2000;

    FdHelperChannel(int in, int out);

    Input receive(std::uint8_t& byte, int timeoutMs) override;
    Output send(const void* data, std::size_t size) override;

private:
    int in_;
    int out_;
};
