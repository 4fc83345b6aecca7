#include "cli/PortsCommand.h"

#include "cli/CommandGroups.h"
#include "cli/ExitCode.h"
#include "cli/PortName.h"
#include "cli/PortSurvey.h"
#include "operations/FailureDescription.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>

namespace {

constexpr int kSurveyedPorts = 9;

std::string yesNo(const std::optional<bool>& value) {
    return !value ? "-" : *value ? "yes" : "no";
}

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
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
    object["device"] = textOrNull(status.device);
    object["target"] = textOrNull(status.target);
    object["exists"] = status.exists;
    object["mayOpen"] = optionalJson(status.mayOpen);
    object["held"] = optionalJson(status.held);
    object["usable"] = !status.failure.failed();
    object["reason"] = textOrNull(status.failure.failed() ? briefFailure(status.failure) : "");
    return object;
}

nlohmann::ordered_json adapterJson(const PortSurvey::Adapter& adapter) {
    nlohmann::ordered_json object;
    object["adapter"] = adapter.link;
    object["target"] = adapter.target;
    object["suggestedPort"] = adapter.suggestedPort != 0
                                  ? nlohmann::ordered_json(adapter.suggestedPort)
                                  : nlohmann::ordered_json(nullptr);
    object["mapCommand"] = textOrNull(adapter.mapCommand);
    return object;
}

// The table names the places a port was looked for only in its header's footnote; a missing
// port is just "no device". The JSON keeps the whole reason.
std::string tableNote(const Failure& failure) {
    if (!failure.failed()) {
        return "";
    }
    if (failure.kind == FailureKind::NoSuchPort && !failure.tried.empty()) {
        return "no device";
    }
    return briefFailure(failure);
}

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + "  " : text + std::string(width - text.size() + 2, ' ');
}

void printTable(CommandContext& context, const std::vector<PortSurvey::Status>& statuses) {
    using Row = std::array<std::string, 6>;
    std::vector<Row> rows{{"PORT", "DEVICE", "EXISTS", "ACCESS", "HELD", "NOTE"}};
    for (const PortSurvey::Status& status : statuses) {
        rows.push_back({status.label, deviceText(status), status.exists ? "yes" : "no",
                        yesNo(status.mayOpen), yesNo(status.held), tableNote(status.failure)});
    }
    std::array<std::size_t, 5> widths{};
    for (const Row& row : rows) {
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            line += padded(row[column], widths[column]);
        }
        line += row[5];
        line.erase(line.find_last_not_of(' ') + 1);
        context.printLine(line);
    }
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

} // namespace

void PortsCommand::define(CLI::App& subcommand) {
    subcommand.add_option("-p,--port", ports_,
                          "Also check this port: a number (3, COM3) or a device path; repeatable");
}

int PortsCommand::run(CommandContext& context) {
    std::vector<PortName> portNames;
    for (int n = 1; n <= kSurveyedPorts; ++n) {
        portNames.push_back(PortName::number(n));
    }
    for (const std::string& text : ports_) {
        const std::optional<PortName> portName = PortName::parse(text);
        if (!portName) {
            context.error(PortName::notAPort(text));
            return ExitCode::kUsage;
        }
        const bool listed =
            std::any_of(portNames.begin(), portNames.end(),
                        [&](const PortName& known) { return known.label() == portName->label(); });
        if (!listed) {
            portNames.push_back(*portName);
        }
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
        printAdapters(context, adapters);
    }
    return ExitCode::kSuccess;
}

void addPortCommands(CommandLine& commandLine) {
    commandLine.add("ports",
                    "Show COM1..COM9 (and the --port ports): device, whether it exists, may be "
                    "opened, is held; and the USB serial adapters no port number leads to",
                    std::make_unique<PortsCommand>());
}
