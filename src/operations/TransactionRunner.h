#pragma once

struct Transfer;

// Runs a prepared transfer to its end and returns the end code (1 for every ending of the
// transaction, 2 for Escape). The window shows a TransferDialog; tests tick a TransferEngine.
class TransactionRunner {
public:
    virtual ~TransactionRunner() = default;
    virtual int run(Transfer& transfer) = 0;
};
