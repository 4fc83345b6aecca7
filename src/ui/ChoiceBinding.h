#pragma once

#include "ui/SettingBinding.h"

#include <functional>

#include <QList>

class QAbstractButton;
class QComboBox;
class QSpinBox;

// A choice, or a byte in a range, bound to the control that selects it: radio buttons, one per
// value of the choice; a list whose entries stand for the choice's values or the byte's range in
// order; or a spinner over the byte's range.
class ChoiceBinding : public SettingBinding {
public:
    // The list entry that shows a value, or -1: a page's own rule for values that share an entry.
    using EntryOf = std::function<int(std::uint8_t value)>;

    ChoiceBinding(std::string key, QList<QAbstractButton*> buttons);
    ChoiceBinding(std::string key, QComboBox* list, EntryOf entryOf = {});
    ChoiceBinding(std::string key, QSpinBox* spinner);

    // A value with no button leaves every button clear; one with no entry leaves the list with
    // no selection, and the spinner where it was.
    void load(const NamedSetting& setting, const SettingsImage& image) override;
    // No button checked leaves the value as it is; a list with no selection stores 0.
    void store(const NamedSetting& setting, SettingsImage& image) const override;
    void showCaption(const NamedSetting& setting) override;

private:
    static int entryOfValue(const NamedSetting& setting, std::uint8_t value);
    static std::uint8_t valueOfEntry(const NamedSetting& setting, int entry);

    QList<QAbstractButton*> buttons_;
    QComboBox* list_ = nullptr;
    QSpinBox* spinner_ = nullptr;
    EntryOf entryOf_;
};
