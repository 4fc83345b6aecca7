#include "ReaderSimulator.h"

#include "Poll.h"

#include <fstream>
#include <sstream>

namespace {

std::string contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

bool ReaderSimulator::start(const std::string& name, const std::vector<std::string>& switches,
                            std::string& error) {
    process_.stop();
    name_ = name;
    const std::filesystem::path output = folder_ / (name + ".out");
    ChildProcess::Options options;
    options.arguments = {program_.string(),
                         "--link",
                         link().string(),
                         "--log",
                         (folder_ / (name + ".log")).string(),
                         "--memory",
                         (folder_ / (name + ".mem")).string()};
    options.arguments.insert(options.arguments.end(), switches.begin(), switches.end());
    options.outputFile = output;
    if (!process_.start(options, error)) {
        return false;
    }
    const bool ready = pollUntil(std::chrono::seconds(10), [&] {
        return contentsOf(output).find("r550-sim: COM link " + link().string() + " -> ") !=
               std::string::npos;
    });
    if (!ready) {
        error = "r550-sim gave no ready line within 10 s: " + contentsOf(output);
        process_.stop();
        return false;
    }
    return true;
}

std::vector<std::string> ReaderSimulator::frames() const {
    std::vector<std::string> lines;
    std::istringstream text(contentsOf(folder_ / (name_ + ".log")));
    std::string line;
    while (std::getline(text, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReaderSimulator::memory() const {
    return contentsOf(folder_ / (name_ + ".mem"));
}
