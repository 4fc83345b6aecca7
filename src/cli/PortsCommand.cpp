#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "link/PortName.h"
#include "link/PortSurvey.h"
#include "operations/FailureDescription.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace {

constexpr int kSurveyedPorts = 9;

std::string yesNo(const std::optional<bool>& value) {
    return !value ? "-" : *value ? "yes" : "no";
}

nlohmann::ordered_json optionalJson(const std::optional<bool>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

std::string deviceText(const PortSurvey::Status& status) {
    if (status.device.empty()) {
        return "-";
    }
    if (status.target.empty() || status.target == status.device) {
        return status.device;
    }
    return status.device + " -> " + status.target;
}

nlohmann::ordered_json portJson(const PortSurvey::Status& status) {
    nlohmann::ordered_json object;
    object["port"] = status.label;
    object["number"] = status.portNumber;
    object["device"] = CommandContext::textOrNull(status.device);
    object["target"] = CommandContext::textOrNull(status.target);
    object["exists"] = status.exists;
    object["may_open"] = optionalJson(status.mayOpen);
    object["held"] = optionalJson(status.held);
    object["holder"] = CommandContext::textOrNull(status.failure.holder);
    object["holder_pid"] = status.failure.holderPid != 0
                               ? nlohmann::ordered_json(status.failure.holderPid)
                               : nlohmann::ordered_json(nullptr);
    object["usable"] = !status.failure.failed();
    object["error"] = CommandContext::textOrNull(failureWord(status.failure.kind));
    object["reason"] =
        CommandContext::textOrNull(status.failure.failed() ? briefFailure(status.failure) : "");
    return object;
}

nlohmann::ordered_json adapterJson(const PortSurvey::Adapter& adapter) {
    nlohmann::ordered_json object;
    object["adapter"] = adapter.link;
    object["target"] = adapter.target;
    object["suggested_port"] = adapter.suggestedPort != 0
                                   ? nlohmann::ordered_json(adapter.suggestedPort)
                                   : nlohmann::ordered_json(nullptr);
    object["map_command"] = CommandContext::textOrNull(adapter.mapCommand);
    return object;
}

// The table names the places a port was looked for only in its header's footnote; a missing
// port is just "no device"; a path where something else is says what it is. The JSON keeps
// the whole reason.
std::string tableNote(const Failure& failure) {
    if (!failure.failed()) {
        return "";
    }
    std::error_code ignored;
    if (failure.kind == FailureKind::NoSuchPort && !failure.tried.empty() &&
        !std::filesystem::exists(failure.device, ignored)) {
        return "no device";
    }
    return briefFailure(failure);
}

void printTable(CommandContext& context, const std::vector<PortSurvey::Status>& statuses) {
    std::vector<std::vector<std::string>> rows{
        {"PORT", "DEVICE", "EXISTS", "ACCESS", "HELD", "NOTE"}};
    for (const PortSurvey::Status& status : statuses) {
        rows.push_back({status.label, deviceText(status), status.exists ? "yes" : "no",
                        yesNo(status.mayOpen), yesNo(status.held), tableNote(status.failure)});
    }
    context.printRows(rows);
}

// Where COMn is looked for, first to last (the user's map, the system's, Wine's, /dev/ttyS), as
// patterns: "~/.config/r550tool/ports/comN, /etc/r550tool/ports/comN, ...".
void printPlaces(CommandContext& context) {
    std::string places;
    for (const std::filesystem::path& place : context.portMap().candidates(1)) {
        std::string text = place.string();
        text = text == "/dev/ttyS0" ? "/dev/ttyS<n-1>" : text.substr(0, text.size() - 1) + "N";
        places += (places.empty() ? "" : ", ") + text;
    }
    context.printLine("");
    context.printLine("COMn is the first of: " + places);
}

void printAdapters(CommandContext& context, const std::vector<PortSurvey::Adapter>& adapters) {
    if (adapters.empty()) {
        return;
    }
    context.printLine("");
    context.printLine("Serial devices that no port number leads to:");
    for (const PortSurvey::Adapter& adapter : adapters) {
        context.printLine("  " + adapter.link + " -> " + adapter.target);
        context.printLine(adapter.mapCommand.empty()
                              ? "    no free port number to map it to"
                              : "    as COM" + std::to_string(adapter.suggestedPort) + ": " +
                                    adapter.mapCommand);
    }
}

// r550ctl ports [--port N|PATH]...: COM1..COM9 and the ports given, each with the device it
// leads to, whether that exists, whether this user may open it and whether another program holds
// it (and which, where it can be seen); then the USB serial adapters no port number leads to, with
// the line that maps each.
class PortsCommand final : public Command {
public:
    void define(CLI::App& subcommand) override {
        subcommand
            .add_option("-p,--port", ports_,
                        "Also check this port: a number (3, COM3) or a device path; repeatable")
            ->type_name("N|PATH");
    }
    int run(CommandContext& context) override;

private:
    std::vector<std::string> ports_;
};

int PortsCommand::run(CommandContext& context) {
    std::vector<std::string> texts;
    for (int n = 1; n <= kSurveyedPorts; ++n) {
        texts.push_back("COM" + std::to_string(n));
    }
    texts.insert(texts.end(), ports_.begin(), ports_.end());
    std::vector<PortName> portNames;
    if (!context.parsePorts(texts, portNames)) {
        return ExitCode::kUsage;
    }

    const PortSurvey survey(context.portMap(), context.byIdFolder());
    std::vector<PortSurvey::Status> statuses;
    for (const PortName& portName : portNames) {
        statuses.push_back(survey.check(portName));
    }
    const std::vector<PortSurvey::Adapter> adapters = survey.unmappedAdapters();

    if (context.json) {
        for (const PortSurvey::Status& status : statuses) {
            context.printJson(portJson(status));
        }
        for (const PortSurvey::Adapter& adapter : adapters) {
            context.printJson(adapterJson(adapter));
        }
    } else {
        printTable(context, statuses);
        printPlaces(context);
        printAdapters(context, adapters);
    }
    return ExitCode::kSuccess;
}

} // namespace

std::unique_ptr<Command> makePortsCommand() {
    return std::make_unique<PortsCommand>();
}
