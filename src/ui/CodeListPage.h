#pragma once

#include "ui/SettingsPage.h"

class QCheckBox;

// A page whose prefix and suffix lists the code-list panel edits while it is shown: the MSR
// Main Settings page and the MSR Track page. Both open with the same three rows: a beep box,
// then "Prefix" and "Suffix", whose boxes decide which entries the panel shows.
class CodeListPage : public SettingsPage {
    Q_OBJECT

public:
    QCheckBox* prefixBox() const { return prefix_; }
    QCheckBox* suffixBox() const { return suffix_; }

protected:
    // The three rows, with the control ids firstId, firstId + 1 and firstId + 2.
    CodeListPage(SettingsImage& image, std::string section, QWidget* parent,
                 std::string_view beepKey, int firstId);

private:
    QCheckBox* prefix_ = nullptr;
    QCheckBox* suffix_ = nullptr;
};
