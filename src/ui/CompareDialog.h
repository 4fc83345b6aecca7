#pragma once

#include "settings/SettingDifferences.h"

#include <vector>

#include <QDialog>

class QTableWidget;

// "Compare with the reader": the settings the reader holds otherwise than the window, one row
// each with its name, its caption, the window's value and the reader's, or a line saying that the
// reader holds the window's settings. "Program the reader" ends it with Accepted; the window then
// programs the reader as "via &RS232" does.
class CompareDialog : public QDialog {
    Q_OBJECT

public:
    // The first text of each difference is the window's, the second the reader's.
    CompareDialog(const std::vector<SettingDifference>& differences, QWidget* parent = nullptr);

private:
    QTableWidget* table(const std::vector<SettingDifference>& differences);
};
