#pragma once

#include "settings/SettingAssignment.h"

#include <string>
#include <string_view>
#include <vector>

// A profile: the settings an administrator manages, as the `name=value` lines that `r550ctl show`
// prints, quoted for a shell as show quotes them (several words on a line are several
// assignments), with `#` comments and blank lines. It names what it manages and nothing else.
class SettingProfile {
public:
    // Reads the file at `path`; false with every problem in problems().
    bool load(const std::string& path);
    // Reads a profile's text; `source` names it in the problems. False when any line is wrong.
    bool read(std::string_view text, const std::string& source);

    const std::vector<SettingAssignment>& assignments() const { return assignments_; }
    // "PATH:LINE: what is wrong", one per problem.
    const std::vector<std::string>& problems() const { return problems_; }

private:
    void readLine(std::string_view line, const std::string& where);

    std::vector<SettingAssignment> assignments_;
    std::vector<std::string> problems_;
};
