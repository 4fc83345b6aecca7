#include "base/TextTable.h"

#include <algorithm>

std::vector<std::string> tableLines(const std::vector<std::vector<std::string>>& rows,
                                    const std::vector<std::size_t>& rightAligned) {
    std::vector<std::string> lines;
    std::vector<std::size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        if (row.size() < 2) {
            continue; // a line of its own
        }
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column + 1 == row.size()) {
                line += row[column];
                break;
            }
            const std::string gap(widths[column] - row[column].size(), ' ');
            const bool right =
                std::find(rightAligned.begin(), rightAligned.end(), column) != rightAligned.end();
            line += right ? gap + row[column] + "  " : row[column] + gap + "  ";
        }
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
    }
    return lines;
}
