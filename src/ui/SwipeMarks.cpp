#include "ui/SwipeMarks.h"

namespace {

// A zero-width space: a place where a line may break.
constexpr char16_t kBreakChance = u'\u200B';

struct Mark {
    const char* style;
    const char* words;
    const char* sample;
};

// Dark text on light grounds, white on the dark red: each is readable on any row.
constexpr Mark kListMark{"background-color:#ffd84d; color:#000000; text-decoration:underline",
                         "prefix or suffix the reader sends", "{13}"};
constexpr Mark kFrameMark{"background-color:#dedede; color:#303030", "start or end sentinel, LRC",
                          ";"};
constexpr Mark kUnknownMark{"background-color:#b00000; color:#ffffff; font-weight:bold",
                            "bytes of no known part", "{9}"};

const Mark* markOf(SwipePart part) {
    if (SwipeMarks::isList(part)) {
        return &kListMark;
    }
    switch (part) {
    case SwipePart::StartSentinel:
    case SwipePart::EndSentinel:
    case SwipePart::Lrc:
        return &kFrameMark;
    case SwipePart::Unrecognised:
        return &kUnknownMark;
    default:
        return nullptr;
    }
}

// The text with a break chance after each code ("{13}" counts as one).
QString breakable(const QString& text) {
    QString result;
    bool inCode = false;
    for (const QChar c : text) {
        result += c;
        inCode = c == u'{' || (inCode && c != u'}');
        if (!inCode) {
            result += QChar(kBreakChance);
        }
    }
    return result;
}

QString span(const Mark& mark, const QString& html) {
    return QStringLiteral("<span style=\"%1\">%2</span>").arg(QLatin1String(mark.style), html);
}

} // namespace

bool SwipeMarks::isList(SwipePart part) {
    return part == SwipePart::GlobalPrefix || part == SwipePart::GlobalSuffix ||
           part == SwipePart::TrackPrefix || part == SwipePart::TrackSuffix;
}

QString SwipeMarks::html(const SwipeText::Piece& piece) {
    const QString text = breakable(QString::fromStdString(piece.text).toHtmlEscaped());
    const Mark* mark = markOf(piece.part);
    return mark != nullptr ? span(*mark, text) : text;
}

QString SwipeMarks::legendHtml() {
    QString html = QStringLiteral("Marks:");
    for (const Mark* mark : {&kListMark, &kFrameMark, &kUnknownMark}) {
        html +=
            QStringLiteral("&nbsp; %1 %2;")
                .arg(span(*mark, QStringLiteral("&nbsp;%1&nbsp;").arg(QLatin1String(mark->sample))),
                     QLatin1String(mark->words));
    }
    return html + QStringLiteral("&nbsp; plain: card data. {13} is code 13, {123} a typed {.");
}

QString SwipeMarks::legendText() {
    return QStringLiteral("Marks: yellow, underlined: %1; grey: %2; red: %3; plain: card data. "
                          "Braces around a number give a code: {13} is code 13, {123} a typed "
                          "brace.")
        .arg(QLatin1String(kListMark.words), QLatin1String(kFrameMark.words),
             QLatin1String(kUnknownMark.words));
}
