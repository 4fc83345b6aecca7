#pragma once

#include "link/SteadyClock.h"
#include "operations/TransactionRunner.h"

#include <cstdint>

#include <QPointer>
#include <QWidget>

// The program's transaction runner: each run gets its own serial link, port-I/O backend (as
// R550_PORT_IO chooses), keyboard-port link and transfer engine, and shows a TransferDialog
// modally over the parent window until the transaction ends.
class DialogTransactionRunner : public TransactionRunner {
public:
    // programStartMs is the program's start on the steady clock, time zero of a port-I/O trace.
    explicit DialogTransactionRunner(std::int64_t programStartMs, QWidget* parent = nullptr);

    // The window the transfer dialog is centred on; it may be created after the runner.
    void setParentWindow(QWidget* parent) { parent_ = parent; }

    EndCode run(Transfer& transfer) override;

private:
    SteadyClock clock_;
    std::int64_t programStartMs_;
    QPointer<QWidget> parent_;
};
