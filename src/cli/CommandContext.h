#pragma once

#include "cli/FieldValue.h"
#include "cli/RecordTable.h"
#include "link/PortMap.h"
#include "link/PortName.h"
#include "link/TransferPacer.h"

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <string>
#include <vector>

class InterruptSignals;
class SettingsFileContents;
class SettingsImage;
struct CommandOption;

// What every subcommand shares: the common options, the port map, where the system lists USB
// serial adapters, the two output streams (data on stdout, messages on stderr), and the helpers
// that more than one command needs: the one text renderer of rows, the JSON renderer, --port and
// --pace, and Ctrl+C.
class CommandContext {
public:
    // The folder the system keeps its links to serial adapters in.
    static constexpr const char* kByIdFolder = "/dev/serial/by-id";

    CommandContext(PortMap portMap, std::filesystem::path byIdFolder, std::ostream& out,
                   std::ostream& err);

    // The port map of the environment (R550_PORTS_DIR, HOME, WINEPREFIX), and the adapter folder
    // from R550_BY_ID_DIR, which exists for tests only, or kByIdFolder.
    static CommandContext fromEnvironment(std::ostream& out, std::ostream& err);

    // The common options, set while the command line is read.
    bool json = false;  // one JSON object per line on stdout instead of text
    bool quiet = false; // no notes on stderr; errors still show

    const PortMap& portMap() const { return portMap_; }
    const std::filesystem::path& byIdFolder() const { return byIdFolder_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

    // A line of data on stdout, flushed at once so that a script reading a pipe sees it.
    void printLine(const std::string& line);
    // A settings block's 3060 bytes on stdout (`-o -`, `new -`).
    void printBlock(const SettingsImage& image);
    // One JSON object as one line on stdout, its members in the order they were set. Bytes that
    // are not UTF-8 (a device path may hold any) are replaced instead of failing the whole line.
    void printJson(const nlohmann::ordered_json& object);
    void printJson(const Record& record);
    // Rows of cells as lines, the columns lined up (see tableLines).
    void printRows(const std::vector<std::vector<std::string>>& rows,
                   const std::vector<std::size_t>& rightAligned = {});
    // The one rendering of records: one JSON object per row with --json; otherwise the rows'
    // text columns lined up (under their headings with `headings`), each followed by its lines.
    template <class Row>
    void printRecords(const RecordTable<Row>& table, const std::vector<Row>& rows,
                      bool headings = false, const std::vector<std::size_t>& rightAligned = {}) {
        std::vector<std::vector<std::string>> text;
        if (headings && !json) {
            text.push_back(table.headings());
        }
        for (const Row& row : rows) {
            if (json) {
                printJson(table.record(row));
                continue;
            }
            const std::vector<std::vector<std::string>> own = table.rows(row);
            text.insert(text.end(), own.begin(), own.end());
        }
        printRows(text, rightAligned);
    }
    // "r550ctl: TEXT" on stderr, whatever --quiet says; control bytes (of an argument it echoes)
    // shown as \xHH. printRows shows them so too.
    void error(const std::string& text);
    // "r550ctl: TEXT" on stderr, unless --quiet.
    void note(const std::string& text);

    // Checks that stdout took everything, at the end of a command: false, with the message
    // shown, when a write failed.
    bool outputComplete();

    // --port texts as ports, each device once however it was named; false with the message shown
    // for a text that names no port.
    bool parsePorts(const std::vector<std::string>& texts, std::vector<PortName>& ports);
    // False, with the message shown, when R550_PORT_IO names no way to the keyboard controller.
    bool portIoSettingUsable();
    // Ctrl+C and the other interrupt signals taken: false with the message shown when they
    // cannot be.
    bool signalsReady(const InterruptSignals& signals);

    // How a command takes a settings file that is not 3060 bytes long: refused, read over the
    // factory values with a warning that shows even under --quiet, or with a note.
    enum class Length { Refused, Warned, Noted };
    // Reads a settings file over the factory values as the window's Load does; false, with the
    // message shown, when it cannot be used.
    bool loadSettingsFile(SettingsFileContents& file, const std::string& path, Length length);
    // Whether a settings file may be written at `path`, told before anything is done: an existing
    // file only with `force`, and never over anything that is no settings file. False with the
    // message shown.
    bool outputAllowed(const std::string& path, bool force);

    // --pace reader|window, described by `readerMeaning`.
    static CommandOption paceOption(std::string& pace, const std::string& readerMeaning);
    static Pace paceOf(const std::string& pace) {
        return pace == "window" ? Pace::Window : Pace::Reader;
    }

private:
    void noteOutput();

    PortMap portMap_;
    std::filesystem::path byIdFolder_;
    std::ostream& out_;
    std::ostream& err_;
    int outputError_ = 0;
};
