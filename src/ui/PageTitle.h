#pragma once

#include <QLabel>

// The bordered, centred title over the MSR pages (control 1101), in bold Arial 24 px. A title
// too long for it at that size is shown smaller, down to 12 px, so that it fits; only one too
// long even then is cut short with an ellipsis.
class PageTitle : public QLabel {
    Q_OBJECT

public:
    static constexpr int kPixelSize = 24;
    static constexpr int kSmallestPixelSize = 12;

    explicit PageTitle(QWidget* parent);

    void showTitle(const QString& title);
};
