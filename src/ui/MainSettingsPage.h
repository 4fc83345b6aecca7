#pragma once

#include "ui/SettingsPage.h"

#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;

// The Main Settings page: operating mode, keyboard timing, serial port and speed, buzzer. Two
// layouts share the protocol area: the two keyboard-delay spinners in Keyboard Wedge mode, the
// port and baud-rate lists in RS232 mode. The mode buttons write operating_mode through the
// layouts; the buzzer, the port and the rate are written when the operator changes them, and
// everything when the page is stored.
class MainSettingsPage : public SettingsPage {
    Q_OBJECT

public:
    MainSettingsPage(SettingsImage& image, QWidget* parent);

    // Start-up: the delay spinners cover the delays' range, the port list holds "Com 1" to
    // "Com 98", the speed list the seven rates.
    void fillLists();
    void setProtocolCaption(const QString& caption);
    // The layout of the checked mode button (RS232 unless Keyboard Wedge is checked).
    void applyLayout();
    void applyKeyboardWedgeLayout();
    void applyRs232Layout();

    // The speed list entry's text for a baud code; empty for a code with no text (above 9).
    static QString baudText(int code);

private:
    struct DelayIds {
        int label;
        int spinner;
        int range;
    };
    // A delay row at a height: its caption, its spinner and its range.
    QSpinBox* addDelay(std::string_view key, DelayIds ids, int top, const QString& range);
    // A serial row: its caption and its list, placed by the RS232 layout.
    QComboBox* addSerialRow(std::string_view key, int labelId, int listId);
    void showDelayRows(bool shown);
    // A control named, for a screen reader, by the caption in front of it.
    static void nameByLabel(QWidget* control, QLabel* label);

    QGroupBox* protocolBox_ = nullptr;
    QRadioButton* keyboardWedge_ = nullptr;
    std::vector<QSpinBox*> delays_;
    std::vector<QWidget*> delayRows_;  // captions, spinners and ranges
    std::vector<QWidget*> serialRows_; // "Com Port", its list, "Baud Rate(BPS)", its list
    QComboBox* comPort_ = nullptr;
    QComboBox* baud_ = nullptr;
};
