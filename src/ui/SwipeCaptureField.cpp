#include "ui/SwipeCaptureField.h"

#include <QKeyEvent>

namespace {

constexpr int kMaxCode = 255;

// Keys that type no text but stand for a code of their own.
int controlCode(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    default:
        return -1;
    }
}

} // namespace

SwipeCaptureField::SwipeCaptureField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
}

bool SwipeCaptureField::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every key is the reader's: none of them may trigger a shortcut of the window.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        // A reader never types Ctrl+Tab: it leaves the field, so that the keyboard alone reaches
        // the rest of the window.
        if ((key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
            key.modifiers().testFlag(Qt::ControlModifier)) {
            focusNextPrevChild(key.key() == Qt::Key_Tab &&
                               !key.modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        keyDown(key);
        return true;
    }
    case QEvent::KeyRelease:
        keyUp(static_cast<const QKeyEvent&>(*event));
        return true;
    default:
        return QLineEdit::event(event);
    }
}

void SwipeCaptureField::keyDown(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Alt) {
        altHeld_ = true;
        altValue_ = -1;
        return;
    }
    const bool alt = altHeld_ || key.modifiers().testFlag(Qt::AltModifier);
    const int digit = keypadDigit(key);
    if (alt && digit >= 0) {
        altHeld_ = true;
        // As the console composes them: the value modulo 256.
        altValue_ = ((altValue_ < 0 ? 0 : altValue_) * 10 + digit) % (kMaxCode + 1);
        return;
    }
    if (const int code = controlCode(key.key()); code >= 0) {
        emit codeTyped(code);
        return;
    }
    for (const QChar c : key.text()) {
        if (c.unicode() >= 1 && c.unicode() <= kMaxCode) {
            emit codeTyped(c.unicode());
        }
    }
}

void SwipeCaptureField::keyUp(const QKeyEvent& key) {
    if (key.key() != Qt::Key_Alt || !altHeld_) {
        return;
    }
    altHeld_ = false;
    const int code = altValue_;
    altValue_ = -1;
    // Alt alone, or digits that make 0, type nothing.
    if (code > 0) {
        emit codeTyped(code);
    }
}

int SwipeCaptureField::keypadDigit(const QKeyEvent& key) {
    if (!key.modifiers().testFlag(Qt::KeypadModifier)) {
        return -1;
    }
    if (key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9) {
        return key.key() - Qt::Key_0;
    }
    // Num Lock off: the keypad keys arrive as the movement keys printed on them.
    static const int kMovement[10] = {
        Qt::Key_Insert, Qt::Key_End,   Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Left,
        Qt::Key_Clear,  Qt::Key_Right, Qt::Key_Home, Qt::Key_Up,       Qt::Key_PageUp};
    for (int digit = 0; digit < 10; ++digit) {
        if (key.key() == kMovement[digit]) {
            return digit;
        }
    }
    return -1;
}
