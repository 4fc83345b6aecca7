#pragma once

#include "operations/DeviceOperations.h"
#include "ui/CommandReports.h"

#include <memory>
#include <string>

#include <QDialog>

class FileChooser;
class MainSettingsPage;
class MsrPages;
class OperatorMessages;
class QAction;
class QIcon;
class QLabel;
class QMenu;
class QMenuBar;
class QTreeWidget;
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

    // Store the MSR Main Settings and Main Settings pages, and the track or ISO page being shown.
    void storePages();
    // Reload the MSR Main Settings page and then the Main Settings page from the image.
    void refreshPages();
    // Page index 0, reload the Main Settings and MSR Main Settings pages, hide every other page
    // and show the Main Settings page, as the "Main Setting" menu command does.
    void returnToMainPage();

    void loadPage(int page);
    void selectPage(int page);
    void showMainPage();
    void hideMainPage();

    // The program's icon, a 32×32 and a 16×16 image.
    static QIcon programIcon();

    int currentPage() const { return currentPage_; }
    const std::string& currentSettingsFile() const { return currentSettingsFile_; }

    // The client area below the menu bar; page controls are placed in its coordinates.
    static constexpr int kClientWidth = 560;
    static constexpr int kClientHeight = 410;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenu();
    void buildTree();
    void detectReader();
    void showTreeAndTitle(bool visible);
    void onTreeSelectionChanged();

    // Menu commands.
    void loadSettingFile();       // 32776
    void saveSettingFile();       // 32777
    void saveSettingFileAs();     // 32778
    void showMainSetting();       // 32786
    void showMsrSetting();        // 32775
    void programViaKeyboard();    // 32780
    void programViaSerial();      // 32781
    void loadMainSettings();      // 32782
    void detectFirmwareVersion(); // 32783
    void resetReader();           // 32784

    SettingsImage& image_;
    TransactionRunner& runner_;
    OperatorMessages& messages_;
    FileChooser& files_;
    std::string applicationName_;
    DeviceOperations operations_;
    CommandReports reports_;

    int currentPage_ = 0;
    std::string currentSettingsFile_ = "Default.cfg";

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QAction* programViaKeyboard_ = nullptr; // 32780
    QAction* programViaRs232_ = nullptr;    // 32781
    std::unique_ptr<MainSettingsPage> mainPage_;
    std::unique_ptr<MsrPages> msrPages_;
};
