#include "ReaderSimulator.h"

#include "Poll.h"
#include "support/FileBytes.h"

#include <sstream>

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
        return fileText(output).find("r550-sim: COM link " + link().string() + " -> ") !=
               std::string::npos;
    });
    if (!ready) {
        error = "r550-sim gave no ready line within 10 s: " + fileText(output);
        process_.stop();
        return false;
    }
    return true;
}

std::vector<std::string> ReaderSimulator::frames() const {
    std::vector<std::string> lines;
    std::istringstream text(fileText(folder_ / (name_ + ".log")));
    std::string line;
    while (std::getline(text, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReaderSimulator::memory() const {
    return fileText(folder_ / (name_ + ".mem"));
}
