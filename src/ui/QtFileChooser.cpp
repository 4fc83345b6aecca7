#include "ui/QtFileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

namespace {

// The name offered in both dialogs, inside the folder of the current settings file.
QString offeredFile(const std::string& folder) {
    return QDir(QString::fromStdString(folder)).filePath(QStringLiteral("Default.cfg"));
}

} // namespace

QString QtFileChooser::saveNameWithNote(const QString& offered, const QString& filters,
                                        const std::string& note) const {
    // Qt's own dialog, which has a layout to put the line in, under the name and type rows.
    QFileDialog dialog(window_, QString(), QFileInfo(offered).absolutePath(), filters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(offered);
    auto* line = new QLabel(QString::fromUtf8(note), &dialog);
    line->setObjectName(QStringLiteral("saveNote"));
    line->setWordWrap(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(line, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<std::string> QtFileChooser::chooseFileToLoad(const std::string& folder) {
    // "*" rather than "*.*": on Linux a file name need not have a dot to be a settings file.
    const QString filters = QStringLiteral("Config File(*.cfg);;All File Settings (*)");
    const QString name =
        QFileDialog::getOpenFileName(window_, QString(), offeredFile(folder), filters);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name.toStdString();
}

std::optional<std::string> QtFileChooser::chooseFileToSave(const std::string& folder,
                                                           const std::string& note) {
    // No default suffix: the File menu appends ".cfg" itself. The dialog confirms overwriting the
    // name typed in it.
    const QString filters = QStringLiteral("Config File(*.cfg)");
    const QString name = note.empty() ? QFileDialog::getSaveFileName(window_, QString(),
                                                                     offeredFile(folder), filters)
                                      : saveNameWithNote(offeredFile(folder), filters, note);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    // "abc" is written as "abc.cfg", which the dialog did not ask about: ask for that name too,
    // so that an existing file is never replaced without a question.
    const std::string chosen = name.toStdString();
    const QString written = QString::fromStdString(withSettingsExtension(chosen));
    if (written != name && QFileInfo::exists(written)) {
        const auto answer =
            QMessageBox::question(window_, QString(),
                                  QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                      .arg(QFileInfo(written).fileName()),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return std::nullopt;
        }
    }
    return chosen;
}
