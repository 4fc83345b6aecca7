#pragma once

#include <string>

// Whether a settings file may be written at `path`, told before anything else is done: empty
// when it may; otherwise why not ("exists; --force replaces it", "is a named pipe, not a settings
// file", "its folder ... does not exist").
std::string outputTargetProblem(const std::string& path, bool force);
