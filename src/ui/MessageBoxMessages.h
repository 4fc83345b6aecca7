#pragma once

#include "ui/OperatorMessages.h"

#include <string>

#include <QPointer>
#include <QWidget>

// Operator messages as modal message boxes with one OK button.
class MessageBoxMessages : public OperatorMessages {
public:
    // applicationName is the caption of the file-error box.
    explicit MessageBoxMessages(std::string applicationName);

    // The window the boxes belong to; until it is set they have no parent.
    void setParentWindow(QWidget* window) { window_ = window; }

    void show(const std::string& text, const std::string& caption,
              const std::string& detail = {}) override;
    void showFileError(const std::string& detail = {}) override;
    std::size_t ask(const std::string& text, const std::string& caption,
                    const std::vector<std::string>& answers, std::size_t defaultAnswer,
                    const std::string& detail = {}) override;

private:
    std::string applicationName_;
    QPointer<QWidget> window_;
};
