#pragma once

#include "ui/KeyCodeEdit.h"

#include <QObject>
#include <QString>

class QLabel;
class QRect;

// The entry of one code list (prefix 3010 or suffix 3020) with its counter of free places. The
// entry edits the list it is given at once (KeyCodeEdit); the counter follows every change.
class CodeListEditor : public QObject {
    Q_OBJECT

public:
    // Entry and counter are children of `parent`, hidden until refreshed; the counter sits right
    // of the entry.
    CodeListEditor(QWidget* parent, KeyCodeEdit::Role role, int id, const QString& counterName,
                   const QRect& entryPlace, KeyCodeEdit::ListSource list);

    // Shows the entry with the list as it stands and its counter, or hides both.
    void refresh(bool shown);
    KeyCodeEdit* entry() const { return entry_; }

signals:
    // The operator changed the list through the entry, or left it: the key pad works for it.
    void used();

private:
    void showRemaining(int places);

    KeyCodeEdit* entry_;
    QLabel* counter_;
    KeyCodeEdit::ListSource list_;
    QString listName_; // "prefix" or "suffix"
};
