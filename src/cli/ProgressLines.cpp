#include "cli/ProgressLines.h"

#include "base/TextTable.h"
#include "operations/ReaderSession.h"

#include <string>

void ProgressLines::show(const std::vector<ReaderSession*>& sessions) {
    if (!lines_.enabled()) {
        return;
    }
    std::vector<std::vector<std::string>> rows;
    std::size_t done = 0;
    for (const ReaderSession* session : sessions) {
        rows.push_back({session->label(), session->progress()});
        done += session->running() ? 0U : 1U;
    }
    lines_.show(tableLines(rows),
                std::to_string(done) + " of " + std::to_string(sessions.size()) + " readers done");
}

ReaderLoop::Ending ProgressLines::run(ReaderLoop& loop,
                                      const std::vector<ReaderSession*>& sessions) {
    loop.afterRound([this, &sessions] { show(sessions); });
    const ReaderLoop::Ending ending = loop.run(sessions);
    loop.afterRound(nullptr);
    lines_.clear();
    return ending;
}
