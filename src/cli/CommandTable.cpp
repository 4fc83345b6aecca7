#include "cli/CommandTable.h"

#include <algorithm>
#include <iterator>

namespace {

const CommandTable::Entry kEntries[] = {
    {"ports",
     "Show COM1..COM9 (and the --port ports): device, whether it exists, may be opened, is held; "
     "and the USB serial adapters no port number leads to",
     true, makePortsCommand},
    {"detect",
     "Probe COM1..COM9 at the same time (--usb: also the USB serial adapters; --keyboard: also "
     "the keyboard line) and show each reader that answers",
     true, makeDetectCommand},
    {"version", "Show each reader's firmware version", true, makeVersionCommand},
    {"program", "Program FILE's settings into each reader (--verify: and check)", true,
     makeProgramCommand},
    {"read", "Read each reader's main settings back over BASE's (-o: into a settings file)", true,
     makeReadCommand},
    {"verify", "Read each reader's main settings back and list the settings that differ from FILE",
     true, makeVerifyCommand},
    {"reset", "Reset each reader to its factory settings", true, makeResetCommand},
    {"apply",
     "Bring each reader to FILE's settings, writing only to readers that differ (--check: only "
     "tell; --watch: each reader as it is plugged in)",
     true, makeApplyCommand},
    {"monitor",
     "Print what a reader on RS232 sends when a card is swiped, one line per burst, until Ctrl+C",
     true, makeMonitorCommand},
    {"show", "Show every named setting of a settings file as name=value", false, makeShowCommand},
    {"diff", "Show the named settings that differ between two settings files; exit 1 when any do",
     false, makeDiffCommand},
    {"set", "Change named settings of a settings file (name=value...), all or none, atomically",
     false, makeSetCommand},
    {"new", "Write a settings file with the factory values", false, makeNewCommand},
    {"check",
     "List every setting of each settings file that holds none of its values, and a length "
     "other than 3060; exit 2 when any does",
     false, makeCheckCommand},
    {"names", "List the named settings and the values each takes", false, makeNamesCommand},
};

} // namespace

std::span<const CommandTable::Entry> CommandTable::entries() {
    return kEntries;
}

const CommandTable::Entry* CommandTable::find(const std::string& name) {
    const auto found = std::find_if(std::begin(kEntries), std::end(kEntries),
                                    [&name](const Entry& entry) { return name == entry.name; });
    return found == std::end(kEntries) ? nullptr : &*found;
}

std::vector<CommandOption> CommandTable::commonOptions(bool& json, bool& quiet) {
    return {{"--json", "Print one JSON object per line instead of text", &json},
            {"-q,--quiet", "No notes on stderr; errors still show", &quiet}};
}
