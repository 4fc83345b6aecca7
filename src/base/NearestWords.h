#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

// For "did you mean ...?": the words nearest to a mistyped one.
class NearestWords {
public:
    // The edit distance between two words: insertions, deletions, substitutions and swaps of two
    // neighbours, each counting 1; letters that differ only in case count 0.
    static std::size_t distance(std::string_view a, std::string_view b);

    // The words at the smallest distance from `typed`, in the order given, when that distance is
    // small enough for a slip of the fingers (at most a third of the typed word, at most 2);
    // otherwise none. Words whose length is further from the typed word's than that are passed
    // over without measuring, so that a long text costs no more than a short one.
    static std::vector<std::string_view> of(std::string_view typed,
                                            std::span<const std::string_view> words);
};
