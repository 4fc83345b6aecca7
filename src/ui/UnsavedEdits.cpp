#include "ui/UnsavedEdits.h"

void UnsavedEdits::takeLinkSettings() {
    const SettingsImage now = state_();
    unchanged_.operating_mode() = now.operating_mode();
    unchanged_.com_port() = now.com_port();
}

void UnsavedEdits::takePort() {
    unchanged_.com_port() = state_().com_port();
}

bool UnsavedEdits::any() const {
    return state_().raw() != unchanged_.raw();
}
