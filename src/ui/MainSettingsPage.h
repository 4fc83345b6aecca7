#pragma once

#include <QRect>
#include <QString>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QWidget;
class SettingsImage;

// Page 0 of the main window: operating mode, keyboard timing, serial port and speed, buzzer.
// The controls are children of the window's client area and start hidden. Two layouts share the
// protocol area: the two keyboard-delay spinners in Keyboard Wedge mode, the port and baud-rate
// lists in RS232 mode.
class MainSettingsPage {
public:
    MainSettingsPage(QWidget* window, SettingsImage& image);
    MainSettingsPage(const MainSettingsPage&) = delete;
    MainSettingsPage& operator=(const MainSettingsPage&) = delete;

    // Start-up: the delay spinners show 0..254, the port list "Com 1".."Com 98", the speed list
    // the seven rates from 600 to 38400.
    void fillLists();
    void setProtocolCaption(const QString& caption);

    void loadPage();
    void storeMainPage();
    // Shows the page with the layout of the checked mode button (RS232 unless Keyboard Wedge is
    // checked). The caller hides the tree and the page title.
    void showMainPage();
    // Stores the page, then hides every control of it.
    void hideMainPage();

    void applyKeyboardWedgeLayout();
    void applyRs232Layout();

    // Text of the speed list entry that shows baud code `code`; empty for a code with no entry
    // text (above 9).
    static QString baudText(int code);

private:
    void createControls(QWidget* window);
    void connectEvents();
    void setModeButtons(bool keyboardWedge, bool rs232);

    SettingsImage& image_;

    QGroupBox* pageBox_ = nullptr;          // 1007
    QGroupBox* modeBox_ = nullptr;          // 1010
    QButtonGroup* modeGroup_ = nullptr;     // keeps the two mode buttons apart from other pages'
    QRadioButton* keyboardWedge_ = nullptr; // 1008
    QRadioButton* rs232_ = nullptr;         // 1009
    QGroupBox* protocolBox_ = nullptr;      // 1011
    QLabel* scanDelayLabel_ = nullptr;      // 1012
    QLabel* scanDelayRange_ = nullptr;      // 1013
    QSpinBox* scanDelay_ = nullptr;         // 1016
    QLabel* charDelayLabel_ = nullptr;      // 1014
    QLabel* charDelayRange_ = nullptr;      // 1015
    QSpinBox* charDelay_ = nullptr;         // 1017
    QLabel* comPortLabel_ = nullptr;        // 1030
    QComboBox* comPort_ = nullptr;          // 1031
    QLabel* baudLabel_ = nullptr;           // 1020
    QComboBox* baud_ = nullptr;             // 1019
    QCheckBox* buzzer_ = nullptr;           // 1023
};
