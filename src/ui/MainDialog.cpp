#include "ui/MainDialog.h"

#include "link/Transfer.h"
#include "operations/TransactionRunner.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "ui/ArialFont.h"
#include "ui/CardSwipeDialog.h"
#include "ui/FileChooser.h"
#include "ui/MainSettingsPage.h"
#include "ui/OperatorMessages.h"
#include "ui/PageNavigation.h"

#include <filesystem>
#include <functional>
#include <utility>

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

const char* const kCaption = "Tarvik--R550 Programming Tools V1.00";
const char* const kFileMessageCaption = "System Message";

QMenu* addMenu(QMenuBar* bar, const char* title) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(title));
    menu->setObjectName(QString::fromLatin1(title));
    return menu;
}

} // namespace

MainDialog::MainDialog(SettingsImage& image, TransactionRunner& runner, OperatorMessages& messages,
                       FileChooser& files, std::string applicationName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      image_(image), runner_(runner), messages_(messages), files_(files),
      applicationName_(std::move(applicationName)), operations_(runner_),
      reports_(messages_, applicationName_) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(arialFont(kFontPixelSize));

    menuBar_ = new QMenuBar(this);
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(kClientWidth, kClientHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(client_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buildMenu();
    // Every page exists from the start; initialise() fills the lists and shows the first.
    navigation_ = new PageNavigation(client_, image_);
}

MainDialog::~MainDialog() = default;

QIcon MainDialog::programIcon() {
    // The icons live in this library's resources, which a static library must register itself.
    Q_INIT_RESOURCE(r550tool);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/r550tool-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/r550tool-16.png"), QSize(16, 16));
    return icon;
}

void MainDialog::buildMenu() {
    struct Command {
        QMenu* menu;
        const char* text;
        const char* id;
        QKeySequence shortcut;
        std::function<void()> run;
    };

    QMenu* file = addMenu(menuBar_, "&File");
    QMenu* settings = addMenu(menuBar_, "&Settings");
    QMenu* programming = addMenu(menuBar_, "&Programming all settings");
    QMenu* reader = addMenu(menuBar_, "&Reader");

    const Command commands[] = {
        {file, "&Load setting file", "32776", QKeySequence(Qt::CTRL | Qt::Key_L),
         [this] { loadSettingFile(); }},
        {file, "&Save setting file", "32777", QKeySequence(Qt::CTRL | Qt::Key_S),
         [this] { saveSettingFile(); }},
        {file, "Save &as .......", "32778", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         [this] { saveSettingFileAs(); }},
        {file, "E&xit", "32779", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
        {settings, "Main Setting", "32786", {}, [this] { navigation_->showMainSetting(); }},
        {settings, "MSR Setting", "32775", {}, [this] { navigation_->showMsrSetting(); }},
        {settings, nullptr, nullptr, {}, {}},
        {settings,
         "Load Main Setting From R550 (RS232 Only)",
         "32782",
         {},
         [this] { loadMainSettings(); }},
        {settings,
         "Detect Firmwave Version (RS232 Only)",
         "32783",
         {},
         [this] { detectFirmwareVersion(); }},
        {settings, "Reset R550 To Factory Default", "32784", {}, [this] { resetReader(); }},
        {programming, "via &Keyboard", "32780", {}, [this] { programViaKeyboard(); }},
        {programming, "via &RS232", "32781", {}, [this] { programViaSerial(); }},
        {reader, "&Search for the reader", "searchForReader", QKeySequence(Qt::CTRL | Qt::Key_R),
         [this] { searchForReader(); }},
        {reader, "Card &swipe test\u2026", "cardSwipeTest", QKeySequence(Qt::CTRL | Qt::Key_T),
         [this] { cardSwipeTest(); }},
    };

    for (const Command& command : commands) {
        if (command.text == nullptr) {
            command.menu->addSeparator();
            continue;
        }
        QAction* action = command.menu->addAction(QString::fromUtf8(command.text));
        action->setObjectName(QString::fromLatin1(command.id));
        action->setShortcut(command.shortcut);
        // Added to the window too, so that the shortcuts work wherever the focus is in it.
        addAction(action);
        connect(action, &QAction::triggered, this, [action, run = command.run] {
            // The detection's check mark stays: choosing a marked item must not clear it.
            if (action->isCheckable()) {
                action->setChecked(true);
            }
            run();
        });
    }
    programViaKeyboard_ = findChild<QAction*>(QStringLiteral("32780"));
    programViaRs232_ = findChild<QAction*>(QStringLiteral("32781"));
}

void MainDialog::initialise() {
    setWindowIcon(programIcon());
    navigation_->mainPage().fillLists();
    navigation_->mainPage().setProtocolCaption(QStringLiteral("KeyBoard Protocol"));
    navigation_->buildTree();

    const int written = applyFactoryDefaults(image_, kDefaultSettingsFile);
    refreshPages();
    if (written != 0) {
        messages_.showFileError();
    }
    // An older "Default.cfg" that could not be rewritten replaces the factory values here; every
    // page shows it, or the next page change would store the factory values over it.
    if (readSettingsFile(image_, kDefaultSettingsFile) == 0) {
        refreshPages();
    }
    loadPage(Page::MainSettings);
    detectReader();
    navigation_->showMainPage();
}

void MainDialog::detectReader() {
    const Outcome outcome = operations_.detectReader(image_);
    if (outcome.status == OutcomeStatus::Dismissed) {
        return; // Escape: the page keeps what "Default.cfg" gave it
    }
    QAction* found = nullptr;
    if (outcome.detectedPort == Transfer::kKeyboardLine) {
        found = programViaKeyboard_;
    } else if (outcome.detectedPort > 0) {
        found = programViaRs232_;
    }
    if (found != nullptr) {
        found->setCheckable(true);
        found->setChecked(true);
    }
    loadPage(Page::MainSettings);
}

void MainDialog::searchForReader() {
    // The pages' edits stay: only the link settings change, as the search at start changes them.
    storePages();
    // The mark of an earlier search goes; the search marks what it finds.
    for (QAction* action : {programViaKeyboard_, programViaRs232_}) {
        action->setChecked(false);
        action->setCheckable(false);
    }
    detectReader();
}

void MainDialog::cardSwipeTest() {
    // The test reads the mode, port, speed and lists as the pages show them now.
    storePages();
    CardSwipeDialog dialog(image_, this);
    dialog.exec();
}

void MainDialog::programViaKeyboard() {
    storePages();
    reports_.programming(operations_.programViaKeyboard(image_), CommandReports::Link::Keyboard);
}

void MainDialog::programViaSerial() {
    storePages();
    reports_.programming(operations_.programViaSerial(image_), CommandReports::Link::Serial);
}

void MainDialog::loadMainSettings() {
    const Outcome outcome = operations_.loadMainSettings(image_);
    reports_.readBack(outcome);
    if (outcome.imageChanged) {
        returnToMainPage();
    }
}

void MainDialog::detectFirmwareVersion() {
    reports_.firmwareVersion(operations_.firmwareVersion(image_));
}

void MainDialog::resetReader() {
    const Outcome outcome = operations_.resetReader(image_, kDefaultSettingsFile);
    if (outcome.status == OutcomeStatus::NotRun) {
        return;
    }
    reports_.reset(outcome);
    refreshPages();
    if (!outcome.defaultFileWritten) {
        messages_.showFileError();
    }
    returnToMainPage();
}

void MainDialog::loadSettingFile() {
    const std::optional<std::string> chosen = files_.chooseFileToLoad(settingsFolder());
    if (!chosen) {
        return;
    }
    // The name becomes the one "Save" writes only once the file was read: a file that cannot be
    // loaded must not be written over by the next save.
    SettingsFileReport report;
    if (readSettingsFile(image_, *chosen, report) != 0) {
        messages_.showFileError(report.reason);
        return;
    }
    currentSettingsFile_ = *chosen;
    loadPage(Page::MainSettings);
    loadPage(Page::MsrMainSettings);
    messages_.show("Load settings file ok!", kFileMessageCaption);
    returnToMainPage();
}

std::string MainDialog::settingsFolder() const {
    // The working folder for "Default.cfg"; the program's own folder holds no settings.
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(currentSettingsFile_, error);
    return (error ? std::filesystem::path(currentSettingsFile_) : file).parent_path().string();
}

void MainDialog::saveSettingFile() {
    writeCurrentSettingsFile();
}

void MainDialog::saveSettingFileAs() {
    const std::optional<std::string> chosen = files_.chooseFileToSave(settingsFolder());
    if (!chosen) {
        return;
    }
    currentSettingsFile_ = FileChooser::withSettingsExtension(*chosen);
    writeCurrentSettingsFile();
}

void MainDialog::writeCurrentSettingsFile() {
    // The visible page's edits go into the block first, whichever of the two saves runs.
    storePages();
    SettingsFileReport report;
    if (writeSettingsFile(image_, currentSettingsFile_, report) != 0) {
        messages_.showFileError(report.reason);
        return;
    }
    messages_.show("Save settings file ok!", kFileMessageCaption);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    // The window has no default action: Enter must neither close it nor click a button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event); // Escape closes the window
}
