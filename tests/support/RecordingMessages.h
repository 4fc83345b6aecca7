#pragma once

#include "ui/OperatorMessages.h"

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

    std::vector<Message> shown;
    int fileErrors = 0;
    std::vector<std::string> fileErrorDetails;
};
