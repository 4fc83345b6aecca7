// r550ctl-completion TEMPLATE OUTPUT: writes r550ctl's bash completion script, the template with
// its @R550CTL_WORDS@ line replaced by the word lists made from the program's own tables.

#include "cli/CompletionWords.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: r550ctl-completion TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string field = "@R550CTL_WORDS@\n";
    const std::size_t at = text.find(field);
    if (!in || at == std::string::npos) {
        std::cerr << "r550ctl-completion: " << argv[1] << ": no " << field;
        return 1;
    }
    std::ostringstream words;
    CompletionWords::write(words);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text.substr(0, at) << words.str() << text.substr(at + field.size());
    out.close();
    if (!out) {
        std::cerr << "r550ctl-completion: " << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
