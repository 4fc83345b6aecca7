#include "link/SteadyClock.h"
#include "link/Transfer.h"
#include "operations/TransactionRunner.h"
#include "settings/SettingsImage.h"
#include "ui/MainDialog.h"
#include "ui/MessageBoxMessages.h"
#include "ui/QtFileChooser.h"

#include <cstdint>
#include <string>

#include <QApplication>
#include <QFileInfo>
#include <QString>

namespace {

// Stands in for the transfer window until it is wired: every transaction ends as Escape would.
class NoTransferRunner : public TransactionRunner {
public:
    int run(Transfer& /*transfer*/) override { return 2; }
};

// The program file's name without its extension: the caption of some messages.
std::string applicationName(const char* argv0) {
    return QFileInfo(QString::fromLocal8Bit(argv0)).completeBaseName().toStdString();
}

} // namespace

int main(int argc, char* argv[]) {
    // Time zero of the keyboard-port trace.
    const std::int64_t startMs = SteadyClock().nowMilliseconds();
    static_cast<void>(startMs);
    QApplication app(argc, argv);
    const std::string name = applicationName(argc > 0 ? argv[0] : "r550tool");

    SettingsImage image;
    NoTransferRunner runner;
    MessageBoxMessages messages(name);
    QtFileChooser files;
    MainDialog window(image, runner, messages, files, name);
    messages.setParentWindow(&window);
    files.setParentWindow(&window);
    QApplication::setWindowIcon(window.windowIcon());

    window.initialise();
    return window.exec();
}
