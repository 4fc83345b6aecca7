#pragma once

#include "ui/OperatorMessages.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// Records every message box instead of showing it.
class RecordingMessages : public OperatorMessages {
public:
    struct Message {
        std::string text;
        std::string caption;
        std::string detail;

        bool operator==(const Message&) const = default;
    };

    void show(const std::string& text, const std::string& caption,
              const std::string& detail = {}) override {
        shown.push_back({text, caption, detail});
    }
    void showFileError(const std::string& detail = {}) override {
        ++fileErrors;
        fileErrorDetails.push_back(detail);
    }

    // Questions are recorded as messages too; each takes the next answer queued, or the last
    // answer (the one that changes nothing) when none is.
    std::size_t ask(const std::string& text, const std::string& caption,
                    const std::vector<std::string>& answers, std::size_t,
                    const std::string& detail = {}) override {
        asked.push_back({text, caption, detail});
        std::size_t answer = answers.empty() ? 0 : answers.size() - 1;
        if (!answersToGive.empty()) {
            answer = answersToGive.front();
            answersToGive.pop_front();
        }
        return answer;
    }

    std::vector<Message> shown;
    std::vector<Message> asked;
    std::deque<std::size_t> answersToGive;
    int fileErrors = 0;
    std::vector<std::string> fileErrorDetails;
};
