#include "cli/ApplyWatch.h"
#include "cli/DeviceCommand.h"
#include "cli/ExitCode.h"
#include "cli/Reader.h"
#include "cli/SettingRecord.h"
#include "operations/ReadBackCoverage.h"
#include "operations/ReaderApply.h"
#include "settings/SettingProfile.h"
#include "settings/SettingsImage.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace {

std::string countOf(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " setting" : " settings");
}

// The reader's result from how the apply ended: one of the outcomes "unchanged", "changed",
// "would_change" (which counts as differing), "differs" (still, after programming) and "failed",
// with the JSON members `error`, `changed` and `differences` (as verify gives them; null when the
// reader failed before its read-back), and with `list` a line "name: reader -> target" per setting
// after the result line.
void takeApplied(Reader& reader, const ReaderApply::Result& applied, bool list) {
    ReaderResult& result = reader.result;
    for (const SettingDifference& difference : applied.differences) {
        if (list && applied.readBack != nullptr && applied.target != nullptr) {
            result.lines.push_back(SettingRecord::differenceLine(
                *difference.setting, *applied.readBack, *applied.target));
        }
    }
    result.extra["changed"] = applied.changed;
    const bool compared = applied.ending != ReaderApply::Ending::Failed || !applied.during.empty();
    result.extra["differences"] =
        compared && applied.target != nullptr && applied.readBack != nullptr
            ? FieldValue(SettingRecord::differences(*applied.readBack, "reader", *applied.target,
                                                    "file", &applied.differences))
            : FieldValue();
    const std::size_t count = applied.differences.size();
    switch (applied.ending) {
    case ReaderApply::Ending::Failed:
        if (!applied.stopped) {
            result.take(applied.failed);
            result.reason = applied.during + result.reason;
        }
        return;
    case ReaderApply::Ending::Differs: {
        std::string names;
        for (const SettingDifference& difference : applied.left) {
            names += (names.empty() ? "" : ", ") + std::string(difference.setting->name);
        }
        result.fail("", countOf(applied.left.size()) +
                            (applied.left.size() == 1 ? " still differs" : " still differ") +
                            " after programming: " + names);
        result.status = ReaderResult::Status::Differs;
        return;
    }
    case ReaderApply::Ending::Unchanged:
        result.word = "unchanged";
        break;
    case ReaderApply::Ending::WouldChange:
        // As verify and diff: settings that differ make the exit status 1.
        result.status = ReaderResult::Status::Differs;
        result.word = "would_change";
        result.error.clear();
        result.reason.clear();
        result.detail = countOf(count) + " to change";
        return;
    case ReaderApply::Ending::Changed:
        result.word = "changed";
        result.detail = countOf(count) + " changed";
        break;
    }
    result.status = ReaderResult::Status::Ok;
    result.error.clear();
    result.reason.clear();
}

// r550ctl apply FILE (--port N|PATH... | --all [--usb]) [--check] [--diff]: brings each reader
// to FILE's settings, writing only to the readers that hold something else (ReaderApply), and
// tells for each whether it was unchanged, changed, would_change (--check, exit 1 as for a
// difference), still differs or failed. --watch (--port N|PATH... | --usb) keeps doing it for every
// reader plugged in (ApplyWatch). A reader in the keyboard line cannot be read back, so --keyboard
// is refused. --set NAME=VALUE... or --profile FILE in place of FILE bring each reader to the named
// values alone, laid over what it holds; --backup DIR keeps what a reader held before it is
// written.
class ApplyCommand final : public DeviceCommand {
public:
    ApplyCommand()
        : DeviceCommand(false, {"changed", "differences", "backup_file"},
                        "With --all: also the USB serial adapters under /dev/serial/by-id; with "
                        "--watch: each new adapter there") {}

protected:
    std::vector<CommandOption> ownOptions() override;
    std::optional<int> runOwnWay(CommandContext& context) override;
    std::optional<int> prepare(CommandContext& context) override;
    void begin(Reader& reader) override {
        apply_->begin(reader, [this, &reader](const ReaderApply::Result& applied) {
            takeApplied(reader, applied, diff_);
            if (applied.changed) {
                logWrite(reader, watch_ ? "station" : "apply", *applied.target,
                         applied.readBack.get(), "all");
            }
        });
    }

private:
    bool loadFile(CommandContext& context);
    void keepBackups();
    bool readNamed(CommandContext& context, std::vector<SettingAssignment>& named) const;
    int watch(CommandContext& context);

    std::string file_;
    std::string profile_;
    std::vector<std::string> sets_;
    bool check_ = false;
    bool diff_ = false;
    bool watch_ = false;
    bool keyboard_ = false;
    SettingsImage image_;
    std::optional<ReaderApply> apply_;
};

