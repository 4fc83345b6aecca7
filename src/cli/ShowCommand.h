#pragma once

#include "cli/Command.h"

#include <string>

class SettingsFileContents;

// r550ctl show FILE: every named setting of a settings file and its value, one "name  value"
// line each in the table's order, or one JSON object each ({"name", "value"}). The values are the
// text forms that `set` takes. A file that is not 3060 bytes long is read as the window's Load
// reads it, with a warning.
class ShowCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

    // Reads a file for show and diff, which read any file: "r550ctl: REASON" when it cannot be
    // read; when it is not one block long, the size warning as a note.
    static bool loadAnyLength(SettingsFileContents& file, const std::string& path,
                              CommandContext& context);

private:
    std::string file_;
};
