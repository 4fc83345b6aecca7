#include "ui/ChoiceBinding.h"

#include "settings/SettingTable.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSpinBox>

ChoiceBinding::ChoiceBinding(std::string key, QList<QAbstractButton*> buttons)
    : SettingBinding(std::move(key)), buttons_(std::move(buttons)) {}

ChoiceBinding::ChoiceBinding(std::string key, QComboBox* list, EntryOf entryOf)
    : SettingBinding(std::move(key)), list_(list), entryOf_(std::move(entryOf)) {}

ChoiceBinding::ChoiceBinding(std::string key, QSpinBox* spinner)
    : SettingBinding(std::move(key)), spinner_(spinner) {}

int ChoiceBinding::entryOfValue(const NamedSetting& setting, std::uint8_t value) {
    if (setting.kind == SettingKind::Choice) {
        for (std::size_t i = 0; i < setting.choices.size(); ++i) {
            if (setting.choices[i].value == value) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    return value >= setting.low && value <= setting.high ? value - setting.low : -1;
}

std::uint8_t ChoiceBinding::valueOfEntry(const NamedSetting& setting, int entry) {
    if (setting.kind == SettingKind::Choice) {
        const auto i = static_cast<std::size_t>(entry);
        return i < setting.choices.size() ? setting.choices[i].value : 0;
    }
    return static_cast<std::uint8_t>(setting.low + entry);
}

void ChoiceBinding::load(const NamedSetting& setting, const SettingsImage& image) {
    const std::uint8_t shown = SettingTable::value(image, setting);
    if (spinner_ != nullptr) {
        if (entryOfValue(setting, shown) >= 0) {
            spinner_->setValue(shown);
        }
        return;
    }
    if (list_ != nullptr) {
        list_->setCurrentIndex(entryOf_ ? entryOf_(shown) : entryOfValue(setting, shown));
        return;
    }
    const int entry = entryOfValue(setting, shown);
    for (int i = 0; i < buttons_.size(); ++i) {
        QAbstractButton* button = buttons_.at(i);
        // Exclusive buttons refuse to clear the checked one; no button is a state of its own.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(i == entry);
        button->setAutoExclusive(exclusive);
    }
}

void ChoiceBinding::store(const NamedSetting& setting, SettingsImage& image) const {
    if (spinner_ != nullptr) {
        SettingTable::setValue(image, setting, static_cast<std::uint8_t>(spinner_->value()));
        return;
    }
    if (list_ != nullptr) {
        const int entry = list_->currentIndex();
        SettingTable::setValue(image, setting, entry >= 0 ? valueOfEntry(setting, entry) : 0);
        return;
    }
    for (int i = 0; i < buttons_.size(); ++i) {
        if (buttons_.at(i)->isChecked()) {
            SettingTable::setValue(image, setting, valueOfEntry(setting, i));
        }
    }
}

void ChoiceBinding::showCaption(const NamedSetting& setting) {
    for (int i = 0; i < buttons_.size() && i < static_cast<int>(setting.choices.size()); ++i) {
        buttons_.at(i)->setText(fromTable(setting.choices[static_cast<std::size_t>(i)].label));
    }
}
