#pragma once

#include "link/Transfer.h"
#include "operations/TransactionRunner.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// Stands in for the transfer window: keeps a copy of each transfer as it was handed over, then
// leaves the scripted outcome in it (end code, result, failure, port, reply bytes per slot).
class ScriptedRunner : public TransactionRunner {
public:
    EndCode run(Transfer& transfer) override {
        received.push_back(transfer);
        if (onRun) {
            onRun(transfer);
        }
        transfer.batch.result = result;
        transfer.failure = failure;
        if (port) {
            transfer.port = *port;
        }
        for (const auto& [slot, bytes] : replies) {
            auto& reply = transfer.batch.replies.at(static_cast<std::size_t>(slot));
            reply.fill(0);
            for (std::size_t i = 0; i < bytes.size() && i < reply.size(); ++i) {
                reply[i] = bytes[i];
            }
        }
        return endCode;
    }

    // The transfer of the only run; fails the test's expectations by size when there was none.
    const Transfer& last() const { return received.back(); }

    EndCode endCode = EndCode::Ended;
    TransferResult result = TransferResult::Success;
    Failure failure;
    std::optional<std::int32_t> port;
    std::map<int, std::vector<std::uint8_t>> replies;
    std::function<void(const Transfer&)> onRun;
    std::vector<Transfer> received;
};
