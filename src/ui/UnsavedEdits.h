#pragma once

#include "settings/SettingsImage.h"

#include <functional>
#include <utility>

// Whether the operator changed anything on the pages since the settings were last loaded, saved
// or read back. The pages are compared as they would be stored, against how they were stored at
// that moment; what the search for the reader sets (the operating mode and the port) is taken
// along with it, never counted as a change.
class UnsavedEdits {
public:
    // The block as the pages would store it now, without storing them.
    using PageState = std::function<SettingsImage()>;

    explicit UnsavedEdits(PageState state) : state_(std::move(state)) {}

    // The pages now hold what was loaded, saved or read back.
    void markUnchanged() { unchanged_ = state_(); }
    // The search set the operating mode and the port: neither is the operator's change.
    void takeLinkSettings();
    // The window chose the port itself (the RS232 layout picks Com 1 where none was chosen).
    void takePort();
    bool any() const;

private:
    PageState state_;
    SettingsImage unchanged_;
};
