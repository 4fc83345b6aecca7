#include "base/NearestWords.h"

#include <algorithm>
#include <numeric>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::size_t NearestWords::distance(std::string_view a, std::string_view b) {
    // Three rows of the table are enough for the swap of two neighbours.
    std::vector<std::size_t> before(b.size() + 1);
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = lower(a[i - 1]) == lower(b[j - 1]);
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
                lower(a[i - 2]) == lower(b[j - 1])) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

std::vector<std::string_view> NearestWords::of(std::string_view typed,
                                               std::span<const std::string_view> words) {
    const std::size_t limit = std::min<std::size_t>(2, typed.size() / 3);
    std::size_t best = limit + 1;
    std::vector<std::string_view> nearest;
    for (const std::string_view word : words) {
        // Each insertion or deletion changes the length by one: a word whose length differs by
        // more than the limit cannot be near, and its table is never filled.
        const std::size_t apart =
            typed.size() > word.size() ? typed.size() - word.size() : word.size() - typed.size();
        if (apart > limit) {
            continue;
        }
        const std::size_t d = distance(typed, word);
        if (d < best) {
            best = d;
            nearest.clear();
        }
        if (d == best) {
            nearest.push_back(word);
        }
    }
    return nearest;
}
