#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

// One option or argument of a subcommand, as data: its names, its help, the member of the command
// that takes its value (the value's type with it) and what it accepts. A command lists its own;
// CommandLine alone makes the parser from them, and the completion's word lists come from the
// same lists.
struct CommandOption {
    using Target = std::variant<bool*, double*, std::string*, std::vector<std::string>*>;
    // For a value outside what the option takes: the message; empty for a value it takes.
    using Check = std::string (*)(const std::string& text);

    CommandOption(std::string names_, std::string help_, Target target_,
                  std::string valueName_ = {}, bool required_ = false)
        : names(std::move(names_)), help(std::move(help_)), target(target_),
          valueName(std::move(valueName_)), required(required_) {}

    // "-p,--port", "--all"; a word without a dash is an argument in its place ("FILE").
    std::string names;
    std::string help;
    // A flag takes a bool; an option or argument given more than once a list of texts.
    Target target;
    // The value's word in the help ("N|PATH", "SECONDS"); empty for the parser's own.
    std::string valueName;
    bool required = false;
    // The only words it takes (reader, window), offered by the completion too.
    std::vector<std::string> choices;
    Check check = nullptr;
    // Named by the completion where the command's options are offered.
    bool offered = true;

    bool flag() const { return std::holds_alternative<bool*>(target); }
    bool positional() const { return !names.empty() && names[0] != '-'; }
    // "-p,--port" as its words: "-p", "--port".
    std::vector<std::string> words() const;
    // The message for a word that is none of `choices`, or empty.
    std::string refusal(const std::string& text) const;
};
