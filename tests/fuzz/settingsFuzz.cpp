// Arbitrary files read into the settings block, then every page's code list walked as the pages
// walk it: nothing may read or write outside the block, and a count above seven never reaches
// past its record.
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

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
    if (readSettingsFile(image, path) != 0) {
        std::abort();
    }
    // A file replaces exactly its own length of the block.
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        const std::uint8_t expected = i < size ? data[i] : before.raw()[i];
        if (image.raw()[i] != expected) {
            std::abort();
        }
    }
    for (int page = 1; page <= 4; ++page) {
        for (const std::uint8_t* record : {image.pagePrefix(page), image.pageSuffix(page)}) {
            const int count = record[0] > SettingsImage::kMaxCodes ? SettingsImage::kMaxCodes
                                                                   : record[0];
            unsigned sum = 0;
            for (int i = 1; i <= count; ++i) {
                sum += record[i];
            }
            if (record + count >= image.raw().data() + SettingsImage::kSize ||
                sum > 255u * SettingsImage::kMaxCodes) {
                std::abort();
            }
        }
    }
    return 0;
}
