// r550ctl: R550 card readers from the command line, without the window.

#include "cli/CommandContext.h"
#include "cli/CommandLine.h"
#include "cli/ExitCode.h"

#include <cstdio>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    CommandContext context = CommandContext::fromEnvironment(std::cout, std::cerr);
    int code = ExitCode::kError;
    // The last catch: whatever a library throws ends the command here, after the objects that
    // hold the terminal, the signals and the ports have given them back on the way out.
    try {
        CommandLine commandLine(context);
        code = commandLine.run(argc, argv);
    } catch (const std::exception& problem) {
        context.error(std::string("internal error: ") + problem.what());
        return ExitCode::kError;
    } catch (...) {
        context.error("internal error");
        return ExitCode::kError;
    }
    // What stdio still holds must reach its file too, and standard error must have taken the
    // messages.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || std::ferror(stderr) != 0) {
        return ExitCode::kError;
    }
    return code;
}
