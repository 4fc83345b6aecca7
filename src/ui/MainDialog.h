#pragma once

#include "operations/DeviceOperations.h"
#include "ui/CommandReports.h"
#include "ui/Page.h"
#include "ui/PageNavigation.h"
#include "ui/UnsavedEdits.h"

#include <cstdint>
#include <string>

#include <QDialog>
#include <QElapsedTimer>

class FileChooser;
class OperatorMessages;
class QAction;
class QIcon;
class QMenuBar;
class SettingsImage;
class TransactionRunner;

// The program's one window: the menu, the navigation tree and the pages, which edit the settings
// block. Closing it, however it is closed, ends the program.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    // applicationName is the program file's name without extension, the caption of some messages.
    MainDialog(SettingsImage& image, TransactionRunner& runner, OperatorMessages& messages,
               FileChooser& files, std::string applicationName, QWidget* parent = nullptr);
    ~MainDialog() override;
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // The start-up: lists and tree, factory values into the block and into "Default.cfg", that
    // file read back, the search for the reader, then the Main Settings page. Run once, before
    // the window is shown.
    void initialise();

    // The page operations around the device commands: the pages stored into the block before a
    // command; after one that changed the block, the MSR Main Settings and Main Settings pages
    // reloaded, or the window back on the Main Settings page.
    void storePages() { navigation_->storePages(); }
    void refreshPages() { navigation_->refreshPages(); }
    void returnToMainPage() { navigation_->returnToMainPage(); }

    void loadPage(Page page) { navigation_->loadPage(page); }
    void selectPage(Page page) { navigation_->selectPage(page); }

    // The program's icon, a 32×32 and a 16×16 image.
    static QIcon programIcon();

    Page currentPage() const { return navigation_->currentPage(); }
    const std::string& currentSettingsFile() const { return currentSettingsFile_; }
    // Whether the pages hold changes that no file and no read-back has taken yet.
    bool hasUnsavedEdits() const { return edits_.any(); }
    PageNavigation& navigation() const { return *navigation_; }

    // The client area below the menu bar; page controls are placed in its coordinates.
    static constexpr int kClientWidth = 560;
    static constexpr int kClientHeight = 410;
    // The window's font height in pixels: an 8-point dialog font, which the pages' pixel
    // geometry was drawn for, so that every caption shows in full.
    static constexpr int kFontPixelSize = 11;

    // Escape, the close box and "E&xit": with unsaved edits the operator is asked first.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Notes when a drop-down list or another pop-up of the program closes.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    // The search for the reader, at start and from the Reader menu: the detection window, then
    // the link settings and the Main Settings page as it found them.
    Outcome detectReader();
    // The block as the pages would store it now; the block itself stays as it is.
    SettingsImage pageState();
    // Before a command that replaces the pages' settings: true when there are no unsaved edits,
    // or the operator chose to go on. `what` says what the command does with them.
    bool mayReplaceEdits(const char* what);

    // Menu commands of the File menu.
    void loadSettingFile(); // 32776
    // Each returns whether the settings were written.
    bool saveSettingFile();                          // 32777
    bool saveSettingFileAs(const std::string& note); // 32778
    bool writeSettings(const std::string& name);
    // The Save item's tip: the file it writes, or that it asks for a name.
    void showCurrentFile();
    // A file that is no settings file (its length, settings outside their values) is loaded
    // only when the operator says so.
    bool acceptUnusualFile(const SettingsImage& loaded, std::uintmax_t size);
    // Where the file dialogs open: the folder of the current settings file.
    std::string settingsFolder() const;

    // Menu commands that reach the reader.
    void programViaKeyboard();    // 32780
    void programViaSerial();      // 32781
    void loadMainSettings();      // 32782
    void detectFirmwareVersion(); // 32783
    void resetReader();           // 32784

    // The Reader menu.
    void searchForReader(); // Ctrl+R
    void cardSwipeTest();   // Ctrl+T
    // "Main Setting" (32786).
    void showMainSetting();
    // The menu marks of the link the search found, as a search leaves them.
    void markFoundLink(bool keyboard, bool rs232);
    // The reader's main settings read into a copy and compared, by name, with the window's.
    void compareWithReader();

    SettingsImage& image_;
    TransactionRunner& runner_;
    OperatorMessages& messages_;
    FileChooser& files_;
    std::string applicationName_;
    DeviceOperations operations_;
    CommandReports reports_;

    std::string currentSettingsFile_ = "Default.cfg";
    // The current file is the "Default.cfg" that this start wrote: every start rewrites it.
    bool startupFileCurrent_ = true;
    UnsavedEdits edits_;
    // Since the last pop-up closed: an Escape pressed again at once was meant for it.
    QElapsedTimer popupClosed_;

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    PageNavigation* navigation_ = nullptr;
    QAction* programViaKeyboard_ = nullptr; // 32780
    QAction* programViaRs232_ = nullptr;    // 32781
};
