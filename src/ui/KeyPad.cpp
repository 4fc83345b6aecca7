#include "ui/KeyPad.h"

#include "ui/KeyCodeEdit.h"

#include <algorithm>

#include <QGroupBox>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

// The bitmaps are compiled into the static UI library, whose resource initialiser the linker would
// drop as unreferenced; registering them here keeps them.
static void registerBitmaps() {
    Q_INIT_RESOURCE(bitmaps);
}

namespace {

constexpr int kDigitLeft = 223;
constexpr int kDigitTop = 330;
constexpr int kDigitSize = 32;

// A button that shows a picture only: its accessible name says what the picture shows.
QPushButton* bitmapButton(QWidget* window, const QString& id, const QString& bitmap,
                          const QRect& geometry, const QString& name) {
    auto* button = new QPushButton(window);
    button->setObjectName(id);
    button->setAccessibleName(name);
    const QPixmap pixmap(QStringLiteral(":/bitmaps/%1.png").arg(bitmap));
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
    button->setGeometry(geometry);
    // Not a default button of the dialog: no default frame, and Enter clicks nothing.
    button->setAutoDefault(false);
    button->hide();
    return button;
}

} // namespace

KeyPad::KeyPad(QWidget* window) : QObject(window) {
    registerBitmaps();
    group_ = new QGroupBox(QStringLiteral("Key pad allow you to input ASCII code(1~255)"), window);
    group_->setObjectName(QStringLiteral("keyPadGroup"));
    group_->setGeometry(220, 290, 327, 100);
    group_->hide();

    entry_ = new KeyCodeEdit(KeyCodeEdit::Role::KeyPad, {}, window);
    entry_->setObjectName(QStringLiteral("2012"));
    entry_->setGeometry(223, 308, 321, 22);
    entry_->setAccessibleName(group_->title());
    entry_->hide();
    connect(entry_, &QLineEdit::textChanged, this, &KeyPad::applyLimit);
    connect(entry_, &KeyCodeEdit::digitTyped, this,
            [this](int digit) { entry_->setText(entry_->text() + QString::number(digit)); });

    for (int k = 0; k < 10; ++k) {
        QPushButton* button =
            bitmapButton(window, QString::number(2000 + k), QStringLiteral("digit%1").arg(k),
                         QRect(kDigitLeft + kDigitSize * k, kDigitTop, kDigitSize, kDigitSize),
                         QString::number(k));
        connect(button, &QPushButton::clicked, this, [this, k] { appendDigit(k); });
        digits_.at(static_cast<std::size_t>(k)) = button;
    }
    erase_ = bitmapButton(window, QStringLiteral("2011"), QStringLiteral("erase"),
                          QRect(223, 362, 161, 26), QStringLiteral("Erase the last digit"));
    connect(erase_, &QPushButton::clicked, this, &KeyPad::erase);
    ok_ = bitmapButton(window, QStringLiteral("2010"), QStringLiteral("ok"),
                       QRect(384, 362, 160, 26), QStringLiteral("Add the code to the list"));
    connect(ok_, &QPushButton::clicked, this, &KeyPad::okClicked);
}

void KeyPad::setVisible(bool visible) {
    group_->setVisible(visible);
    entry_->setVisible(visible);
    for (QPushButton* button : digits_) {
        button->setVisible(visible);
    }
    erase_->setVisible(visible);
    ok_->setVisible(visible);
}

int KeyPad::value() const {
    return static_cast<int>(leadingValue(entry_->text()));
}

void KeyPad::clear() {
    entry_->clear();
}

long KeyPad::leadingValue(const QString& text) {
    // Like atoi, saturating far above the 255 limit so that no text can overflow it.
    constexpr long kCap = 1000000;
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = std::min(kCap, value * 10 + (text.at(i).unicode() - u'0'));
    }
    return negative ? -value : value;
}

QString KeyPad::limited(QString text) {
    for (;;) {
        QString next = text;
        const long v = leadingValue(text);
        if (v < 0 || v > 255) {
            next = text.left(2);
        }
        if (text.size() > 3) {
            next = text.left(3);
        }
        if (next == text) {
            return text;
        }
        text = next;
    }
}

void KeyPad::appendDigit(int digit) {
    entry_->setText(entry_->text() + QString::number(digit));
    emit digitClicked(digit);
}

void KeyPad::erase() {
    QString text = entry_->text();
    text.chop(1);
    entry_->setText(text);
}

void KeyPad::applyLimit() {
    const QString text = entry_->text();
    const QString kept = limited(text);
    if (kept != text) {
        entry_->setText(kept);
    }
}
