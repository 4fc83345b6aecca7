#include "cli/CommandContext.h"

#include <cstdlib>
#include <utility>

CommandContext::CommandContext(PortMap portMap, std::filesystem::path byIdFolder, std::ostream& out,
                               std::ostream& err)
    : portMap_(std::move(portMap)), byIdFolder_(std::move(byIdFolder)), out_(out), err_(err) {}

CommandContext CommandContext::fromEnvironment(std::ostream& out, std::ostream& err) {
    const char* byId = std::getenv("R550_BY_ID_DIR");
    return CommandContext(PortMap::fromEnvironment(),
                          byId != nullptr && *byId != '\0' ? byId : kByIdFolder, out, err);
}

void CommandContext::printLine(const std::string& line) {
    out_ << line << '\n' << std::flush;
}

void CommandContext::printJson(const nlohmann::ordered_json& object) {
    printLine(object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

void CommandContext::error(const std::string& text) {
    err_ << "r550ctl: " << text << '\n' << std::flush;
}

void CommandContext::note(const std::string& text) {
    if (!quiet) {
        error(text);
    }
}
