#include "ui/ArialFont.h"

#include <QStringList>

QFont arialFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
