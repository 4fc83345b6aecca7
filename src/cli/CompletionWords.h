#pragma once

#include <ostream>

// The word lists of r550ctl's bash completion, made from the tables the program itself reads
// (CommandTable, each command's options, SettingTable), as bash functions that the completion
// script's template takes in, so that the completion never offers a word the program does not
// take:
//   _r550ctl_commands               the subcommands
//   _r550ctl_common                 the options every subcommand takes
//   _r550ctl_options COMMAND        a subcommand's options (status 1 for no subcommand)
//   _r550ctl_takes_files COMMAND    status 0 when it takes settings files as arguments
//   _r550ctl_choices OPTION         the only words an option takes (status 1 for none)
//   _r550ctl_setting_names          the named settings
//   _r550ctl_setting_values NAME    the words a flag or a choice takes (nothing for the rest)
class CompletionWords {
public:
    static void write(std::ostream& out);
};
