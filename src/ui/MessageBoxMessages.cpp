#include "ui/MessageBoxMessages.h"

#include "ui/ReasonText.h"

#include <utility>

#include <QLabel>
#include <QMessageBox>
#include <QString>

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
             const std::string& caption, const std::string& detail = {}) {
    // The text may come from the reader (its firmware version): bytes, one character each, and
    // never markup, so "<b>V1</b>" shows as those characters. The caption is ours or the
    // program file's name, kept as UTF-8.
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromLatin1(text), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        const QString reason = ReasonText::unbreakable(QString::fromUtf8(detail));
        box.setInformativeText(reason);
        // The reason names device paths, which are the system's and not ours to interpret. Its
        // hex runs and paths stay whole, so the box is made wide enough for the widest.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
            label->setMinimumWidth(ReasonText::widestToken(reason, label->fontMetrics()) + 1);
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

void MessageBoxMessages::showFileError() {
    // Deliberately names neither the file nor the reason; the operator retries with another name.
    showBox(window_, QMessageBox::Warning, "The settings file could not be opened or written.",
            applicationName_);
}
