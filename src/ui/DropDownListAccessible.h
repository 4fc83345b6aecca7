#pragma once

#include <QAccessibleWidget>

class QObject;
class QString;

// What a screen reader is told of a DropDownList: its caption as its name and the entry shown as
// its value. Qt's own interface for a combo box on Linux gives the entry as the name too, so a
// list would be announced as "Com 1" with nothing to say what it chooses; the caption comes from
// the list's accessible name or from the label whose buddy it is.
class DropDownListAccessible : public QAccessibleWidget {
public:
    explicit DropDownListAccessible(QWidget* list);

    // The factory Qt asks for a DropDownList's interface; nothing for any other object.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};
