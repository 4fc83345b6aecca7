#include "ui/ReasonText.h"

#include <algorithm>

#include <QFontMetrics>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace {

constexpr QChar kNoBreakSpace(0x00A0);
constexpr QChar kWordJoiner(0x2060);

bool breaksAfter(QChar c) {
    return c == u' ' || c == u'\n';
}

} // namespace

QString ReasonText::unbreakable(const QString& reason) {
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

int ReasonText::widestToken(const QString& text, const QFontMetrics& metrics) {
    int widest = 0;
    for (const QString& line : text.split(u'\n')) {
        for (const QString& token : line.split(u' ', Qt::SkipEmptyParts)) {
            widest = std::max(widest, metrics.horizontalAdvance(token));
        }
    }
    return widest;
}
