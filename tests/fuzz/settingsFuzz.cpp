// Arbitrary files read into the settings block, then every page's code list walked as the pages
// walk it: nothing may read or write outside the block, and a count above seven never reaches
// past its record.
#include "settings/CodeList.h"
#include "settings/SettingTable.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string scratchFile() {
    return "/tmp/r550-fuzz-settings-" + std::to_string(::getpid()) + ".cfg";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchFile();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    SettingsImage image;
    image.raw().fill(0x5A);
    const SettingsImage before = image;
    check(readSettingsFile(image, path) == 0);
    // A file replaces exactly its own length of the block.
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        const std::uint8_t expected = i < size ? data[i] : before.raw()[i];
        check(image.raw()[i] == expected);
    }
    // Every page's code lists as the pages show and edit them: shown, a code typed, Backspace.
    // Nothing outside the record's count and seven codes may change.
    for (const NamedSetting& setting : SettingTable::all()) {
        if (setting.kind == SettingKind::CodeList) {
            const SettingsImage loaded = image;
            std::uint8_t* record = image.raw().data() + setting.offset;
            CodeList list(record);
            const std::string text = list.displayText();
            check(list.count() >= 0 && list.count() <= SettingsImage::kMaxCodes);
            check(list.remaining() >= 0);
            check(text.size() <= 5u * SettingsImage::kMaxCodes);
            list.append('A');
            list.removeLast();
            list.removeLast();
            const std::size_t first = static_cast<std::size_t>(record - image.raw().data());
            for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
                check((i >= first && i < first + 8) || image.raw()[i] == loaded.raw()[i]);
            }
        }
    }
    return 0;
}
