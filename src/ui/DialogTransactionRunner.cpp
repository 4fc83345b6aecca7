#include "ui/DialogTransactionRunner.h"

#include "link/KeyboardPortLink.h"
#include "link/PortIoSelection.h"
#include "link/SerialLink.h"
#include "link/Transfer.h"
#include "link/TransferEngine.h"
#include "ui/TransferDialog.h"

#include <cstdlib>
#include <memory>

DialogTransactionRunner::DialogTransactionRunner(std::int64_t programStartMs, QWidget* parent)
    : programStartMs_(programStartMs), parent_(parent) {}

EndCode DialogTransactionRunner::run(Transfer& transfer) {
    SerialLink serial(clock_);
    // The start-up search never asks the operator for a password.
    const bool mayAsk = transfer.mode != TransferMode::AutoDetect;
    std::unique_ptr<PortIo> io =
        makePortIo(std::getenv("R550_PORT_IO"), mayAsk, clock_, programStartMs_);
    KeyboardPortLink keyboard(*io, clock_);
    TransferEngine engine(clock_, serial, keyboard);
    engine.transfer() = transfer;
    EndCode endCode = EndCode::Running;
    {
        TransferDialog dialog(engine, parent_);
        endCode = static_cast<EndCode>(dialog.exec());
    }
    transfer = engine.transfer();
    return endCode;
}
