#pragma once

#include "link/PortIo.h"

// Port I/O that goes nowhere: every step succeeds and no byte reaches any port. For machines
// without a reader in the keyboard line, and for demonstrations.
class NullPortIo : public PortIo {
public:
    bool initialize() override;
    void shutdown() override;
    bool installDriver() override;
    bool removeDriver() override;
    bool writePort(std::uint16_t port, std::uint8_t value) override;
};
