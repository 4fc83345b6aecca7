#include "settings/SettingTable.h"

#include "settings/SettingsImage.h"

#include <algorithm>
#include <array>

namespace {

using Kind = SettingKind;

// Where the block keeps the settings the pages show: the two link settings at fixed offsets,
// the others in data byte 0 of their record slot (a code list: its whole record).
constexpr std::size_t kOperatingModeOffset = 0x064;
constexpr std::size_t kComPortOffset = 0x163;
constexpr int kGeneral = 10;
constexpr int kScanCodeDelay = 11;
constexpr int kCharCodeDelay = 12;
constexpr int kBaudCode = 13;
constexpr int kTrack1 = 15; // tracks 2 and 3 follow
constexpr int kMsr = 18;
constexpr int kIso1 = 20; // tracks 2 and 3 follow
constexpr int kMsrPrefix = 24;
constexpr int kMsrSuffix = 25;
constexpr int kPrefix1 = 26; // then the suffix of track 1, prefix and suffix of tracks 2 and 3

// A code list holds at most this many codes.
constexpr std::size_t kMaxCodes = SettingsImage::kMaxCodes;

constexpr std::size_t dataByte(int slot) {
    return SettingsImage::kDataBase + static_cast<std::size_t>(SettingsImage::kDataBytes * slot);
}

constexpr NamedSetting flag(std::string_view name, int slot, std::uint8_t bit,
                            std::string_view caption, std::string_view meaning) {
    return {name, Kind::Flag, dataByte(slot), bit, 0, 1, {}, {}, caption, meaning};
}

constexpr NamedSetting byte(std::string_view name, std::size_t offset, std::uint8_t low,
                            std::uint8_t high, std::string_view caption, std::string_view meaning,
                            std::span<const SettingChoice> outside = {}) {
    return {name, Kind::Byte, offset, 0xFF, low, high, outside, {}, caption, meaning};
}

constexpr NamedSetting choice(std::string_view name, std::size_t offset, std::uint8_t mask,
                              std::span<const SettingChoice> choices, std::string_view caption,
                              std::string_view meaning,
                              std::span<const SettingChoice> stored = {}) {
    return {name, Kind::Choice, offset, mask, 0, 0, choices, stored, caption, meaning};
}

constexpr NamedSetting codes(std::string_view name, int slot, std::string_view caption,
                             std::string_view meaning) {
    return {name, Kind::CodeList, dataByte(slot), 0xFF, 0, 0, {}, {}, caption, meaning};
}

constexpr SettingChoice kOperatingModes[] = {
    {SettingTable::kModeKeyboardWedge, "keyboard_wedge", "Keyboard Wedge"},
    {SettingTable::kModeRs232, "rs232", "RS232"}};
// What the window's search for the reader stores in operating_mode besides the two modes.
constexpr SettingChoice kSearchModes[] = {{SettingTable::kModeNotFound, "3", "no reader found"},
                                          {SettingTable::kUnknown, "255", "not searched"}};
// The page lists the rates in this order; the reader's code is the entry's index + 1.
constexpr SettingChoice kBaudRates[] = {
    {1, "600", "600"},   {2, "1200", "1200"},   {3, "2400", "2400"},  {4, "4800", "4800"},
    {5, "9600", "9600"}, {6, "19200", "19200"}, {7, "38400", "38400"}};
// What the window stores in com_port besides a port of the list: no port (the reader sits in the
// keyboard line, or none was chosen) and, after a search that found no reader, 255.
constexpr SettingChoice kNoComPort[] = {{0, "0", "no port"},
                                        {SettingTable::kUnknown, "255", "no reader found"}};
constexpr SettingChoice kOutputModes[] = {{0x00, "scan_code", "Scan code mode"},
                                          {0x02, "alt", "ALT mode"}};

constexpr std::array kTable = {
    // Main Settings page.
    choice(SettingTable::kOperatingMode, kOperatingModeOffset, 0xFF, kOperatingModes,
           "Operating Mode", "how the reader is attached: in the keyboard line or on a serial port",
           kSearchModes),
    byte(SettingTable::kComPort, kComPortOffset, 1, 98, "Com Port",
         "the serial port COMn the reader is on (0: it was found in the keyboard line)",
         kNoComPort),
    choice("main.baud_rate", dataByte(kBaudCode), 0xFF, kBaudRates, "Baud Rate(BPS)",
           "the reader's serial speed in bit/s"),
    byte("main.scan_code_delay", dataByte(kScanCodeDelay), 0, 254, "KB mode Scan Code Delay",
         "pause between scan codes in the keyboard line, in 50 us"),
    byte("main.char_code_delay", dataByte(kCharCodeDelay), 0, 254, "KB mode Character Code Delay",
         "pause between characters in the keyboard line, in 500 us"),
    flag("main.buzzer", kGeneral, 0x80, "Buzzer Sound", "the reader's buzzer sounds"),

    // MSR Main Settings page.
    flag("msr.error_beep", kMsr, 0x80, "Error beep sounds", "beep when a card cannot be read"),
    flag("msr.send_prefix", kMsr, 0x40, "Prefix", "send msr.prefix before the card data"),
    codes("msr.prefix", kMsrPrefix, "Prefix", "codes sent before the card data"),
    flag("msr.send_suffix", kMsr, 0x20, "Suffix", "send msr.suffix after the card data"),
    codes("msr.suffix", kMsrSuffix, "Suffix", "codes sent after the card data"),
    flag("msr.enable", kMsr, 0x01, "Enable MSR", "the magnetic-stripe reader is on"),
    flag("msr.high_compatible_tk1", kMsr, 0x10, "High compatible TK1",
         "high-compatibility reading of track 1"),
    flag("msr.high_compatible_tk2", kMsr, 0x08, "High compatible TK2",
         "high-compatibility reading of track 2"),
    flag("msr.high_compatible_tk3", kMsr, 0x04, "High compatible TK3",
         "high-compatibility reading of track 3"),
    choice("msr.kb_output_mode", dataByte(kMsr), 0x02, kOutputModes, "KB data output mode",
           "how the reader types card data in the keyboard line"),

    // MSR Track 1..3 pages.
    flag("track1.beep", kTrack1, 0x80, "Beep sound", "beep after reading track 1"),
    flag("track1.send_prefix", kTrack1, 0x40, "Prefix", "send track1.prefix before the data"),
    codes("track1.prefix", kPrefix1, "Prefix", "codes sent before the data of track 1"),
    flag("track1.send_suffix", kTrack1, 0x20, "Suffix", "send track1.suffix after the data"),
    codes("track1.suffix", kPrefix1 + 1, "Suffix", "codes sent after the data of track 1"),
    flag("track1.start_sentinel", kTrack1, 0x10, "Start sentinel", "send the start sentinel"),
    flag("track1.end_sentinel", kTrack1, 0x08, "End sentinel", "send the end sentinel"),
    flag("track1.lrc_sentinel", kTrack1, 0x04, "LRC sentinel", "send the LRC character"),
    flag("track1.swipe_left_to_right", kTrack1, 0x02, "TK1 swipe from left to right",
         "read track 1 on a swipe from left to right"),
    flag("track1.swipe_right_to_left", kTrack1, 0x01, "TK1 swipe from right to left",
         "read track 1 on a swipe from right to left"),

    flag("track2.beep", kTrack1 + 1, 0x80, "Beep sound", "beep after reading track 2"),
    flag("track2.send_prefix", kTrack1 + 1, 0x40, "Prefix", "send track2.prefix before the data"),
    codes("track2.prefix", kPrefix1 + 2, "Prefix", "codes sent before the data of track 2"),
    flag("track2.send_suffix", kTrack1 + 1, 0x20, "Suffix", "send track2.suffix after the data"),
    codes("track2.suffix", kPrefix1 + 3, "Suffix", "codes sent after the data of track 2"),
    flag("track2.start_sentinel", kTrack1 + 1, 0x10, "Start sentinel", "send the start sentinel"),
    flag("track2.end_sentinel", kTrack1 + 1, 0x08, "End sentinel", "send the end sentinel"),
    flag("track2.lrc_sentinel", kTrack1 + 1, 0x04, "LRC sentinel", "send the LRC character"),
    flag("track2.swipe_left_to_right", kTrack1 + 1, 0x02, "TK2 swipe from left to right",
         "read track 2 on a swipe from left to right"),
    flag("track2.swipe_right_to_left", kTrack1 + 1, 0x01, "TK2 swipe from right to left",
         "read track 2 on a swipe from right to left"),

    flag("track3.beep", kTrack1 + 2, 0x80, "Beep sound", "beep after reading track 3"),
    flag("track3.send_prefix", kTrack1 + 2, 0x40, "Prefix", "send track3.prefix before the data"),
    codes("track3.prefix", kPrefix1 + 4, "Prefix", "codes sent before the data of track 3"),
    flag("track3.send_suffix", kTrack1 + 2, 0x20, "Suffix", "send track3.suffix after the data"),
    codes("track3.suffix", kPrefix1 + 5, "Suffix", "codes sent after the data of track 3"),
    flag("track3.start_sentinel", kTrack1 + 2, 0x10, "Start sentinel", "send the start sentinel"),
    flag("track3.end_sentinel", kTrack1 + 2, 0x08, "End sentinel", "send the end sentinel"),
    flag("track3.lrc_sentinel", kTrack1 + 2, 0x04, "LRC sentinel", "send the LRC character"),
    flag("track3.swipe_left_to_right", kTrack1 + 2, 0x02, "TK3 swipe from left to right",
         "read track 3 on a swipe from left to right"),
    flag("track3.swipe_right_to_left", kTrack1 + 2, 0x01, "TK3 swipe from right to left",
         "read track 3 on a swipe from right to left"),

    // ISO field setting pages, Track 1..3.
    flag("iso1.field_splitting", kIso1, 0x01, "Field splitting Enable/Disable",
         "split the data of track 1 into its fields"),
    flag("iso1.fc_pan", kIso1, 0x02, "FC/PAN data", "send the FC/PAN field"),
    flag("iso1.cc_name", kIso1, 0x04, "CC/NAME data", "send the CC/name field"),
    flag("iso1.additional_data", kIso1, 0x08, "Additional data", "send the additional-data field"),
    flag("iso1.send_lf", kIso1, 0x20, "Send LF[Line feed] after field data",
         "send LF after each field"),
    flag("iso1.send_cr", kIso1, 0x40, "Send CR[Carrige return] after field data",
         "send CR after each field"),

    flag("iso2.field_splitting", kIso1 + 1, 0x01, "Field splitting Enable/Disable",
         "split the data of track 2 into its fields"),
    flag("iso2.fc_pan", kIso1 + 1, 0x02, "FC/PAN data", "send the FC/PAN field"),
    flag("iso2.cc_name", kIso1 + 1, 0x04, "CC/NAME data",
         "track 2 has no CC/name field: the page hides the box and keeps the bit"),
    flag("iso2.additional_data", kIso1 + 1, 0x08, "Additional data",
         "send the additional-data field"),
    flag("iso2.send_lf", kIso1 + 1, 0x20, "Send LF[Line feed] after field data",
         "send LF after each field"),
    flag("iso2.send_cr", kIso1 + 1, 0x40, "Send CR[Carrige return] after field data",
         "send CR after each field"),

    flag("iso3.field_splitting", kIso1 + 2, 0x01, "Field splitting Enable/Disable",
         "split the data of track 3 into its fields"),
    flag("iso3.fc_pan", kIso1 + 2, 0x02, "FC/PAN data", "send the FC/PAN field"),
    flag("iso3.cc_name", kIso1 + 2, 0x04, "CC/NAME data",
         "track 3 has no CC/name field: the page hides the box and keeps the bit"),
    flag("iso3.additional_data", kIso1 + 2, 0x08, "Use and security data/additional data",
         "send the use-and-security and additional-data field"),
    flag("iso3.send_lf", kIso1 + 2, 0x20, "Send LF[Line feed] after field data",
         "send LF after each field"),
    flag("iso3.send_cr", kIso1 + 2, 0x40, "Send CR[Carrige return] after field data",
         "send CR after each field"),
};

} // namespace

