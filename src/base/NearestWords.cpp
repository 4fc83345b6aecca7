#include "base/NearestWords.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// The edit distance of a and b when it is at most `bound`, otherwise a number above it. Only the
// cells within `bound` of the table's diagonal can lead to a distance within it, so only those are
// filled; and once two rows in a row are above the bound, no later row can come back under it.
// `table` is scratch room, reused from word to word.
std::size_t boundedDistance(std::string_view a, std::string_view b, std::size_t bound,
                            std::vector<std::size_t>& table) {
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    const std::size_t over = bound == std::numeric_limits<std::size_t>::max() ? bound : bound + 1;
    if ((n > m ? n - m : m - n) > bound) {
        return over;
    }
    // Three rows of the table are enough for the swap of two neighbours. A cell outside the band
    // reads as `over`: the band only moves right, so a cell right of it was never written, and
    // the one left of it is set before each row.
    const std::size_t width = m + 1;
    table.assign(3 * width, over);
    std::size_t* before = table.data();
    std::size_t* previous = before + width;
    std::size_t* row = previous + width;
    for (std::size_t j = 0; j <= std::min(m, bound); ++j) {
        previous[j] = j;
    }
    std::size_t previousLeast = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        const std::size_t low = i > bound ? i - bound : 1;
        const std::size_t high = m - std::min(m, i) > bound ? i + bound : m;
        row[low - 1] = low == 1 && i <= bound ? i : over;
        std::size_t least = row[low - 1];
        for (std::size_t j = low; j <= high; ++j) {
            const bool same = asciiLower(a[i - 1]) == asciiLower(b[j - 1]);
            std::size_t cell =
                std::min(std::min(previous[j], row[j - 1]) + 1, previous[j - 1] + (same ? 0 : 1));
            if (i > 1 && j > 1 && asciiLower(a[i - 1]) == asciiLower(b[j - 2]) &&
                asciiLower(a[i - 2]) == asciiLower(b[j - 1])) {
                cell = std::min(cell, before[j - 2] + 1);
            }
            row[j] = std::min(cell, over);
            least = std::min(least, row[j]);
        }
        if (least > bound && previousLeast > bound) {
            return over;
        }
        previousLeast = least;
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[m];
}

} // namespace

std::size_t NearestWords::distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> table;
    return boundedDistance(a, b, std::numeric_limits<std::size_t>::max(), table);
}

std::vector<std::string_view> NearestWords::of(std::string_view typed,
                                               std::span<const std::string_view> words) {
    const std::size_t limit = std::min<std::size_t>(2, typed.size() / 3);
    std::size_t best = limit + 1;
    std::vector<std::string_view> nearest;
    std::vector<std::size_t> table;
    for (const std::string_view word : words) {
        // Each insertion or deletion changes the length by one: a word whose length differs by
        // more than the limit cannot be near, and its table is never filled.
        const std::size_t apart =
            typed.size() > word.size() ? typed.size() - word.size() : word.size() - typed.size();
        if (apart > limit) {
            continue;
        }
        // Only a word as near as the nearest so far matters.
        const std::size_t d = boundedDistance(typed, word, std::min(limit, best), table);
        if (d > limit) {
            continue;
        }
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
