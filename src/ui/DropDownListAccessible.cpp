#include "ui/DropDownListAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>

namespace {

QComboBox* listOf(QWidget* widget) {
    return static_cast<QComboBox*>(widget);
}

} // namespace

DropDownListAccessible::DropDownListAccessible(QWidget* list)
    : QAccessibleWidget(list, QAccessible::ComboBox) {}

QAccessibleInterface* DropDownListAccessible::create(const QString& className, QObject* object) {
    if (className == QLatin1String("DropDownList") && object != nullptr && object->isWidgetType()) {
        return new DropDownListAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

QString DropDownListAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        return listOf(widget())->currentText();
    }
    // The name: the accessible name given, else the text of the label that is its buddy.
    return QAccessibleWidget::text(t);
}

QAccessible::State DropDownListAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const QComboBox* list = listOf(widget());
    state.expandable = true;
    state.expanded = list->view()->isVisible();
    state.collapsed = !state.expanded;
    state.editable = list->isEditable();
    state.hasPopup = true;
    return state;
}

QStringList DropDownListAccessible::actionNames() const {
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

void DropDownListAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        listOf(widget())->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
