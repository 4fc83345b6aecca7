#pragma once

#include "ui/FileChooser.h"

#include <QPointer>
#include <QWidget>

// FileChooser with the standard file dialogs: both open in the program's folder, offer
// "Default.cfg" and ask before an existing file is overwritten.
class QtFileChooser : public FileChooser {
public:
    QtFileChooser() = default;

    // The window the dialogs belong to; until it is set they have no parent.
    void setParentWindow(QWidget* window) { window_ = window; }

    std::optional<std::string> chooseFileToLoad() override;
    std::optional<std::string> chooseFileToSave() override;

private:
    QPointer<QWidget> window_;
};
