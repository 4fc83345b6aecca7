#include "ui/MainDialog.h"

#include "link/Transfer.h"
#include "operations/ReadBackCoverage.h"
#include "operations/TransactionRunner.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingCheck.h"
#include "settings/SettingTable.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "ui/ArialFont.h"
#include "ui/CardSwipeDialog.h"
#include "ui/CompareDialog.h"
#include "ui/FileChooser.h"
#include "ui/MainSettingsPage.h"
#include "ui/OperatorMessages.h"
#include "ui/PageNavigation.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

const char* const kCaption = "Tarvik--R550 Programming Tools V1.00";
const char* const kFileMessageCaption = "System Message";
const char* const kUnsavedText = "The settings have changes that are not saved.";
const char* const kStartupFileNote =
    "Every start rewrites Default.cfg with the factory values: choose another name to keep these "
    "settings.";
// An Escape this soon after a pop-up closed was pressed twice for the pop-up.
constexpr qint64 kPopupEscapeMs = 400;
// How many settings outside their values the question before loading names.
constexpr std::size_t kNamedInvalidSettings = 5;

// What the question before loading an unusual file says under its text.
std::string unusualFileDetail(std::uintmax_t size, const std::vector<InvalidSetting>& invalid) {
    const std::string length = std::to_string(size);
    std::string detail = size == SettingsImage::kSize
                             ? "It has the length of a settings file, " + length + " bytes."
                             : "It is " + length + " bytes long; a settings file has " +
                                   std::to_string(SettingsImage::kSize) + ".";
    if (invalid.empty()) {
        return detail;
    }
    detail += " Settings outside their values:";
    for (std::size_t i = 0; i < invalid.size() && i < kNamedInvalidSettings; ++i) {
        const NamedSetting& setting = *invalid[i].setting;
        detail += std::string(i == 0 ? " " : "; ") + std::string(setting.name) + " (" +
                  std::string(setting.caption) + ") holds " + std::to_string(invalid[i].stored);
    }
    if (invalid.size() > kNamedInvalidSettings) {
        detail += "; and " + std::to_string(invalid.size() - kNamedInvalidSettings) + " more";
    }
    return detail + ".";
}

// One item of the menu bar; no text: a separator.
struct Command {
    QMenu* menu;
    const char* text;
    const char* id;
    QKeySequence shortcut;
    std::function<void()> run;
};

