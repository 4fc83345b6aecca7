#pragma once

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

// The open and save dialogs of the File menu. Each opens in `folder` (the folder of the current
// settings file) and returns the chosen file name, or nothing when the operator cancels. The
// window shows file dialogs; tests answer from a script.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // "&Load setting file": an existing file to read.
    virtual std::optional<std::string> chooseFileToLoad(const std::string& folder) = 0;
    // "Save &as .......": the name to write. The dialog asks before an existing file is
    // overwritten, under the name that will actually be written (see withSettingsExtension).
    // `note`, when not empty, is a line shown in the dialog: why it opened.
    virtual std::optional<std::string> chooseFileToSave(const std::string& folder,
                                                        const std::string& note = {}) = 0;

    // The name "Save &as ......." writes: the chosen one, with ".cfg" appended unless it already
    // ends in it, in any case ("UP.CFG" stays as it is).
    static std::string withSettingsExtension(std::string name) {
        std::string ending = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
        std::transform(ending.begin(), ending.end(), ending.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ending != ".cfg") {
            name += ".cfg";
        }
        return name;
    }
};
