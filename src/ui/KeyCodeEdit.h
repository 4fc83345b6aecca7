#pragma once

#include "settings/CodeList.h"

#include <functional>

#include <QLineEdit>

// The single-line entry of the MSR pages. As a prefix or suffix entry it edits the current
// page's code list in the settings block directly: a printable character (32..126) is added at
// the end, Backspace takes the last code off, and the text is always the list's display form.
// Nothing else can change the text (no Delete, paste, cut, undo, selection, drag or drop), and
// the caret stays at the end, because the list only grows and shrinks there. As the key-pad
// entry it takes typed digits as the key-pad buttons give them, at the end of its text, and
// Backspace removes one; no other character.
class KeyCodeEdit : public QLineEdit {
    Q_OBJECT

public:
    enum class Role { Prefix, Suffix, KeyPad };
    // Gives the code list the entry works on now (it follows the current page).
    using ListSource = std::function<CodeList()>;

    KeyCodeEdit(Role role, ListSource list, QWidget* parent);

    Role role() const { return role_; }
    void moveCaretToEnd();

signals:
    // The operator added or removed a code through this entry.
    void codesChanged();
    void focusLost();
    // The key-pad entry only: a digit key was pressed, for the key pad to add.
    void digitTyped(int digit);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool editsList() const { return role_ != Role::KeyPad; }
    void listKey(QKeyEvent* event);
    void keyPadKey(QKeyEvent* event);
    void showList(const CodeList& list);

    Role role_;
    ListSource list_;
};
