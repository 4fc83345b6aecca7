#pragma once

#include "operations/OperatorMessages.h"

#include <string>
#include <vector>

// Records every message box instead of showing it.
class RecordingMessages : public OperatorMessages {
public:
    struct Message {
        std::string text;
        std::string caption;
    };

    void show(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption});
    }
    void showFileError() override { ++fileErrors; }

    std::vector<Message> shown;
    int fileErrors = 0;
};
