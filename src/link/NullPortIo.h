#pragma once

#include "link/PortIo.h"

// Port I/O that goes nowhere: no byte reaches any port. For machines without a reader in the
// keyboard line, and for demonstrations, it grants access and every step succeeds. Made with
// Denied, it stands for "no access": initialize and every write fail.
class NullPortIo : public PortIo {
public:
    explicit NullPortIo(PortAccess access = PortAccess::Granted) : access_(access) {}

    bool initialize() override;
    void shutdown() override;
    bool installDriver() override;
    bool removeDriver() override;
    bool writePort(std::uint16_t port, std::uint8_t value) override;
    PortAccess requestAccess() override { return access_; }

private:
    PortAccess access_;
};