void addCommand(QWidget* window, const Command& command) {
    if (command.text == nullptr) {
        command.menu->addSeparator();
        return;
    }
    QAction* action = command.menu->addAction(QString::fromUtf8(command.text));
    action->setObjectName(QString::fromLatin1(command.id));
    action->setShortcut(command.shortcut);
    // Added to the window too, so that the shortcuts work wherever the focus is in it.
    window->addAction(action);
    QObject::connect(action, &QAction::triggered, window, [action, run = command.run] {
        // The detection's check mark stays: choosing a marked item must not clear it.
        if (action->isCheckable()) {
            action->setChecked(true);
        }
        run();
    });
}

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
      reports_(messages_, applicationName_), edits_([this] { return pageState(); }) {
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
    QApplication::instance()->installEventFilter(this);
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
    QMenu* file = addMenu(menuBar_, "&File");
    // The Save item's tip names the file it writes: the caption and the items keep their texts.
    file->setToolTipsVisible(true);
    QMenu* settings = addMenu(menuBar_, "&Settings");
    QMenu* programming = addMenu(menuBar_, "&Programming all settings");
    QMenu* reader = addMenu(menuBar_, "&Reader");

    const Command commands[] = {
        {file, "&Load setting file", "32776", QKeySequence(Qt::CTRL | Qt::Key_L),
         [this] { loadSettingFile(); }},
        {file, "&Save setting file", "32777", QKeySequence(Qt::CTRL | Qt::Key_S),
         [this] { saveSettingFile(); }},
        {file, "Save &as .......", "32778", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         [this] { saveSettingFileAs({}); }},
        {file, "E&xit", "32779", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
        {settings, "Main Setting", "32786", {}, [this] { showMainSetting(); }},
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
        {reader, "Card s&wipe test\u2026", "cardSwipeTest", QKeySequence(Qt::CTRL | Qt::Key_T),
         [this] { cardSwipeTest(); }},
        {reader,
         "&Compare with the reader",
         "compareWithReader",
         {},
         [this] { compareWithReader(); }},
    };

    for (const Command& command : commands) {
        addCommand(this, command);
    }
    showCurrentFile();
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
    // What the start-up wrote and found is no edit of the operator's.
    edits_.markUnchanged();
}

SettingsImage MainDialog::pageState() {
    const SettingsImage kept = image_;
    storePages();
    const SettingsImage stored = image_;
    image_ = kept;
    return stored;
}

bool MainDialog::mayReplaceEdits(const char* what) {
    if (!edits_.any()) {
        return true;
    }
    return messages_.ask(kUnsavedText, applicationName_, {"C&ontinue", "&Cancel"}, 1, what) == 0;
}

void MainDialog::reject() {
    if (edits_.any()) {
        const std::size_t answer =
            messages_.ask(kUnsavedText, applicationName_, {"&Save", "&Discard", "S&tay"}, 0,
                          "Save them before the program ends?");
        // A save that was cancelled or failed keeps the window, and the edits with it.
        if (answer == 2 || (answer == 0 && !saveSettingFile())) {
            return;
        }
    }
    QDialog::reject();
}

Outcome MainDialog::detectReader() {
    const Outcome outcome = operations_.detectReader(image_);
    if (outcome.status == OutcomeStatus::Dismissed) {
        return outcome; // Escape: the page keeps what "Default.cfg" gave it
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
    return outcome;
}

void MainDialog::showMainSetting() {
    // Where no port was chosen, the RS232 layout picks Com 1: the window's choice, no edit.
    const bool noPort = SettingTable::value(pageState(), SettingTable::kComPort) == 0;
    navigation_->showMainSetting();
    if (noPort) {
        edits_.takePort();
    }
}

void MainDialog::markFoundLink(bool keyboard, bool rs232) {
    programViaKeyboard_->setCheckable(keyboard);
    programViaKeyboard_->setChecked(keyboard);
    programViaRs232_->setCheckable(rs232);
    programViaRs232_->setChecked(rs232);
}

void MainDialog::searchForReader() {
    // The pages' edits stay: only the link settings change, as the search at start changes them.
    storePages();
    const std::uint8_t mode = SettingTable::value(image_, SettingTable::kOperatingMode);
    const std::uint8_t port = SettingTable::value(image_, SettingTable::kComPort);
    const bool keyboardMarked = programViaKeyboard_->isChecked();
    const bool rs232Marked = programViaRs232_->isChecked();
    // The mark of an earlier search goes; the search marks what it finds.
    markFoundLink(false, false);
    const Outcome outcome = detectReader();
    if (outcome.status == OutcomeStatus::Dismissed) {
        // Escape: the link settings and marks are those from before, as the page still shows.
        SettingTable::setValue(image_, SettingTable::kOperatingMode, mode);
        SettingTable::setValue(image_, SettingTable::kComPort, port);
        markFoundLink(keyboardMarked, rs232Marked);
        return;
    }
    if (currentPage() == Page::MainSettings) {
        navigation_->showMainPage(); // the rows of the mode found
    }
    edits_.takeLinkSettings();
    if (!outcome.done()) {
        messages_.show("No reader answered, neither in the keyboard line nor on COM1 to COM9.",
                       OperatorMessages::kErrorCaption);
    }
}

void MainDialog::cardSwipeTest() {
    // The test reads the mode, port, speed and lists as the pages show them now.
    storePages();
    CardSwipeDialog dialog(image_, this);
    dialog.exec();
}

void MainDialog::compareWithReader() {
    // The reader's settings go into a copy of the window's, never into the pages; what the
    // read-back does not bring is the window's own in both and so never differs.
    const SettingsImage window = pageState();
    SettingsImage reader = window;
    const Outcome outcome = operations_.loadMainSettings(reader);
    if (!outcome.done()) {
        reports_.readBack(outcome);
        return;
    }
    CompareDialog dialog(ReadBackCoverage::differences(window, reader), this);
    if (dialog.exec() == QDialog::Accepted) {
        programViaSerial();
    }
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
    // Asked only where the command goes to the reader; elsewhere it refuses without a change.
    const std::uint8_t mode = SettingTable::value(image_, SettingTable::kOperatingMode);
    if (mode != SettingTable::kModeKeyboardWedge && mode != SettingTable::kUnknown &&
        !mayReplaceEdits("Loading the main settings from the reader replaces them.")) {
        return;
    }
    const Outcome outcome = operations_.loadMainSettings(image_);
    reports_.readBack(outcome);
    if (outcome.imageChanged) {
        returnToMainPage();
        edits_.markUnchanged();
    }
}

void MainDialog::detectFirmwareVersion() {
    reports_.firmwareVersion(operations_.firmwareVersion(image_));
}

void MainDialog::resetReader() {
    if (SettingTable::value(image_, SettingTable::kOperatingMode) != SettingTable::kUnknown &&
        !mayReplaceEdits("The factory reset replaces them with the factory values.")) {
        return;
    }
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
    edits_.markUnchanged();
}

void MainDialog::loadSettingFile() {
    if (!mayReplaceEdits("Loading a settings file replaces them.")) {
        return;
    }
    const std::optional<std::string> chosen = files_.chooseFileToLoad(settingsFolder());
    if (!chosen) {
        return;
    }
    // Read beside the block first: a file that cannot be loaded, or that the operator declines,
    // changes nothing, and its name does not become the one "Save" writes.
    SettingsImage loaded = image_;
    SettingsFileReport report;
    if (readSettingsFile(loaded, *chosen, report) != 0) {
        messages_.showFileError(report.reason);
        return;
    }
    if (!acceptUnusualFile(loaded, report.size)) {
        return;
    }
    image_ = loaded;
    currentSettingsFile_ = *chosen;
    startupFileCurrent_ = false;
    showCurrentFile();
    loadPage(Page::MainSettings);
    loadPage(Page::MsrMainSettings);
    messages_.show("Load settings file ok!", kFileMessageCaption);
    returnToMainPage();
    edits_.markUnchanged();
}

bool MainDialog::acceptUnusualFile(const SettingsImage& loaded, std::uintmax_t size) {
    const std::vector<InvalidSetting> invalid = invalidSettings(loaded);
    if (size == SettingsImage::kSize && invalid.empty()) {
        return true;
    }
    return messages_.ask("This file does not look like a settings file. Load it all the same?",
                         applicationName_, {"&Yes", "&No"}, 1,
                         unusualFileDetail(size, invalid)) == 0;
}

std::string MainDialog::settingsFolder() const {
    // The working folder for "Default.cfg"; the program's own folder holds no settings.
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(currentSettingsFile_, error);
    return (error ? std::filesystem::path(currentSettingsFile_) : file).parent_path().string();
}

void MainDialog::showCurrentFile() {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(currentSettingsFile_, error);
    const QString name = QString::fromStdString(
        (error ? std::filesystem::path(currentSettingsFile_) : file).string());
    findChild<QAction*>(QStringLiteral("32777"))
        ->setToolTip(startupFileCurrent_
                         ? QStringLiteral("Asks for a name: every start rewrites Default.cfg")
                         : QStringLiteral("Writes %1").arg(name));
}

bool MainDialog::saveSettingFile() {
    // What this start wrote is written over at the next: the settings need a name of their own.
    if (startupFileCurrent_) {
        return saveSettingFileAs(kStartupFileNote);
    }
    return writeSettings(currentSettingsFile_);
}

bool MainDialog::saveSettingFileAs(const std::string& note) {
    const std::optional<std::string> chosen = files_.chooseFileToSave(settingsFolder(), note);
    if (!chosen) {
        return false;
    }
    // The name becomes the current file only once it was written: a name that cannot be written
    // must not take over the next "Save".
    const std::string name = FileChooser::withSettingsExtension(*chosen);
    if (!writeSettings(name)) {
        return false;
    }
    currentSettingsFile_ = name;
    startupFileCurrent_ = false;
    showCurrentFile();
    return true;
}

bool MainDialog::writeSettings(const std::string& name) {
    // The visible page's edits go into the block first, whichever of the two saves runs.
    storePages();
    SettingsFileReport report;
    if (writeSettingsFile(image_, name, report) != 0) {
        messages_.showFileError(report.reason);
        return false;
    }
    messages_.show("Save settings file ok!", kFileMessageCaption);
    edits_.markUnchanged();
    return true;
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    // The window has no default action: Enter must neither close it nor click a button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    // An Escape held down repeats, and one pressed twice in a row to close a drop-down list or a
    // pop-up comes again just after it closed: neither must reach the window. One pressed while a
    // pop-up is open is the pop-up's.
    const bool afterPopup = popupClosed_.isValid() && popupClosed_.elapsed() < kPopupEscapeMs;
    if (event->key() == Qt::Key_Escape &&
        (event->isAutoRepeat() || afterPopup || QApplication::activePopupWidget() != nullptr)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event); // Escape closes the window, asking first about edits
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->windowType() == Qt::Popup) {
        popupClosed_.start();
    }
    return QDialog::eventFilter(watched, event);
}
