#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Rows of cells as lines of text, each column as wide as its widest cell and two spaces apart;
// the columns in `rightAligned` are aligned on the right, the last one is never padded, and no
// line ends in spaces. A row of one cell is a line of its own, which no column is measured by.
std::vector<std::string> tableLines(const std::vector<std::vector<std::string>>& rows,
                                    const std::vector<std::size_t>& rightAligned = {});
