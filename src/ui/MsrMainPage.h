#pragma once

#include "ui/CodeListPage.h"

// The MSR Main Settings page: the reader's track-independent options in msr_flags, and whether
// the global prefix and suffix are sent.
class MsrMainPage : public CodeListPage {
    Q_OBJECT

public:
    MsrMainPage(SettingsImage& image, QWidget* parent);
};
