#pragma once

#include <QComboBox>

// A drop-down list with an editable field that only ever shows one of its entries (or nothing,
// when none is selected). Text typed into the field that names an entry, in any case, selects it
// when Enter is pressed or the field loses the focus, as choosing it from the list does
// (activated); any other text goes back to the selected entry's.
class DropDownList : public QComboBox {
    Q_OBJECT

public:
    explicit DropDownList(QWidget* parent);

private:
    void settleTypedText();
};