std::span<const NamedSetting> SettingTable::all() {
    return kTable;
}

const NamedSetting* SettingTable::find(std::string_view name) {
    for (const NamedSetting& setting : kTable) {
        if (setting.name == name) {
            return &setting;
        }
    }
    return nullptr;
}

const NamedSetting* SettingTable::find(std::string_view section, std::string_view key) {
    for (const NamedSetting& setting : kTable) {
        if (setting.section() == section && setting.key() == key) {
            return &setting;
        }
    }
    return nullptr;
}

bool SettingTable::flag(const SettingsImage& image, const NamedSetting& setting) {
    return value(image, setting) != 0;
}

void SettingTable::setFlag(SettingsImage& image, const NamedSetting& setting, bool on) {
    setValue(image, setting, on ? setting.mask : 0);
}

std::uint8_t SettingTable::value(const SettingsImage& image, const NamedSetting& setting) {
    return static_cast<std::uint8_t>(image.at(setting.offset) & setting.mask);
}

void SettingTable::setValue(SettingsImage& image, const NamedSetting& setting, std::uint8_t value) {
    std::uint8_t& byte = image.at(setting.offset);
    byte = static_cast<std::uint8_t>((byte & ~setting.mask) | (value & setting.mask));
}

std::vector<std::uint8_t> SettingTable::codes(const SettingsImage& image,
                                              const NamedSetting& setting) {
    const std::size_t count = std::min<std::size_t>(image.at(setting.offset), kMaxCodes);
    const auto first = image.raw().begin() + static_cast<std::ptrdiff_t>(setting.offset + 1);
    return {first, first + static_cast<std::ptrdiff_t>(count)};
}

