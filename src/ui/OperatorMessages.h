#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Modal messages with one OK button. The window shows message boxes; tests record them.
class OperatorMessages {
public:
    // The caption of a box that tells of a failure.
    static constexpr const char* kErrorCaption = "Error message";

    virtual ~OperatorMessages() = default;
    // `detail`, when not empty, is shown under the text: the reason a command failed and what to
    // do about it. All three are plain text, never markup.
    virtual void show(const std::string& text, const std::string& caption,
                      const std::string& detail = {}) = 0;
    // The generic box shown when a file cannot be written or opened. Its text names neither the
    // file nor the reason; `detail`, when not empty, says both under it.
    virtual void showFileError(const std::string& detail = {}) = 0;
    // A question with its own answers, the button texts (with their underlined letters). Returns
    // the index of the answer chosen; Enter chooses `defaultAnswer`, and Escape or closing the box
    // the last answer, which must be the one that changes nothing.
    virtual std::size_t ask(const std::string& text, const std::string& caption,
                            const std::vector<std::string>& answers, std::size_t defaultAnswer,
                            const std::string& detail = {}) = 0;
};