std::vector<CommandOption> ApplyCommand::ownOptions() {
    CommandOption keyboard{"--keyboard",
                           "Refused: a reader in the keyboard line cannot be read back (use "
                           "program --keyboard)",
                           &keyboard_};
    keyboard.offered = false;
    return {{"FILE", "The settings file to bring the readers to: every setting it holds", &file_},
            {"--profile",
             "Only the settings a profile names (name=value lines as show prints them), laid "
             "over what each reader holds",
             &profile_, "FILE"},
            {"--set", "Only this setting, laid over what each reader holds; repeatable", &sets_,
             "NAME=VALUE"},
            {"--check",
             "Only read back and compare: tell which readers would change, write nothing", &check_},
            {"--diff", "List each setting that differs as 'name: reader -> file'", &diff_},
            {"--watch",
             "Keep running: apply FILE to each reader as it appears on a given port or, with "
             "--usb, as a new USB serial adapter; Ctrl+C ends it",
             &watch_},
            anyLengthOption(),
            allowInvalidOption(),
            backupOption(),
            keyboard};
}

std::optional<int> ApplyCommand::runOwnWay(CommandContext& context) {
    if (keyboard_) {
        context.error("apply --keyboard: a reader in the keyboard line cannot be read back, so "
                      "apply cannot tell what it holds; use program --keyboard.");
        return ExitCode::kUsage;
    }
    if (watch_ && allPorts()) {
        context.error("--watch goes with --port N|PATH or --usb, not with --all.");
        return ExitCode::kUsage;
    }
    if (watch_) {
        return watch(context);
    }
    return std::nullopt;
}

bool ApplyCommand::loadFile(CommandContext& context) {
    const int ways = (file_.empty() ? 0 : 1) + (profile_.empty() ? 0 : 1) + (sets_.empty() ? 0 : 1);
    if (ways != 1) {
        context.error("Name what to apply one way: FILE (every setting), --profile FILE or --set "
                      "NAME=VALUE (repeatable).");
        return false;
    }
    if (!file_.empty()) {
        if (!loadSettingsFile(context, file_, image_) || !programmable(context, file_, image_)) {
            return false;
        }
        apply_.emplace(image_, check_);
        keepBackups();
        return true;
    }
    std::vector<SettingAssignment> named;
    if (!readNamed(context, named)) {
        return false;
    }
    apply_.emplace(std::move(named), check_);
    keepBackups();
    return true;
}

void ApplyCommand::keepBackups() {
    if (backingUp()) {
        apply_->beforeWrite([this](ReaderSession& session, const SettingsImage& held) {
            return backUp(static_cast<Reader&>(session), held);
        });
    }
}

// The named values of --set or --profile, every one checked; false with each problem named.
bool ApplyCommand::readNamed(CommandContext& context, std::vector<SettingAssignment>& named) const {
    std::vector<std::string> problems;
    SettingProfile profile;
    if (!profile_.empty()) {
        profile.load(profile_);
        problems = profile.problems();
        named = profile.assignments();
    }
    for (const std::string& text : sets_) {
        SettingAssignment assignment;
        std::string error;
        if (assignment.parse(text, error) == SettingStatus::Ok) {
            named.push_back(assignment);
        } else {
            problems.push_back("--set " + error);
        }
    }
    for (const SettingAssignment& assignment : named) {
        if (!ReadBackCoverage::covers(*assignment.setting())) {
            problems.push_back(std::string(assignment.setting()->name) +
                               " lives on the PC, not in the reader: a reader cannot be read "
                               "back for it, so it cannot be applied");
        }
    }
    if (named.empty() && problems.empty()) {
        problems.push_back(profile_ + ": names no setting");
    }
    for (const std::string& problem : problems) {
        context.error(problem);
    }
    return problems.empty();
}

std::optional<int> ApplyCommand::prepare(CommandContext& context) {
    if (!loadFile(context)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

int ApplyCommand::watch(CommandContext& context) {
    if (portTexts().empty() && !usbAdapters()) {
        context.error("--watch: name the ports to watch: --port N|PATH (repeatable) or --usb.");
        return ExitCode::kUsage;
    }
    std::vector<PortName> ports;
    if (!context.parsePorts(portTexts(), ports) || !backupUsable(context) || !loadFile(context)) {
        return ExitCode::kUsage;
    }
    ApplyWatch station(
        context, [this](Reader& reader) { begin(reader); }, ownKeys(), pace(), limits());
    for (const PortName& port : ports) {
        station.addPort(port);
    }
    if (usbAdapters()) {
        station.addFolder(context.byIdFolder());
    }
    return station.run();
}

} // namespace

std::unique_ptr<Command> makeApplyCommand() {
    return std::make_unique<ApplyCommand>();
}
