#include "ui/TransferDialog.h"

#include "link/TransferEngine.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// 186 x 56 dialog units of the original window at its 8 pt font.
constexpr int kWidth = 280;
constexpr int kHeight = 95;
constexpr int kButtonWidth = 130;

// The key code the engine is given for a key-down. A reader in the keyboard line types the key
// in the place of O whatever layout the desktop uses; with a Cyrillic or Greek layout that key
// gives another character, so the physical key (its XKB key code, the same under X11 and
// Wayland) counts as O too.
constexpr quint32 kPhysicalKeyO = 32;

int engineKey(const QKeyEvent& event) {
    return event.nativeScanCode() == kPhysicalKeyO ? Qt::Key_O : event.key();
}

} // namespace

TransferDialog::TransferDialog(TransferEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), engine_(engine),
      text_(new QLabel(QStringLiteral("Auto Detectting"), this)), progress_(new QProgressBar(this)),
      cancel_(new QPushButton(QStringLiteral("CANCEL"), this)), progressTimer_(new QTimer(this)),
      workTimer_(new QTimer(this)) {
    setModal(true);
    setObjectName(QStringLiteral("transferDialog"));
    setFixedSize(kWidth, kHeight);
    // A screen reader names the window, its text and its bar by what they are for; the text
    // itself stays as the window has always shown it.
    setAccessibleName(QStringLiteral("Working with the reader"));
    text_->setAccessibleName(QStringLiteral("Working with the reader, please wait"));
    text_->setAccessibleDescription(text_->text());
    progress_->setAccessibleName(QStringLiteral("Progress"));

    text_->setObjectName(QStringLiteral("autoDetectText"));
    text_->setAlignment(Qt::AlignCenter);

    progress_->setObjectName(QStringLiteral("1036"));
    progress_->setRange(0, TransferEngine::kProgressMaximum);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setStyleSheet(
        QStringLiteral("QProgressBar { background-color: rgb(255, 0, 0); border: 1px solid gray; }"
                       "QProgressBar::chunk { background-color: palette(highlight); }"));

    cancel_->setObjectName(QStringLiteral("1"));
    cancel_->setDefault(true);
    cancel_->setFixedWidth(kButtonWidth);
    connect(cancel_, &QPushButton::clicked, this, &TransferDialog::accept);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cancel_);
    buttonRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(4);
    layout->addWidget(text_);
    layout->addWidget(progress_);
    layout->addLayout(buttonRow);

    progressTimer_->setObjectName(QStringLiteral("progressTimer"));
    workTimer_->setObjectName(QStringLiteral("workTimer"));
    connect(progressTimer_, &QTimer::timeout, this, &TransferDialog::onProgressTick);
    connect(workTimer_, &QTimer::timeout, this, &TransferDialog::onWorkTick);

    // A keyboard send holds the thread for seconds: paint the bar at once, since no paint
    // event is handled until the send is over.
    engine_.setProgressListener([this](int value) { showProgress(value, true); });
}

TransferDialog::~TransferDialog() {
    qApp->removeEventFilter(this);
    engine_.setProgressListener({});
}

int TransferDialog::exec() {
    engine_.start();
    if (engine_.finished()) {
        // The run ended before any tick (the serial port did not open): no window.
        setResult(static_cast<int>(engine_.endCode()));
        return static_cast<int>(engine_.endCode());
    }
    showProgress(engine_.progress(), false);
    progressTimer_->start(TransferEngine::kProgressPeriodMs);
    followWorkPeriod();
    qApp->installEventFilter(this);
    QDialog::exec();
    qApp->removeEventFilter(this);
    stopTimers();
    if (!engine_.finished()) {
        // Closed from outside (its parent went away): the run ends as for Escape, so that the
        // port is released and no outcome is claimed.
        engine_.escape();
    }
    return static_cast<int>(engine_.endCode());
}

void TransferDialog::accept() {
    engine_.cancel();
    endIfFinished();
}

void TransferDialog::reject() {
    engine_.escape();
    endIfFinished();
}

bool TransferDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        lastKey_ = nullptr;
    } else if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if ((widget == this || isAncestorOf(widget)) && !isPropagated(event, widget)) {
            lastKey_ = event;
            lastKeyReceiver_ = widget;
            engine_.keyDown(engineKey(*static_cast<QKeyEvent*>(event)));
            endIfFinished();
        }
    }
    // The key goes on to the window's own handling (Enter, Escape).
    return false;
}

bool TransferDialog::isPropagated(QEvent* event, QWidget* receiver) const {
    return event == lastKey_ && lastKeyReceiver_ && receiver->isAncestorOf(lastKeyReceiver_);
}

void TransferDialog::onProgressTick() {
    engine_.progressTick();
    showProgress(engine_.progress(), false);
    endIfFinished();
}

void TransferDialog::onWorkTick() {
    engine_.workTick();
    followWorkPeriod();
    endIfFinished();
}

void TransferDialog::followWorkPeriod() {
    switch (workTicks_.follow(engine_.workPeriodMs())) {
    case WorkTickSchedule::TimerChange::None:
        break;
    case WorkTickSchedule::TimerChange::Restart:
        workTimer_->start(workTicks_.periodMs());
        break;
    case WorkTickSchedule::TimerChange::Stop:
        workTimer_->stop();
        break;
    }
}

void TransferDialog::endIfFinished() {
    if (!engine_.finished()) {
        return;
    }
    stopTimers();
    done(static_cast<int>(engine_.endCode()));
}

void TransferDialog::stopTimers() {
    progressTimer_->stop();
    workTimer_->stop();
    workTicks_.stop();
}

void TransferDialog::showProgress(int value, bool paintNow) {
    progress_->setValue(value);
    if (paintNow) {
        progress_->repaint();
    }
}
