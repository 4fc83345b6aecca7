#include "ui/UnsavedEdits.h"

#include "settings/SettingTable.h"

void UnsavedEdits::takeLinkSettings() {
    const SettingsImage now = state_();
    for (const std::string_view name : {SettingTable::kOperatingMode, SettingTable::kComPort}) {
        SettingTable::setValue(unchanged_, name, SettingTable::value(now, name));
    }
}

void UnsavedEdits::takePort() {
    SettingTable::setValue(unchanged_, SettingTable::kComPort,
                           SettingTable::value(state_(), SettingTable::kComPort));
}

bool UnsavedEdits::any() const {
    return state_().raw() != unchanged_.raw();
}
