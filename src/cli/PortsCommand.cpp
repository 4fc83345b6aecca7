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

std::string deviceText(const PortSurvey::Status& status) {
    if (status.device.empty()) {
        return "-";
    }
    if (status.target.empty() || status.target == status.device) {
        return status.device;
    }
    return status.device + " -> " + status.target;
}

// The table names the places a port was looked for only in its header's footnote; a missing
// port is just "no device"; a path where something else is says what it is. The JSON keeps
// the whole reason.
std::string tableNote(const PortSurvey::Status& status) {
    const Failure& failure = status.failure;
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

using Status = PortSurvey::Status;

const RecordField<Status> kPortFields[] = {
    {"port", "PORT", FieldType::Text, [](const Status& s) { return FieldValue(s.label); }},
    {"number", "", FieldType::Number, [](const Status& s) { return FieldValue(s.portNumber); }},
    {"device", "DEVICE", FieldType::Text,
     [](const Status& s) { return FieldValue::textOrNull(s.device); }, deviceText},
    {"target", "", FieldType::Text,
     [](const Status& s) { return FieldValue::textOrNull(s.target); }},
    {"exists", "EXISTS", FieldType::Flag, [](const Status& s) { return FieldValue(s.exists); }},
    {"may_open", "ACCESS", FieldType::Flag,
     [](const Status& s) { return FieldValue::flagOrNull(s.mayOpen); }},
    {"held", "HELD", FieldType::Flag,
     [](const Status& s) { return FieldValue::flagOrNull(s.held); }},
    {"holder", "", FieldType::Text,
     [](const Status& s) { return FieldValue::textOrNull(s.failure.holder); }},
    {"holder_pid", "", FieldType::Number,
     [](const Status& s) { return FieldValue::numberOrNull(s.failure.holderPid); }},
    {"usable", "", FieldType::Flag,
     [](const Status& s) { return FieldValue(!s.failure.failed()); }},
    {"error", "", FieldType::Text,
     [](const Status& s) { return FieldValue::textOrNull(failureWord(s.failure.kind)); }},
    {"reason", "", FieldType::Text,
     [](const Status& s) {
         return FieldValue::textOrNull(s.failure.failed() ? briefFailure(s.failure) : "");
     }},
    {"", "NOTE", FieldType::Text, nullptr, tableNote},
};

using Adapter = PortSurvey::Adapter;

// An adapter's text is the lines printAdapters writes.
const RecordField<Adapter> kAdapterFields[] = {
    {"adapter", "", FieldType::Text, [](const Adapter& a) { return FieldValue(a.link); }},
    {"target", "", FieldType::Text, [](const Adapter& a) { return FieldValue(a.target); }},
    {"suggested_port", "", FieldType::Number,
     [](const Adapter& a) { return FieldValue::numberOrNull(a.suggestedPort); }},
    {"map_command", "", FieldType::Text,
     [](const Adapter& a) { return FieldValue::textOrNull(a.mapCommand); }},
};

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
    std::vector<CommandOption> options() override {
        return {{"-p,--port",
                 "Also check this port: a number (3, COM3) or a device path; repeatable", &ports_,
                 "N|PATH"}};
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

    context.printRecords(RecordTable<Status>(kPortFields), statuses, true);
    if (context.json) {
        context.printRecords(RecordTable<Adapter>(kAdapterFields), adapters);
    } else {
        printPlaces(context);
        printAdapters(context, adapters);
    }
    return ExitCode::kSuccess;
}

} // namespace

std::unique_ptr<Command> makePortsCommand() {
    return std::make_unique<PortsCommand>();
}
