#pragma once

#include <array>
#include <cstdint>

class QCheckBox;
class QWidget;
class SettingsImage;

// The six check boxes of the ISO field setting page, one set for the three tracks, bound to
// the bits of the track's iso_flags. Bits 0x10 and 0x80 have no box and are never changed.
class IsoPage {
public:
    explicit IsoPage(QWidget* window);

    // track is 1..3.
    void load(SettingsImage& image, int track);
    void store(SettingsImage& image, int track) const;
    // Places and names the boxes for the fields of a track.
    void applyLayout(int track);
    // The five field boxes are usable only while field splitting is on; they keep their state.
    void applyFieldSplitting();
    void show();
    void hide();

    // Its clicks run applyFieldSplitting.
    QCheckBox* fieldSplittingBox() const { return fieldSplitting_; }

private:
    struct Binding {
        QCheckBox* box;
        std::uint8_t bit;
    };

    QCheckBox* fieldSplitting_ = nullptr;
    QCheckBox* ccName_ = nullptr;
    QCheckBox* additional_ = nullptr;
    QCheckBox* sendLf_ = nullptr;
    QCheckBox* sendCr_ = nullptr;
    // In the order the page stores them.
    std::array<Binding, 6> bindings_{};
};
