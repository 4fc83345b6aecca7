#include "ui/FlagBinding.h"

#include <QAbstractButton>

FlagBinding::FlagBinding(std::string key, QAbstractButton* box)
    : SettingBinding(std::move(key)), box_(box) {}

void FlagBinding::load(const NamedSetting& setting, const SettingsImage& image) {
    box_->setChecked(value(setting, image) != 0);
}

void FlagBinding::store(const NamedSetting& setting, SettingsImage& image) const {
    setValue(setting, image, box_->isChecked() ? setting.mask : 0);
}

void FlagBinding::showCaption(const NamedSetting& setting) {
    box_->setText(fromTable(setting.caption));
}
