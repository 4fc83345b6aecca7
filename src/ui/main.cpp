#include "link/SteadyClock.h"
#include "settings/SettingsImage.h"
#include "ui/DialogTransactionRunner.h"
#include "ui/MainDialog.h"
#include "ui/MessageBoxMessages.h"
#include "ui/QtFileChooser.h"

#include <cstdint>
#include <string>

#include <QApplication>
#include <QFileInfo>
#include <QString>

namespace {

// The program file's name without its extension: the caption of some messages.
std::string applicationName(const char* argv0) {
    return QFileInfo(QString::fromLocal8Bit(argv0)).completeBaseName().toStdString();
}

} // namespace

int main(int argc, char* argv[]) {
    // Time zero of the keyboard-port trace.
    const std::int64_t startMs = SteadyClock().nowMilliseconds();
    QApplication app(argc, argv);
    const std::string name = applicationName(argc > 0 ? argv[0] : "r550tool");

    SettingsImage image;
    DialogTransactionRunner runner(startMs);
    MessageBoxMessages messages(name);
    QtFileChooser files;
    MainDialog window(image, runner, messages, files, name);
    runner.setParentWindow(&window);
    messages.setParentWindow(&window);
    files.setParentWindow(&window);
    QApplication::setWindowIcon(MainDialog::programIcon());

    // The search for the reader runs in here, before the window is first shown.
    window.initialise();
    return window.exec();
}
