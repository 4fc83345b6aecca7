#pragma once

#include "link/Transfer.h"

// Runs a prepared transfer to its end and tells how its window ended. The window shows a
// TransferDialog; r550ctl and the tests tick a TransferEngine.
class TransactionRunner {
public:
    virtual ~TransactionRunner() = default;
    virtual EndCode run(Transfer& transfer) = 0;
};
