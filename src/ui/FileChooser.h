#pragma once

#include <optional>
#include <string>

// The open and save dialogs of the File menu. Each returns the chosen file name, or nothing when
// the operator cancels. The window shows file dialogs; tests answer from a script.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // "&Load setting file": an existing file to read.
    virtual std::optional<std::string> chooseFileToLoad() = 0;
    // "Save &as .......": the name to write. The dialog asks before an existing file is
    // overwritten, under the name that will actually be written (see withSettingsExtension).
    virtual std::optional<std::string> chooseFileToSave() = 0;

    // The name "Save &as ......." writes: the chosen one, with ".cfg" appended unless it already
    // ends in it.
    static std::string withSettingsExtension(std::string name) {
        if (!name.ends_with(".cfg")) {
            name += ".cfg";
        }
        return name;
    }
};
