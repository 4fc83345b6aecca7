#include "ui/FlagBinding.h"

#include "settings/SettingTable.h"

#include <QAbstractButton>

FlagBinding::FlagBinding(std::string key, QAbstractButton* box)
    : SettingBinding(std::move(key)), box_(box) {}

void FlagBinding::load(const NamedSetting& setting, const SettingsImage& image) {
    box_->setChecked(SettingTable::flag(image, setting));
}

void FlagBinding::store(const NamedSetting& setting, SettingsImage& image) const {
    SettingTable::setFlag(image, setting, box_->isChecked());
}

void FlagBinding::showCaption(const NamedSetting& setting) {
    box_->setText(fromTable(setting.caption));
}
