#include "cli/ReadCommand.h"

#include "cli/ExitCode.h"
#include "cli/ReaderSession.h"
#include "operations/DeviceTransaction.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsFile.h"

#include <filesystem>

std::string ReadCommand::fileFor(const std::string& pattern, const ReaderSession& session) {
    const std::string port = session.portName().portNumber() != 0
                                 ? session.label()
                                 : session.portName().device().filename().string();
    std::string name = pattern;
    const std::string field = kPortField;
    for (std::size_t at = name.find(field); at != std::string::npos;
         at = name.find(field, at + port.size())) {
        name.replace(at, field.size(), port);
    }
    return name;
}

void ReadCommand::defineOwn(CLI::App& subcommand) {
    subcommand
        .add_option("-o,--output", output_,
                    "Write the result to this settings file ({port} stands for the "
                    "reader's port)")
        ->type_name("FILE");
    subcommand
        .add_option("--into", base_,
                    "Lay the read-back over this settings file's block (default: factory "
                    "values)")
        ->type_name("BASE.cfg");
}

std::optional<int> ReadCommand::prepare(CommandContext& context) {
    if (base_.empty()) {
        writeFactoryValues(image_);
    } else if (!loadSettingsFile(context, base_, image_)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

std::optional<int> ReadCommand::checkReaders(CommandContext& context, std::size_t readers) {
    if (!output_.empty() && readers > 1 && output_.find(kPortField) == std::string::npos) {
        context.error("-o " + output_ + ": " + std::to_string(readers) +
                      " readers would write one file; put {port} in its name");
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

void ReadCommand::begin(ReaderSession& session) {
    auto readBack = std::make_shared<SettingsImage>(image_);
    readBacks_[&session] = readBack;
    session.run(
        DeviceTransaction::loadMainSettings(session.transferPort()), "reading",
        [this, readBack](ReaderSession& reader, const Outcome& outcome) {
            if (!record(reader, outcome) || !output_.empty()) {
                return;
            }
            nlohmann::ordered_json settings = nlohmann::ordered_json::object();
            for (const NamedSetting& setting : SettingTable::all()) {
                const std::string name(setting.name);
                const std::string value = settingText(setting, *readBack);
                reader.result.lines.push_back(name + "=" + value);
                settings[name] = value;
            }
            reader.result.extra["settings"] = settings;
        },
        readBack.get());
}

int ReadCommand::conclude(CommandContext& context, const std::vector<ReaderSession*>& sessions) {
    if (output_.empty()) {
        return ExitCode::kSuccess;
    }
    int status = ExitCode::kSuccess;
    for (ReaderSession* session : sessions) {
        if (!session->result.succeeded()) {
            continue;
        }
        const std::string file = fileFor(output_, *session);
        ReaderResult& result = session->result;
        SettingsFileReport report;
        if (writeSettingsFile(*readBacks_.at(session), file, report) != 0) {
            context.error(report.reason);
            result.status = ReaderResult::Status::Failed;
            result.reason = "read, but " + file + " cannot be written";
            status = ExitCode::kUsage;
            continue;
        }
        result.detail = "written to " + file;
        result.extra["file"] = file;
    }
    return status;
}
