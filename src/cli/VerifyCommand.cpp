#include "cli/VerifyCommand.h"

#include "cli/ExitCode.h"
#include "cli/ReaderSession.h"
#include "operations/DeviceTransaction.h"
#include "settings/SettingDifferences.h"

#include <memory>

void VerifyCommand::recordDifferences(ReaderSession& session, const SettingsImage& file,
                                      const SettingsImage& reader) {
    ReaderResult& result = session.result;
    const std::vector<SettingDifference> differences = settingDifferences(file, reader);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SettingDifference& difference : differences) {
        const std::string name(difference.setting->name);
        result.lines.push_back(name + ": file " + difference.first + ", reader " +
                               difference.second);
        list.push_back({{"name", name}, {"file", difference.first}, {"reader", difference.second}});
    }
    result.extra["differences"] = list;
    if (differences.empty()) {
        result.status = ReaderResult::Status::Ok;
        result.detail = "same settings";
        return;
    }
    result.status = ReaderResult::Status::Differs;
    result.reason = std::to_string(differences.size()) +
                    (differences.size() == 1 ? " setting differs" : " settings differ");
}

void VerifyCommand::defineOwn(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file to compare the readers with")
        ->required();
}

std::optional<int> VerifyCommand::prepare(CommandContext& context) {
    if (!loadSettingsFile(context, file_, image_)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

void VerifyCommand::begin(ReaderSession& session) {
    auto readBack = std::make_shared<SettingsImage>(image_);
    session.run(
        DeviceTransaction::loadMainSettings(session.transferPort()), "reading",
        [this, readBack](ReaderSession& reader, const Outcome& outcome) {
            if (record(reader, outcome)) {
                recordDifferences(reader, image_, *readBack);
            }
        },
        readBack.get());
}
