#include "ui/MessageBoxMessages.h"

#include <utility>

#include <QMessageBox>
#include <QString>

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
             const std::string& caption) {
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

MessageBoxMessages::MessageBoxMessages(std::string applicationName)
    : applicationName_(std::move(applicationName)) {}

void MessageBoxMessages::show(const std::string& text, const std::string& caption) {
    showBox(window_, QMessageBox::NoIcon, text, caption);
}

void MessageBoxMessages::showFileError() {
    // Deliberately names neither the file nor the reason; the operator retries with another name.
    showBox(window_, QMessageBox::Warning, "The settings file could not be opened or written.",
            applicationName_);
}
