#include "ui/PageTitle.h"

#include "ui/ArialFont.h"

#include <QFontMetrics>

PageTitle::PageTitle(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("1101"));
    setGeometry(210, 9, 340, 30);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAlignment(Qt::AlignCenter);
    showTitle(QStringLiteral("MSR main settings"));
}

void PageTitle::showTitle(const QString& title) {
    QFont font;
    // Arial's metric twin where Arial itself is not installed.
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    font.setBold(true);
    const int room = contentsRect().width() - 2 * margin() - 4;
    int size = kPixelSize;
    for (; size > kSmallestPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(title) <= room) {
            break;
        }
    }
    font.setPixelSize(size);
    setFont(font);
    const QFontMetrics metrics(font);
    setText(metrics.horizontalAdvance(title) <= room
                ? title
                : metrics.elidedText(title, Qt::ElideRight, room));
}
