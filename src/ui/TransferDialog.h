#pragma once

#include "link/WorkTickSchedule.h"

#include <QDialog>
#include <QPointer>

class QEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TransferEngine;

// The small modal window in which a device transaction runs: a fixed text, a red progress bar
// and CANCEL. The window only owns its controls and two timers and forwards to the engine:
// timer 1 (100 ms) steps the bar, timer 2 (the engine's period) advances the transaction, key
// presses pass through the engine's key rule before the window's own handling. exec() starts the
// engine and returns its end code: 1 for every ending of the transaction, 2 for Escape.
class TransferDialog : public QDialog {
    Q_OBJECT

public:
    TransferDialog(TransferEngine& engine, QWidget* parent = nullptr);
    ~TransferDialog() override;
    TransferDialog(const TransferDialog&) = delete;
    TransferDialog& operator=(const TransferDialog&) = delete;

    int exec() override;
    // The OK command: the CANCEL button and Enter.
    void accept() override;
    // The Escape key, and any other close of the window.
    void reject() override;

    QTimer* progressTimer() const { return progressTimer_; }
    QTimer* workTimer() const { return workTimer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onProgressTick();
    void onWorkTick();
    void followWorkPeriod();
    void endIfFinished();
    void stopTimers();
    void showProgress(int value, bool paintNow);
    // A key press seen again while Qt passes it up from the focus widget to its parents.
    bool isPropagated(QEvent* event, QWidget* receiver) const;

    TransferEngine& engine_;
    QLabel* text_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QTimer* progressTimer_;
    QTimer* workTimer_;
    WorkTickSchedule workTicks_;
    QEvent* lastKey_ = nullptr;
    QPointer<QWidget> lastKeyReceiver_;
};
