#include "cli/CompletionWords.h"

#include "cli/CommandTable.h"
#include "settings/SettingTable.h"

#include <map>
#include <string>
#include <vector>

namespace {

// Words as one double-quoted bash word.
std::string quoted(const std::vector<std::string>& words) {
    std::string text = "\"";
    for (const std::string& word : words) {
        text += text.size() > 1 ? " " : "";
        for (const char c : word) {
            if (c == '"' || c == '\\' || c == '$' || c == '`') {
                text += '\\';
            }
            text += c;
        }
    }
    return text + "\"";
}

// The words a setting takes, as `names` lists them: a flag's two, a choice's tokens (the stored
// ones after); none for a range or a code list, which have no words to offer.
std::vector<std::string> valueWords(const NamedSetting& setting) {
    std::vector<std::string> words;
    if (setting.kind == SettingKind::Flag) {
        words = {"on", "off"};
    } else if (setting.kind == SettingKind::Choice) {
        for (const auto list : {setting.choices, setting.stored}) {
            for (const SettingChoice& c : list) {
                words.emplace_back(c.token);
            }
        }
    }
    return words;
}

// A function that prints, by its first argument, one of `lists`; status 1 for any other.
void writeCase(std::ostream& out, const char* function,
               const std::map<std::string, std::vector<std::string>>& lists) {
    out << function << "()\n{\n    case $1 in\n";
    for (const auto& [key, words] : lists) {
        out << "        " << key << ") echo " << quoted(words) << " ;;\n";
    }
    out << "        *) return 1 ;;\n    esac\n}\n\n";
}

void writeCommands(std::ostream& out) {
    std::vector<std::string> names;
    std::map<std::string, std::vector<std::string>> options;
    std::map<std::string, std::vector<std::string>> files;
    std::map<std::string, std::vector<std::string>> choices;
    for (const CommandTable::Entry& entry : CommandTable::entries()) {
        names.emplace_back(entry.name);
        std::vector<std::string>& words = options[entry.name];
        for (const CommandOption& option : entry.make()->options()) {
            if (option.positional()) {
                files[entry.name] = {};
                continue;
            }
            if (!option.choices.empty()) {
                choices[option.words().back()] = option.choices;
            }
            if (option.offered) {
                const std::vector<std::string> own = option.words();
                words.insert(words.end(), own.rbegin(), own.rend());
            }
        }
    }
    out << "_r550ctl_commands()\n{\n    echo " << quoted(names) << "\n}\n\n";
    writeCase(out, "_r550ctl_options", options);
    writeCase(out, "_r550ctl_takes_files", files);
    writeCase(out, "_r550ctl_choices", choices);
}

void writeCommon(std::ostream& out) {
    bool json = false;
    bool quiet = false;
    std::vector<std::string> words;
    for (const CommandOption& option : CommandTable::commonOptions(json, quiet)) {
        const std::vector<std::string> own = option.words();
        words.insert(words.end(), own.rbegin(), own.rend());
    }
    // The parser's own.
    words.insert(words.end(), {"--help", "-h"});
    out << "_r550ctl_common()\n{\n    echo " << quoted(words) << "\n}\n\n";
}

void writeSettings(std::ostream& out) {
    std::vector<std::string> names;
    std::map<std::string, std::vector<std::string>> values;
    for (const NamedSetting& setting : SettingTable::all()) {
        names.emplace_back(setting.name);
        values[std::string(setting.name)] = valueWords(setting);
    }
    out << "_r550ctl_setting_names()\n{\n    echo " << quoted(names) << "\n}\n\n";
    writeCase(out, "_r550ctl_setting_values", values);
}

} // namespace

void CompletionWords::write(std::ostream& out) {
    out << "# The word lists, made from r550ctl's own tables when it was built.\n\n";
    writeCommands(out);
    writeCommon(out);
    writeSettings(out);
}
