#include "operations/ReaderSearch.h"

#include "link/PortSurvey.h"
#include "operations/FailureDescription.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

namespace {

constexpr int kSearchedPorts = 9;

} // namespace

ReaderSearch::ReaderSearch(const PortMap& map, std::filesystem::path byIdFolder, Clock& clock,
                           PortIo& nullIo, Pace pace, TransferPacer::Limits limits)
    : map_(map), byIdFolder_(std::move(byIdFolder)), clock_(clock), nullIo_(nullIo), pace_(pace),
      limits_(limits) {}

void ReaderSearch::addSerialPorts(bool usb) {
    const PortMap& map = map_;
    std::set<std::string> probed;
    for (int n = 1; n <= kSearchedPorts; ++n) {
        const PortName portName = PortName::number(n);
        if (const std::optional<std::filesystem::path> device = portName.resolve(map)) {
            probed.insert(PortName::canonicalText(*device));
        }
        candidates_.push_back(
            {std::make_unique<ReaderSession>(map, portName, clock_, nullIo_, pace_, limits_),
             0,
             {}});
    }
    probed.erase(std::string());
    if (!usb) {
        return;
    }
    usb_ = true;
    const PortSurvey survey(map, byIdFolder_);
    const std::vector<PortSurvey::Adapter> unmapped = survey.unmappedAdapters();
    for (const std::filesystem::path& entry : survey.adapterEntries()) {
        const std::string target = PortName::canonicalText(entry);
        // Unplugged meanwhile, or probed already under its port number.
        if (target.empty() || !probed.insert(target).second) {
            continue;
        }
        Candidate candidate{std::make_unique<ReaderSession>(map, PortName::path(entry), clock_,
                                                            nullIo_, pace_, limits_),
                            0,
                            {}};
        const auto adapter =
            std::find_if(unmapped.begin(), unmapped.end(), [&entry](const PortSurvey::Adapter& a) {
                return a.link == entry.string();
            });
        if (adapter != unmapped.end()) {
            candidate.suggestedPort = adapter->suggestedPort;
            candidate.mapCommand = adapter->mapCommand;
        }
        candidates_.push_back(std::move(candidate));
    }
}

std::string ReaderSearch::noneAnswered(bool keyboard) const {
    return std::string("no reader answered on COM1..COM9") +
           (usb_ ? (keyboard ? ", the USB serial adapters" : " or the USB serial adapters") : "") +
           (keyboard ? " or in the keyboard line" : "");
}

void ReaderSearch::addKeyboardLine(PortIo& keyboardIo) {
    candidates_.push_back({std::make_unique<ReaderSession>(map_, clock_, keyboardIo), 0, {}});
}

void ReaderSearch::keyDown(int key) {
    for (Candidate& candidate : candidates_) {
        if (candidate.session->keyboardLine() && candidate.session->running()) {
            candidate.session->engine().keyDown(key);
        }
    }
}

std::vector<ReaderSession*> ReaderSearch::begin() {
    std::vector<ReaderSession*> sessions;
    for (Candidate& candidate : candidates_) {
        sessions.push_back(candidate.session.get());
    }
    for (ReaderSession* session : sessions) {
        session->beginProbe();
    }
    return sessions;
}

std::vector<ReaderSearch::Found> ReaderSearch::found() const {
    std::vector<Found> readers;
    for (const Candidate& candidate : candidates_) {
        const ReaderSession& session = *candidate.session;
        if (!session.answered()) {
            continue;
        }
        Found reader;
        reader.portName = session.portName();
        reader.keyboardLine = session.keyboardLine();
        reader.label = session.label();
        reader.device = session.device();
        reader.suggestedPort = candidate.suggestedPort;
        reader.mapCommand = candidate.mapCommand;
        reader.milliseconds = session.elapsedMs();
        readers.push_back(std::move(reader));
    }
    return readers;
}

std::vector<std::string> ReaderSearch::unusable() const {
    // Ports with the same reason share one note (a user outside the dialout group cannot open
    // any of the system's serial ports).
    std::vector<std::pair<std::string, std::string>> byReason;
    for (const Candidate& candidate : candidates_) {
        ReaderSession& session = *candidate.session;
        if (session.keyboardLine() || session.answered() || session.port().opens() != 0) {
            continue;
        }
        // A port with no device behind it is no news; one that is there but could not be used is.
        const Failure failure = session.port().lastFailure();
        // A port that another program holds is skipped, and told apart below.
        if (!failure.failed() || failure.kind == FailureKind::NoSuchPort ||
            failure.kind == FailureKind::InUse) {
            continue;
        }
        const std::string reason = briefFailure(failure);
        const auto known =
            std::find_if(byReason.begin(), byReason.end(),
                         [&reason](const auto& entry) { return entry.second == reason; });
        if (known != byReason.end()) {
            known->first += ", " + session.label();
        } else {
            byReason.emplace_back(session.label(), reason);
        }
    }
    std::vector<std::string> notes;
    for (const auto& [ports, reason] : byReason) {
        notes.push_back(ports + ": " + reason + "; not probed");
    }
    for (const Candidate& candidate : candidates_) {
        const Failure failure = candidate.session->port().lastFailure();
        if (!candidate.session->keyboardLine() && candidate.session->port().opens() == 0 &&
            failure.kind == FailureKind::InUse) {
            notes.push_back(candidate.session->label() +
                            ": skipped (held): " + briefFailure(failure));
        }
    }
    return notes;
}
