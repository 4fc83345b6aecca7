// Arbitrary "name=value" texts set into a settings block as a script sets them: a refused text
// leaves the block as it was and says why; an accepted one changes only the setting's own bits,
// and the value read back sets the same bytes again. The assignment parser of `r550ctl set`
// takes and refuses exactly what writeSetting does, and sets the same bytes.
#include "settings/FactoryDefaults.h"
#include "settings/SettingAssignment.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Whether byte i may change when `setting` is set: its masked bits, or its record's count and
// seven codes.
bool owned(const NamedSetting& setting, std::size_t i, std::uint8_t before, std::uint8_t after) {
    if (setting.kind == SettingKind::CodeList) {
        return i >= setting.offset && i < setting.offset + 8;
    }
    return i == setting.offset && ((before ^ after) & ~setting.mask) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t equals = input.find('=');
    const std::string_view name = input.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : input.substr(equals + 1);

    SettingsImage image;
    writeFactoryValues(image);
    // Leftovers behind the factory lists, and bits no page names, must survive any set.
    image.at(SettingTable::find("msr.prefix")->offset + 8) = 0xA5;
    image.at(SettingTable::find("iso2.fc_pan")->offset) = 0xDE;
    const SettingsImage before = image;

    std::string error;
    const SettingStatus status = writeSetting(image, name, value, error);
    const NamedSetting* setting = SettingTable::find(name);
    check((setting == nullptr) == (status == SettingStatus::UnknownName));

    SettingAssignment assignment;
    std::string assignmentError;
    const SettingStatus parsed = assignment.parse(input, assignmentError);
    // Without '=' there is no value to set, even one the setting would take.
    check(equals == std::string_view::npos ? parsed != SettingStatus::Ok : parsed == status);
    check((setting == nullptr) == (parsed == SettingStatus::UnknownName));
    check((parsed == SettingStatus::Ok) == (assignment.setting() != nullptr));
    if (parsed == SettingStatus::Ok) {
        SettingsImage applied = before;
        check(assignment.apply(applied, assignmentError) == SettingStatus::Ok);
        check(applied.raw() == image.raw());
    } else {
        check(!assignmentError.empty());
        SettingsImage untouched = before;
        check(assignment.apply(untouched, assignmentError) != SettingStatus::Ok);
        check(untouched.raw() == before.raw());
    }
    if (status != SettingStatus::Ok) {
        check(!error.empty());
        check(image.raw() == before.raw());
        return 0;
    }
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        check(image.raw()[i] == before.raw()[i] ||
              owned(*setting, i, before.raw()[i], image.raw()[i]));
    }
    // What is read back is a text the setting takes, and it changes nothing.
    const SettingsImage set = image;
    const std::string text = settingText(*setting, image);
    check(writeSetting(image, *setting, text, error) == SettingStatus::Ok);
    check(image.raw() == set.raw());
    return 0;
}
