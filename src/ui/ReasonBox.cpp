#include "ui/ReasonBox.h"

#include <algorithm>

#include <QLabel>
#include <QLayout>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBoundaryFinder>

namespace {

constexpr QChar kNoBreakSpace(0x00A0);
constexpr QChar kWordJoiner(0x2060);

bool breaksAfter(QChar c) {
    return c == u' ' || c == u'\n';
}

} // namespace

ReasonBox::ReasonBox(Icon icon, const QString& caption, const QString& text, QWidget* parent)
    : QMessageBox(icon, caption, text, QMessageBox::Ok, parent) {
    setTextFormat(Qt::PlainText);
}

void ReasonBox::setReason(const QString& reason) {
    // The label's minimum width is then its widest token, which the box makes room for.
    setInformativeText(unbreakable(reason));
    if (auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);
    }
}

QString ReasonBox::unbreakable(const QString& reason) {
    // Bytes as the device commands show them: two upper-case hex digits, one space between.
    static const QRegularExpression hexRun(
        QStringLiteral("(?<![0-9A-Za-z])[0-9A-F]{2}(?: [0-9A-F]{2})+(?![0-9A-Za-z])"));
    QString joined = reason;
    for (auto match = hexRun.globalMatch(reason); match.hasNext();) {
        const QRegularExpressionMatch run = match.next();
        for (qsizetype i = run.capturedStart(); i < run.capturedEnd(); ++i) {
            if (joined.at(i) == u' ') {
                joined[i] = kNoBreakSpace;
            }
        }
    }
    // A word joiner at every place where a line could break inside a token.
    QString result;
    result.reserve(joined.size() + joined.size() / 4);
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, joined);
    qsizetype copied = 0;
    for (qsizetype at = lines.toNextBoundary(); at > 0 && at < joined.size();
         at = lines.toNextBoundary()) {
        result += QStringView(joined).mid(copied, at - copied);
        copied = at;
        if (!breaksAfter(joined.at(at - 1))) {
            result += kWordJoiner;
        }
    }
    result += QStringView(joined).mid(copied);
    return result;
}

void ReasonBox::showEvent(QShowEvent* event) {
    // The message box keeps to a width well below the screen's; a reason token wider than that
    // widens it, up to the screen.
    QMessageBox::showEvent(event);
    const QScreen* shownOn = screen();
    const int room = shownOn != nullptr ? shownOn->availableGeometry().width() : width();
    const int needed = std::min(layout()->totalMinimumSize().width(), room);
    if (needed > width()) {
        const int tall = layout()->totalHeightForWidth(needed);
        setFixedSize(needed, tall > 0 ? tall : height());
    }
}
