#pragma once

#include <QString>

class QFontMetrics;

// The reason under a failed command's message, made to wrap only between words: the bytes of a
// hex run ("1B 1D C0") are joined by non-breaking spaces, and no token (a path, a device name)
// breaks at a slash or a hyphen inside it. The box that shows it is at least as wide as its
// widest token.
class ReasonText {
public:
    static QString unbreakable(const QString& reason);
    // The advance of the widest run of the text between spaces and line ends.
    static int widestToken(const QString& text, const QFontMetrics& metrics);
};
