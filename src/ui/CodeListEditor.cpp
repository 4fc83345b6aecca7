#include "ui/CodeListEditor.h"

#include <utility>

#include <QLabel>

CodeListEditor::CodeListEditor(QWidget* parent, KeyCodeEdit::Role role, int id,
                               const QString& counterName, const QRect& entryPlace,
                               KeyCodeEdit::ListSource list)
    : QObject(parent), entry_(new KeyCodeEdit(role, list, parent)),
      counter_(new QLabel(QStringLiteral("7"), parent)), list_(std::move(list)) {
    entry_->setObjectName(QString::number(id));
    // Named by the box beside it, which shows "Prefix" or "Suffix".
    listName_ =
        role == KeyCodeEdit::Role::Prefix ? QStringLiteral("prefix") : QStringLiteral("suffix");
    entry_->setAccessibleName(role == KeyCodeEdit::Role::Prefix ? QStringLiteral("Prefix")
                                                                : QStringLiteral("Suffix"));
    entry_->setGeometry(entryPlace);
    entry_->hide();
    counter_->setObjectName(counterName);
    counter_->setFrameStyle(QFrame::Box | QFrame::Plain);
    counter_->setAlignment(Qt::AlignCenter);
    counter_->setGeometry(entryPlace.right() + 1, entryPlace.top(), 40, entryPlace.height());
    counter_->hide();

    connect(entry_, &KeyCodeEdit::codesChanged, this, [this] {
        showRemaining(list_().remaining());
        emit used();
    });
    connect(entry_, &KeyCodeEdit::focusLost, this, &CodeListEditor::used);
}

void CodeListEditor::refresh(bool shown) {
    entry_->setVisible(shown);
    counter_->setVisible(shown);
    if (shown) {
        const CodeList list = list_();
        entry_->setText(QString::fromLatin1(list.displayText()));
        showRemaining(list.remaining());
    }
}

void CodeListEditor::showRemaining(int places) {
    counter_->setText(QString::number(places));
    // A screen reader says what the number counts, with the number.
    counter_->setAccessibleName(
        QStringLiteral("Places left in the %1: %2").arg(listName_).arg(places));
}
