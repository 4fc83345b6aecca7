#include "CtlFixture.h"

#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "link/SteadyClock.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;

CtlFixture::~CtlFixture() {
    for (const int fd : holders_) {
        ::close(fd);
    }
}

void CtlFixture::SetUp() {
    ASSERT_FALSE(folder.path().empty());
    ASSERT_TRUE(std::filesystem::create_directory(ports) &&
                std::filesystem::create_directory(byId));
}

ChildProcess::Environment CtlFixture::environment() const {
    return {{"R550_PORTS_DIR", ports.string()}, {"R550_BY_ID_DIR", byId.string()}};
}

ChildProcess::Result CtlFixture::ctl(const std::vector<std::string>& arguments,
                                     const ChildProcess::Environment& extra) const {
    std::vector<std::string> all{R550_CTL_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    ChildProcess::Environment env = environment();
    env.insert(env.end(), extra.begin(), extra.end());
    return ChildProcess::run(all, env, 20s);
}

std::unique_ptr<ChildProcess>
CtlFixture::startCtl(const std::vector<std::string>& arguments) const {
    std::vector<std::string> all{R550_CTL_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(all, environment());
}

std::unique_ptr<ChildProcess>
CtlFixture::startSimulator(const std::filesystem::path& link,
                           const std::vector<std::string>& options) const {
    std::vector<std::string> arguments{R550_SIM_PROGRAM, "--link", link.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    auto sim = std::make_unique<ChildProcess>(arguments, ChildProcess::Environment{});
    if (!sim->waitForOutput(" -> /dev/pts/", 5s)) {
        return nullptr;
    }
    return sim;
}

std::unique_ptr<ChildProcess>
CtlFixture::startSimulator(int portNumber, const std::vector<std::string>& options) const {
    return startSimulator(com(portNumber), options);
}

std::filesystem::path CtlFixture::com(int portNumber) const {
    return ports / ("com" + std::to_string(portNumber));
}

bool CtlFixture::portIsFree(int portNumber) const {
    SteadyClock clock;
    SerialLink link(PortMap(ports.string(), std::nullopt, std::nullopt), clock);
    return link.open(portNumber);
}

testing::AssertionResult CtlFixture::holdPort(int portNumber) {
    auto line = std::make_unique<PseudoTerminal>();
    if (!line->ready() || !line->linkAs(ports, portNumber)) {
        return testing::AssertionFailure() << "no pseudo-terminal as COM" << portNumber;
    }
    const int fd = ::open(line->slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return testing::AssertionFailure() << "cannot open " << line->slavePath();
    }
    holders_.push_back(fd);
    heldLines_.push_back(std::move(line));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return testing::AssertionFailure() << "cannot lock COM" << portNumber;
    }
    return testing::AssertionSuccess();
}

std::string CtlFixture::fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> CtlFixture::linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<nlohmann::json> CtlFixture::jsonLines(const std::string& text) {
    std::vector<nlohmann::json> objects;
    for (const std::string& line : linesOf(text)) {
        objects.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    return objects;
}
