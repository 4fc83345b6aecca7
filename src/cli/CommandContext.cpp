#include "cli/CommandContext.h"

#include "base/InterruptSignals.h"
#include "base/TextTable.h"
#include "cli/CommandOption.h"
#include "link/PortIoSelection.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileContents.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>

namespace {

// A text that echoes what was typed (a path, an option) with its control bytes as \xHH, so that
// an escape sequence in an argument cannot act on the terminal or split a line.
std::string escapedControls(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace

CommandContext::CommandContext(PortMap portMap, std::filesystem::path byIdFolder, std::ostream& out,
                               std::ostream& err)
    : portMap_(std::move(portMap)), byIdFolder_(std::move(byIdFolder)), out_(out), err_(err) {}

CommandContext CommandContext::fromEnvironment(std::ostream& out, std::ostream& err) {
    const char* byId = std::getenv("R550_BY_ID_DIR");
    return CommandContext(PortMap::fromEnvironment(),
                          byId != nullptr && *byId != '\0' ? byId : kByIdFolder, out, err);
}

void CommandContext::noteOutput() {
    if (!out_ && outputError_ == 0) {
        outputError_ = errno != 0 ? errno : EIO;
    }
}

void CommandContext::printLine(const std::string& line) {
    errno = 0;
    out_ << line << '\n' << std::flush;
    noteOutput();
}

void CommandContext::printBlock(const SettingsImage& image) {
    errno = 0;
    out_.write(reinterpret_cast<const char*>(image.raw().data()),
               static_cast<std::streamsize>(image.raw().size()))
        << std::flush;
    noteOutput();
}

void CommandContext::printJson(const nlohmann::ordered_json& object) {
    printLine(object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

void CommandContext::printJson(const Record& record) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [key, value] : record) {
        object[key] = value.json();
    }
    printJson(object);
}

void CommandContext::printRows(const std::vector<std::vector<std::string>>& rows,
                               const std::vector<std::size_t>& rightAligned) {
    std::vector<std::vector<std::string>> shown = rows;
    for (std::vector<std::string>& row : shown) {
        for (std::string& cell : row) {
            cell = escapedControls(cell);
        }
    }
    for (const std::string& line : tableLines(shown, rightAligned)) {
        printLine(line);
    }
}

void CommandContext::error(const std::string& text) {
    err_ << "r550ctl: " << escapedControls(text) << '\n' << std::flush;
}

void CommandContext::note(const std::string& text) {
    if (!quiet) {
        error(text);
    }
}

bool CommandContext::outputComplete() {
    errno = 0;
    out_.flush();
    noteOutput();
    if (outputError_ == 0) {
        return true;
    }
    error(std::string("standard output: ") + std::strerror(outputError_));
    return false;
}

bool CommandContext::parsePorts(const std::vector<std::string>& texts,
                                std::vector<PortName>& ports) {
    const std::optional<std::string> problem = PortName::parseEach(texts, portMap_, ports);
    if (problem) {
        error(*problem);
    }
    return !problem;
}

bool CommandContext::portIoSettingUsable() {
    const std::string problem = portIoSettingProblem(std::getenv("R550_PORT_IO"));
    if (!problem.empty()) {
        error(problem);
    }
    return problem.empty();
}

bool CommandContext::signalsReady(const InterruptSignals& signals) {
    if (!signals.valid()) {
        error(std::string("Ctrl+C cannot be taken: ") + std::strerror(errno));
    }
    return signals.valid();
}

bool CommandContext::loadSettingsFile(SettingsFileContents& file, const std::string& path,
                                      Length length) {
    if (!file.load(path)) {
        error(file.reason());
        return false;
    }
    if (file.wholeBlock()) {
        return true;
    }
    if (length == Length::Refused) {
        error(file.sizeText() +
              "; not a whole settings file, nothing sent (--any-length lays it over the factory "
              "values)");
        return false;
    }
    if (length == Length::Warned) {
        error(file.sizeWarning());
    } else {
        note(file.sizeWarning());
    }
    return true;
}

bool CommandContext::outputAllowed(const std::string& path, bool force) {
    std::error_code ignored;
    // A link, even one to nothing, counts as there: the write would replace what it leads to.
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(path, ignored))) {
        error(path + ": exists; --force replaces it.");
        return false;
    }
    SettingsFileReport report;
    if (checkSettingsFileTarget(path, report) != 0) {
        error(report.reason);
        return false;
    }
    return true;
}

CommandOption CommandContext::paceOption(std::string& pace, const std::string& readerMeaning) {
    CommandOption option{
        "--pace", "reader: " + readerMeaning + " (default); window: the window's 500 ms ticks",
        &pace, "reader|window"};
    option.choices = {"reader", "window"};
    return option;
}
