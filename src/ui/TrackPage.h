#pragma once

#include <array>
#include <cstdint>

class QCheckBox;
class QWidget;
class SettingsImage;

// The eight check boxes of the MSR Track pages, one set for the three tracks, bound to the bits
// of the track's track_flags. The prefix and suffix entries and the key pad beside them belong
// to the CodeListEditor.
class TrackPage {
public:
    explicit TrackPage(QWidget* window);

    // track is 1..3.
    void load(SettingsImage& image, int track);
    void store(SettingsImage& image, int track) const;
    void setSwipeCaptions(int track);
    void show();
    void hide();

    QCheckBox* prefixBox() const { return prefix_; }
    QCheckBox* suffixBox() const { return suffix_; }

private:
    struct Binding {
        QCheckBox* box;
        std::uint8_t bit;
    };

    QCheckBox* prefix_ = nullptr;
    QCheckBox* suffix_ = nullptr;
    QCheckBox* leftToRight_ = nullptr;
    QCheckBox* rightToLeft_ = nullptr;
    // In the order the page stores them.
    std::array<Binding, 8> bindings_{};
};
