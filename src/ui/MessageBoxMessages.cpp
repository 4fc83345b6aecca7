#include "ui/MessageBoxMessages.h"

#include <utility>

#include <QLabel>
#include <QMessageBox>
#include <QString>

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
             const std::string& caption, const std::string& detail = {}) {
    // The text may come from the reader (its firmware version): bytes, one character each, and
    // never markup, so "<b>V1</b>" shows as those characters.
    QMessageBox box(icon, QString::fromLatin1(caption), QString::fromLatin1(text), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        box.setInformativeText(QString::fromUtf8(detail));
        // The reason names device paths, which are the system's and not ours to interpret.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
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
