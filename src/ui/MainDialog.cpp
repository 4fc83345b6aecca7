#include "ui/MainDialog.h"

#include "link/Transfer.h"
#include "operations/TransactionRunner.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "ui/FileChooser.h"
#include "ui/MainSettingsPage.h"
#include "ui/MsrPages.h"
#include "ui/OperatorMessages.h"

#include <functional>
#include <utility>

#include <QAction>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kCaption = "Tarvik--R550 Programming Tools V1.00";
const char* const kFileMessageCaption = "System Message";
const QRect kTreeGeometry(9, 6, 194, 391);

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
    // Arial where it is installed; otherwise the font system picks its nearest match.
    setFont(QFont(QStringLiteral("Arial"), 9));

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

    // All page controls exist, hidden, from the start; initialise() fills and shows them. The
    // tree comes first so that it lies below the pages' controls.
    tree_ = new QTreeWidget(client_);
    tree_->setObjectName(QStringLiteral("tree"));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setColumnCount(1);
    tree_->setGeometry(kTreeGeometry);
    // Long item texts scroll sideways instead of being cut short.
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->hide();
    mainPage_ = std::make_unique<MainSettingsPage>(client_, image_);
    msrPages_ = std::make_unique<MsrPages>(client_, image_, currentPage_);

    msrPages_->pageTitle()->hide();

    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &MainDialog::onTreeSelectionChanged);
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

    const Command commands[] = {
        {file, "&Load setting file", "32776", QKeySequence(Qt::CTRL | Qt::Key_L),
         [this] { loadSettingFile(); }},
        {file, "&Save setting file", "32777", QKeySequence(Qt::CTRL | Qt::Key_S),
         [this] { saveSettingFile(); }},
        {file, "Save &as .......", "32778", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         [this] { saveSettingFileAs(); }},
        {file, "E&xit", "32779", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
        {settings, "Main Setting", "32786", {}, [this] { showMainSetting(); }},
        {settings, "MSR Setting", "32775", {}, [this] { showMsrSetting(); }},
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
    };

    for (const Command& command : commands) {
        if (command.text == nullptr) {
            command.menu->addSeparator();
            continue;
        }
        QAction* action = command.menu->addAction(QString::fromLatin1(command.text));
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

void MainDialog::buildTree() {
    const auto addRoot = [this](const char* text, std::initializer_list<const char*> children) {
        auto* root = new QTreeWidgetItem(tree_, QStringList(QString::fromLatin1(text)));
        for (const char* child : children) {
            new QTreeWidgetItem(root, QStringList(QString::fromLatin1(child)));
        }
        root->setExpanded(false);
    };
    tree_->clear();
    addRoot("MSR Main Settings", {"MSR Track 1", "MSR Track 2", "MSR Track 3"});
    addRoot("MSR ISO Standard Field Setting Group", {"Track 1", "Track 2", "Track 3"});
    tree_->clearSelection();
}

void MainDialog::initialise() {
    currentPage_ = 0;
    setWindowIcon(programIcon());
    mainPage_->fillLists();
    mainPage_->setProtocolCaption(QStringLiteral("KeyBoard Protocol"));
    buildTree();
    // The MSR page controls were created, hidden, with the window.

    const int written = applyFactoryDefaults(image_, kDefaultSettingsFile);
    refreshPages();
    if (written != 0) {
        messages_.showFileError();
    }
    // An older "Default.cfg" that could not be rewritten replaces the factory values here.
    if (readSettingsFile(image_, kDefaultSettingsFile) == 0) {
        loadPage(0);
    }
    loadPage(0);
    detectReader();
    showMainPage();
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
    loadPage(0);
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

void MainDialog::loadPage(int page) {
    if (page == 0) {
        mainPage_->loadPage();
    } else {
        msrPages_->loadPage(page);
    }
}

void MainDialog::storePages() {
    msrPages_->storeMsrMainPage();
    mainPage_->storeMainPage();
    if (currentPage_ >= 2 && currentPage_ <= 4) {
        msrPages_->storeTrackPage(currentPage_ - 1);
    } else if (currentPage_ >= 6 && currentPage_ <= 8) {
        msrPages_->storeIsoPage(currentPage_ - 5);
    }
}

void MainDialog::refreshPages() {
    loadPage(1);
    loadPage(0);
}

void MainDialog::returnToMainPage() {
    currentPage_ = 0;
    loadPage(0);
    loadPage(1);
    msrPages_->hideIsoPage();
    hideMainPage();
    msrPages_->hideMsrMainPage();
    msrPages_->hideTrackPage();
    msrPages_->hideKeyPad();
    showMainPage();
}

void MainDialog::selectPage(int page) {
    currentPage_ = page;
    loadPage(page);
    hideMainPage();
    msrPages_->hideMsrMainPage();
    msrPages_->hideTrackPage();
    msrPages_->hideIsoPage();
}

void MainDialog::showMainPage() {
    mainPage_->showMainPage();
    showTreeAndTitle(false);
}

void MainDialog::hideMainPage() {
    mainPage_->hideMainPage();
}

void MainDialog::showTreeAndTitle(bool visible) {
    tree_->setVisible(visible);
    msrPages_->pageTitle()->setVisible(visible);
}

void MainDialog::onTreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString text = selected.first()->text(0);
    msrPages_->pageTitle()->setText(text);
    storePages();

    if (text == QLatin1String("MSR Main Settings")) {
        selectPage(1);
        msrPages_->showMsrMainPage();
        return;
    }
    for (int track = 1; track <= 3; ++track) {
        if (text == QStringLiteral("MSR Track %1").arg(track)) {
            selectPage(track + 1);
            msrPages_->setSwipeCaptions(track);
            msrPages_->showTrackPage();
            return;
        }
    }
    for (int track = 1; track <= 3; ++track) {
        if (text == QStringLiteral("Track %1").arg(track)) {
            selectPage(track + 5);
            msrPages_->showIsoPage();
            msrPages_->applyIsoLayout(track);
            return;
        }
    }
    // The ISO group item has no controls of its own.
    selectPage(5);
    showTreeAndTitle(true);
}

void MainDialog::showMainSetting() {
    storePages();
    hideMainPage();
    msrPages_->hideMsrMainPage();
    msrPages_->hideTrackPage();
    msrPages_->hideIsoPage();
    showMainPage();
    currentPage_ = 0;
    showTreeAndTitle(false);
}

void MainDialog::showMsrSetting() {
    storePages();
    tree_->setGeometry(kTreeGeometry);
    // Runs the selection-changed handler at once when the selection moves.
    tree_->setCurrentItem(tree_->topLevelItem(0));
    showTreeAndTitle(true);
    currentPage_ = 1;
    loadPage(1);
    msrPages_->showMsrMainPage();
    hideMainPage();
    showTreeAndTitle(true);
}

void MainDialog::loadSettingFile() {
    const std::optional<std::string> chosen = files_.chooseFileToLoad();
    if (!chosen) {
        return;
    }
    currentSettingsFile_ = *chosen;
    if (readSettingsFile(image_, currentSettingsFile_) != 0) {
        messages_.showFileError();
        return;
    }
    loadPage(0);
    loadPage(1);
    messages_.show("Load settings file ok!", kFileMessageCaption);
    returnToMainPage();
}

void MainDialog::saveSettingFile() {
    storePages();
    if (writeSettingsFile(image_, currentSettingsFile_) != 0) {
        messages_.showFileError();
        return;
    }
    messages_.show("Save settings file ok!", kFileMessageCaption);
}

void MainDialog::saveSettingFileAs() {
    // Writes the block as it stands: the visible page is stored when it is left, not here.
    const std::optional<std::string> chosen = files_.chooseFileToSave();
    if (!chosen) {
        return;
    }
    currentSettingsFile_ = FileChooser::withSettingsExtension(*chosen);
    if (writeSettingsFile(image_, currentSettingsFile_) != 0) {
        messages_.showFileError();
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
