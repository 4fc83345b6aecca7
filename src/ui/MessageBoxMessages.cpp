#include "ui/MessageBoxMessages.h"

#include "ui/ReasonBox.h"

#include <algorithm>
#include <utility>

#include <QPushButton>
#include <QString>

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
             const std::string& caption, const std::string& detail = {}) {
    // The text may come from the reader (its firmware version): bytes, one character each, and
    // never markup, so "<b>V1</b>" shows as those characters. The caption is ours or the
    // program file's name, kept as UTF-8.
    ReasonBox box(icon, QString::fromUtf8(caption), QString::fromLatin1(text), parent);
    if (!detail.empty()) {
        box.setReason(QString::fromUtf8(detail));
    }
    box.exec();
}

} // namespace

MessageBoxMessages::MessageBoxMessages(std::string applicationName)
    : applicationName_(std::move(applicationName)) {}

void MessageBoxMessages::show(const std::string& text, const std::string& caption,
                              const std::string& detail) {
    showBox(window_, QMessageBox::NoIcon, text, caption, detail);
}

void MessageBoxMessages::showFileError(const std::string& detail) {
    // The text itself names neither the file nor the reason; the detail under it does.
    showBox(window_, QMessageBox::Warning, "The settings file could not be opened or written.",
            applicationName_, detail);
}

std::size_t MessageBoxMessages::ask(const std::string& text, const std::string& caption,
                                    const std::vector<std::string>& answers,
                                    std::size_t defaultAnswer, const std::string& detail) {
    ReasonBox box(QMessageBox::Question, QString::fromUtf8(caption), QString::fromUtf8(text),
                  window_);
    box.setStandardButtons(QMessageBox::NoButton);
    if (!detail.empty()) {
        box.setReason(QString::fromUtf8(detail));
    }
    std::vector<QPushButton*> buttons;
    for (const std::string& answer : answers) {
        // One role for all keeps the buttons in the order given.
        buttons.push_back(box.addButton(QString::fromUtf8(answer), QMessageBox::ActionRole));
    }
    if (buttons.empty()) {
        return 0;
    }
    box.setDefaultButton(buttons.at(defaultAnswer < buttons.size() ? defaultAnswer : 0));
    box.setEscapeButton(buttons.back());
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen != buttons.end() ? static_cast<std::size_t>(chosen - buttons.begin())
                                   : buttons.size() - 1;
}
