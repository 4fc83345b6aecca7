#pragma once

#include "operations/DeviceOperations.h"
#include "ui/CommandReports.h"
#include "ui/Page.h"
#include "ui/PageNavigation.h"

#include <string>

#include <QDialog>

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
    PageNavigation& navigation() const { return *navigation_; }

    // The client area below the menu bar; page controls are placed in its coordinates.
    static constexpr int kClientWidth = 560;
    static constexpr int kClientHeight = 410;
    // The window's font height in pixels: an 8-point dialog font, which the pages' pixel
    // geometry was drawn for, so that every caption shows in full.
    static constexpr int kFontPixelSize = 11;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenu();
    // The search for the reader, at start and from the Reader menu: the detection window, then
    // the link settings and the Main Settings page as it found them.
    void detectReader();

    // Menu commands of the File menu.
    void loadSettingFile();   // 32776
    void saveSettingFile();   // 32777
    void saveSettingFileAs(); // 32778
    void writeCurrentSettingsFile();
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

    SettingsImage& image_;
    TransactionRunner& runner_;
    OperatorMessages& messages_;
    FileChooser& files_;
    std::string applicationName_;
    DeviceOperations operations_;
    CommandReports reports_;

    std::string currentSettingsFile_ = "Default.cfg";

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    PageNavigation* navigation_ = nullptr;
    QAction* programViaKeyboard_ = nullptr; // 32780
    QAction* programViaRs232_ = nullptr;    // 32781
};
