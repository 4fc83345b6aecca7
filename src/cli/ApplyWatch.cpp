#include "cli/ApplyWatch.h"

#include "base/InterruptSignals.h"
#include "cli/CommandContext.h"
#include "cli/ExitCode.h"
#include "cli/Reader.h"
#include "link/NullPortIo.h"
#include "link/PortWatcher.h"
#include "link/SteadyClock.h"
#include "operations/FailureDescription.h"
#include "operations/ReaderLoop.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

ApplyWatch::ApplyWatch(CommandContext& context, std::function<void(Reader&)> beginReader,
                       std::vector<std::string> ownKeys, Pace pace, TransferPacer::Limits limits)
    : context_(context), beginReader_(std::move(beginReader)), ownKeys_(std::move(ownKeys)),
      pace_(pace), limits_(limits) {}

std::string ApplyWatch::watchedText() const {
    std::string text;
    for (const PortName& port : ports_) {
        text += (text.empty() ? "" : ", ") + port.label();
    }
    if (folder_) {
        text +=
            (text.empty() ? "" : " and ") + std::string("new adapters under ") + folder_->string();
    }
    return text;
}

int ApplyWatch::run() {
    InterruptSignals signals;
    PortWatcher watcher(context_.portMap());
    std::string error;
    if (!signals.valid() || !watcher.start(error)) {
        context_.error(error.empty() ? std::string("cannot take Ctrl+C: ") + std::strerror(errno)
                                     : error);
        return ExitCode::kReaderFailed;
    }
    for (const PortName& port : ports_) {
        watcher.addPort(port);
    }
    if (folder_) {
        watcher.addFolder(*folder_);
    }
    context_.note("watching " + watchedText() + "; Ctrl+C ends");
    for (;;) {
        const std::optional<std::vector<PortName>> appeared = watcher.next(signals, error);
        if (!appeared) {
            if (error.empty()) {
                return finish(false);
            }
            context_.error(error);
            return ExitCode::kReaderFailed;
        }
        if (!applyTo(*appeared, signals)) {
            return finish(true);
        }
        if (!loopError_.empty()) {
            context_.error(loopError_);
            finish(false);
            return ExitCode::kReaderFailed;
        }
    }
}

bool ApplyWatch::applyTo(const std::vector<PortName>& ports, InterruptSignals& signals) {
    SteadyClock clock;
    NullPortIo nullIo;
    std::vector<std::unique_ptr<Reader>> readers;
    std::vector<ReaderSession*> sessions;
    for (const PortName& port : ports) {
        readers.push_back(
            std::make_unique<Reader>(context_.portMap(), port, clock, nullIo, pace_, limits_));
        sessions.push_back(readers.back().get());
        beginReader_(*readers.back());
    }
    ReaderLoop loop(clock, signals);
    const ReaderLoop::Ending ending = loop.run(sessions);
    if (ending == ReaderLoop::Ending::Failed) {
        loopError_ = loop.error();
    }
    for (const std::unique_ptr<Reader>& reader : readers) {
        if (ending == ReaderLoop::Ending::Failed) {
            reader->interrupt();
        }
        reader->settle();
        const Failure failure = reader->port().lastFailure();
        if (failure.kind == FailureKind::InUse && reader->port().opens() == 0) {
            // Another program has the port: not a reader that failed, one that was not tried.
            context_.note(reader->label() + ": skipped (held): " + briefFailure(failure));
        } else if (reader->result.status != ReaderResult::Status::Interrupted) {
            report(*reader);
        }
    }
    return ending != ReaderLoop::Ending::Interrupted;
}

void ApplyWatch::report(const Reader& reader) {
    const ReaderResult& result = reader.result;
    ++count_;
    if (result.status == ReaderResult::Status::Ok) {
        ++done_;
    } else if (result.status == ReaderResult::Status::Differs) {
        // Still differing after programming, or would_change under --check.
        differPorts_.push_back(reader.label());
    } else {
        failedPorts_.push_back(reader.label());
    }
    if (context_.json) {
        Record record = reader.record(ownKeys_);
        record.emplace_back("count", count_);
        context_.printJson(record);
        return;
    }
    std::vector<std::vector<std::string>> rows = reader.rows();
    rows.front().insert(rows.front().begin(), std::to_string(count_));
    context_.printRows(rows);
}

int ApplyWatch::finish(bool cutShort) {
    const auto listed = [](const std::vector<std::string>& ports) {
        std::string text;
        for (const std::string& port : ports) {
            text += (text.empty() ? "" : ", ") + port;
        }
        return text.empty() ? text : ": " + text;
    };
    const auto failures = failedPorts_.size();
    const auto differing = differPorts_.size();
    context_.error(
        std::string(cutShort ? "interrupted while applying; " : "stopped; ") +
        std::to_string(done_) + (done_ == 1 ? " reader" : " readers") + " done, " +
        (differing == 0 ? ""
                        : std::to_string(differing) + " differ" + listed(differPorts_) + ", ") +
        std::to_string(failures) + " failed" + listed(failedPorts_) + "; every port released");
    if (cutShort) {
        return ExitCode::kInterrupted;
    }
    if (failures > 0) {
        return ExitCode::kReaderFailed;
    }
    return differing > 0 ? ExitCode::kDiffers : ExitCode::kSuccess;
}
