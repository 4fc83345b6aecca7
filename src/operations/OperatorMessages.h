#pragma once

#include <string>

// Modal messages with one OK button. The window shows message boxes; tests record them.
class OperatorMessages {
public:
    virtual ~OperatorMessages() = default;
    virtual void show(const std::string& text, const std::string& caption) = 0;
    // The generic box shown when a file cannot be written or opened (no name, no reason).
    virtual void showFileError() = 0;
};
