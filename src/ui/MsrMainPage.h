#pragma once

#include <array>
#include <cstdint>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QWidget;
class SettingsImage;

// The controls of the MSR Main Settings page, bound to the bits of msr_flags, and the title
// that heads every MSR page (1101). All are children of the window and start hidden, except
// that the title's visibility belongs to the navigation.
class MsrMainPage {
public:
    explicit MsrMainPage(QWidget* window);

    void load(const SettingsImage& image);
    void store(SettingsImage& image) const;
    void show();
    void hide();

    QLabel* title() const { return title_; }
    QCheckBox* prefixBox() const { return prefix_; }
    QCheckBox* suffixBox() const { return suffix_; }

private:
    struct Binding {
        QAbstractButton* control;
        std::uint8_t bit;
    };

    QLabel* title_ = nullptr;
    QCheckBox* prefix_ = nullptr;
    QCheckBox* suffix_ = nullptr;
    QGroupBox* outputMode_ = nullptr;
    QRadioButton* scanCodeMode_ = nullptr;
    QRadioButton* altMode_ = nullptr;
    QButtonGroup* outputModeButtons_ = nullptr;
    // In the order the page stores them; "Scan code mode" is the complement of "ALT mode".
    std::array<Binding, 8> bindings_{};
};