void SettingTable::setCodes(SettingsImage& image, const NamedSetting& setting,
                            std::span<const std::uint8_t> codes) {
    const std::size_t count = std::min(codes.size(), kMaxCodes);
    image.at(setting.offset) = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < kMaxCodes; ++i) {
        image.at(setting.offset + 1 + i) = i < count ? codes[i] : 0;
    }
}

bool SettingTable::flag(const SettingsImage& image, std::string_view name) {
    const NamedSetting* setting = find(name);
    return setting != nullptr && flag(image, *setting);
}

bool SettingTable::setFlag(SettingsImage& image, std::string_view name, bool on) {
    const NamedSetting* setting = find(name);
    if (setting != nullptr) {
        setFlag(image, *setting, on);
    }
    return setting != nullptr;
}

std::uint8_t SettingTable::value(const SettingsImage& image, std::string_view name) {
    const NamedSetting* setting = find(name);
    return setting != nullptr ? value(image, *setting) : 0;
}

bool SettingTable::setValue(SettingsImage& image, std::string_view name, std::uint8_t value) {
    const NamedSetting* setting = find(name);
    if (setting != nullptr) {
        setValue(image, *setting, value);
    }
    return setting != nullptr;
}

std::vector<std::uint8_t> SettingTable::codes(const SettingsImage& image, std::string_view name) {
    const NamedSetting* setting = find(name);
    return setting != nullptr ? codes(image, *setting) : std::vector<std::uint8_t>();
}

bool SettingTable::setCodes(SettingsImage& image, std::string_view name,
                            std::span<const std::uint8_t> codes) {
    const NamedSetting* setting = find(name);
    if (setting != nullptr) {
        setCodes(image, *setting, codes);
    }
    return setting != nullptr;
}
