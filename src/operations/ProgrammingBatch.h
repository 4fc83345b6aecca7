#pragma once

class SettingsImage;
struct FrameBatch;

// The frames that send every setting of the block to the reader, in the two packings of the two
// links. Both take the bytes exactly as the block holds them, string bytes behind the length
// included, so the reader receives what a file or the pages left there.
class ProgrammingBatch {
public:
    static constexpr int kKeyboardEntries = 21;
    static constexpr int kSerialFrames = 6;

    // 21 keyboard batch entries (group, sub-code, length, payload), group and sub-code taken from
    // the block's own arrays: slots 10..18 and 20..23 with one data byte, slots 24..31 with eight.
    // Slot 19 holds no setting and is not sent.
    static void fillKeyboard(const SettingsImage& image, FrameBatch& batch);

    // Six serial write blocks at the reader's fixed addresses: the byte parameters 0x00..0x08,
    // the eight strings two by two (0x10, 0x20, 0x30, 0x40), the byte parameters 0x10..0x13.
    static void fillSerial(const SettingsImage& image, FrameBatch& batch);
};
