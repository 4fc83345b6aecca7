#pragma once

class SettingsImage;
struct FrameBatch;

// Reading the reader's main settings back: three read blocks, and the replies put into the block.
class MainSettingsReadBack {
public:
    static constexpr int kFrames = 3;

    // Read blocks for the byte parameters 0x00..0x08 (9 bytes), the eight strings 0x10..0x48
    // (64 bytes) and the byte parameters 0x10..0x13 (4 bytes).
    static void fill(FrameBatch& batch);

    // Writes the replies of a successful run into the block: data byte 0 of slots 10..18 and
    // 20..23, and the length and codes of the string slots 24..31. Nothing else changes: not the
    // link settings, not group or sub-code bytes, not the string bytes behind a new length.
    static void apply(const FrameBatch& batch, SettingsImage& image);
};
