#pragma once

#include "HelperChannel.h"

// The helper's channel on two descriptors (its standard input and output).
class FdHelperChannel final : public HelperChannel {
public:
    FdHelperChannel(int in, int out) : in_(in), out_(out) {}

    Input receive(std::uint8_t& byte, int timeoutMs) override;
    bool send(const void* data, std::size_t size) override;

private:
    int in_;
    int out_;
};
