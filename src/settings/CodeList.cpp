#include "settings/CodeList.h"

#include "settings/CodeText.h"

#include <algorithm>
#include <span>

int CodeList::count() const {
    return std::min<int>(record_[0], kMaxCodes);
}

std::uint8_t CodeList::code(int i) const {
    return record_[std::clamp(i, 1, kMaxCodes)];
}

bool CodeList::append(std::uint8_t code) {
    if (full() || code == 0) {
        return false;
    }
    const int n = count() + 1;
    record_[0] = static_cast<std::uint8_t>(n);
    record_[n] = code;
    return true;
}

bool CodeList::removeLast() {
    const int n = count();
    if (n == 0) {
        return false;
    }
    record_[n] = 0;
    record_[0] = static_cast<std::uint8_t>(n - 1);
    return true;
}

std::string CodeList::displayText() const {
    return CodeText::format(
        std::span<const std::uint8_t>(record_ + 1, static_cast<std::size_t>(count())));
}
