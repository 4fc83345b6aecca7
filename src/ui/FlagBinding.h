#pragma once

#include "ui/SettingBinding.h"

class QAbstractButton;

// A check box bound to a flag: checked while its bit is set.
class FlagBinding : public SettingBinding {
public:
    FlagBinding(std::string key, QAbstractButton* box);

    void load(const NamedSetting& setting, const SettingsImage& image) override;
    void store(const NamedSetting& setting, SettingsImage& image) const override;
    void showCaption(const NamedSetting& setting) override;

private:
    QAbstractButton* box_;
};
