#include "ui/KeyCodeEdit.h"

#include <utility>

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// Keys that belong to the dialog rather than to the entry (focus moves, default button, close).
bool isDialogKey(int key) {
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
           key == Qt::Key_Enter || key == Qt::Key_Escape;
}

} // namespace

KeyCodeEdit::KeyCodeEdit(Role role, ListSource list, QWidget* parent)
    : QLineEdit(parent), role_(role), list_(std::move(list)) {
    // Pasted, dropped or composed text would bypass the code list.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setDragEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void KeyCodeEdit::moveCaretToEnd() {
    deselect();
    end(false);
}

void KeyCodeEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        event->accept();
        return;
    }
    if (editsList()) {
        listKey(event);
    } else {
        keyPadKey(event);
    }
}

void KeyCodeEdit::listKey(QKeyEvent* event) {
    const int key = event->key();
    if (isDialogKey(key) || (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
        event->ignore(); // menu mnemonics and dialog keys go on to the window
        return;
    }
    event->accept();
    if (!list_) {
        return;
    }
    CodeList list = list_();
    bool changed = false;
    if (key == Qt::Key_Backspace) {
        changed = list.removeLast();
    } else if (!(event->modifiers() & Qt::ControlModifier)) {
        // With Control held a key is a shortcut or a control character, never a typed one.
        for (const QChar c : event->text()) {
            const char16_t code = c.unicode();
            if (code >= 32 && code <= 126 && list.append(static_cast<std::uint8_t>(code))) {
                changed = true;
            }
        }
    }
    // Everything else (caret moves, shortcuts, control characters) is swallowed: the caret
    // stays at the end and the text stays the list's.
    showList(list);
    if (changed) {
        emit codesChanged();
    }
}

void KeyCodeEdit::keyPadKey(QKeyEvent* event) {
    const int key = event->key();
    if (isDialogKey(key)) {
        event->ignore();
        return;
    }
    const bool editing = key == Qt::Key_Backspace || key == Qt::Key_Left || key == Qt::Key_Right ||
                         key == Qt::Key_Home || key == Qt::Key_End;
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier |
                                               Qt::MetaModifier | Qt::ShiftModifier));
    if (editing && plain) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    // A digit of the main keys or of the number pad, as the key pad's own buttons give it.
    const bool digit =
        key >= Qt::Key_0 && key <= Qt::Key_9 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (digit) {
        emit digitTyped(key - Qt::Key_0);
    }
}

void KeyCodeEdit::showList(const CodeList& list) {
    const QString text = QString::fromLatin1(list.displayText());
    if (text != this->text()) {
        setText(text);
    }
    moveCaretToEnd();
}

void KeyCodeEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !editsList()) {
        QLineEdit::mousePressEvent(event);
        return;
    }
    // A click only takes the focus; it neither places the caret nor starts a selection.
    event->accept();
    if (focusPolicy() & Qt::ClickFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    moveCaretToEnd();
}

void KeyCodeEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button's release would paste the X11 selection.
    if (event->button() == Qt::LeftButton && !editsList()) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    event->accept();
}

void KeyCodeEdit::mouseMoveEvent(QMouseEvent* event) {
    if (editsList()) {
        event->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(event);
}

void KeyCodeEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    if (editsList() || event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

void KeyCodeEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
}

void KeyCodeEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // A tab into the entry would otherwise select the whole text.
    if (editsList()) {
        moveCaretToEnd();
    }
}

void KeyCodeEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit focusLost();
}
