#pragma once

#include <string>

class OperatorMessages;
class PageHost;
class SettingsImage;
class TransactionRunner;
struct Transfer;

// The device commands of the menus: build a frame batch from the settings block, run it as one
// transaction, and turn the outcome into an operator message and into settings.
class DeviceOperations {
public:
    // applicationName is the caption of "Load Error" and of the firmware version text;
    // defaultFile is where the factory values are written after a reset.
    DeviceOperations(SettingsImage& image, TransactionRunner& runner, OperatorMessages& messages,
                     PageHost& pages, std::string applicationName,
                     std::string defaultFile = "Default.cfg");

    void programAllViaKeyboard();       // "via &Keyboard", command 32780
    void programAllViaSerial();         // "via &RS232", command 32781
    void loadMainSettingsFromReader();  // command 32782
    void detectFirmwareVersion();       // command 32783
    void resetReaderToFactoryDefault(); // command 32784

private:
    // The check of the commands that work over RS232 only: false, after the refusal message,
    // when the reader sits in the keyboard line or was never found.
    bool passesRs232Guard();
    // The serial port of an RS232-only command, or 0 when com_port names none: port 0 would send
    // the first frame through the keyboard line, which cannot answer.
    int rs232Port() const;
    // Runs a programming transfer and reports its outcome, with the command's own error text.
    void runProgramming(Transfer& transfer, const char* errorText);

    SettingsImage& image_;
    TransactionRunner& runner_;
    OperatorMessages& messages_;
    PageHost& pages_;
    std::string applicationName_;
    std::string defaultFile_;
};
