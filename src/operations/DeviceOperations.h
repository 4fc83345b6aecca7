#pragma once

#include <string>

class OperatorMessages;
class PageHost;
class SettingsImage;
class TransactionRunner;

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
    SettingsImage& image_;
    TransactionRunner& runner_;
    OperatorMessages& messages_;
    PageHost& pages_;
    std::string applicationName_;
    std::string defaultFile_;
};
