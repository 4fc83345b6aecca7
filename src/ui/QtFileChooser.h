#pragma once

#include "ui/FileChooser.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// FileChooser with the standard file dialogs: both open in the folder they are given, offer
// "Default.cfg" there and ask before an existing file is overwritten.
class QtFileChooser : public FileChooser {
public:
    QtFileChooser() = default;

    // The window the dialogs belong to; until it is set they have no parent.
    void setParentWindow(QWidget* window) { window_ = window; }

    std::optional<std::string> chooseFileToLoad(const std::string& folder) override;
    std::optional<std::string> chooseFileToSave(const std::string& folder,
                                                const std::string& note = {}) override;

private:
    // The save dialog with a line of its own; the chosen name, or empty when cancelled.
    QString saveNameWithNote(const QString& offered, const QString& filters,
                             const std::string& note) const;

    QPointer<QWidget> window_;
};
