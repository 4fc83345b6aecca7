#include "ui/DropDownList.h"

#include "ui/DropDownListAccessible.h"

#include <QAccessible>
#include <QLineEdit>

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
    // Screen readers are told the list's caption, not its entry, as its name.
    static const bool named = (QAccessible::installFactory(&DropDownListAccessible::create), true);
    (void)named;
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
