#include "ui/DropDownList.h"

#include <QLineEdit>

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typing never adds an entry.
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(6);
    connect(lineEdit(), &QLineEdit::editingFinished, this, &DropDownList::settleTypedText);
}

void DropDownList::settleTypedText() {
    const int entry = findText(currentText(), Qt::MatchFixedString);
    if (entry >= 0 && entry != currentIndex()) {
        setCurrentIndex(entry);
        emit activated(entry);
        return;
    }
    const QString selected = currentIndex() >= 0 ? itemText(currentIndex()) : QString();
    if (currentText() != selected) {
        setEditText(selected);
    }
}
