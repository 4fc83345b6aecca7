#pragma once

#include <QMessageBox>
#include <QString>

class QShowEvent;

// A message box with the reason for a failure under its text, made to wrap only between words:
// the bytes of a hex run ("1B 1D C0") are joined by non-breaking spaces, and no token (a path, a
// device name) breaks at a slash or a hyphen inside it. The box is at least as wide as the
// reason's widest token, as far as the screen allows, even beyond the width a message box
// otherwise keeps to.
class ReasonBox : public QMessageBox {
    Q_OBJECT

public:
    ReasonBox(Icon icon, const QString& caption, const QString& text, QWidget* parent);

    // Plain text, never markup: the reason names device paths, which are the system's.
    void setReason(const QString& reason);

    static QString unbreakable(const QString& reason);

protected:
    void showEvent(QShowEvent* event) override;
};
