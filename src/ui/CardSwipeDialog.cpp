#include "ui/CardSwipeDialog.h"

#include "operations/FailureDescription.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"
#include "swipe/SwipeListener.h"
#include "swipe/SwipeText.h"
#include "ui/SwipeCaptureField.h"

#include <algorithm>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { kTime, kLength, kCodes };

QFont codeFont() {
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    return font;
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

// The prefixes and suffixes the settings send.
bool isList(SwipePart part) {
    return part == SwipePart::GlobalPrefix || part == SwipePart::GlobalSuffix ||
           part == SwipePart::TrackPrefix || part == SwipePart::TrackSuffix;
}

// A marked part: the lists the settings send stand out, sentinels and LRC are muted, bytes of no
// known part are red. The name of the part is its tool tip.
QString markedHtml(const SwipeText::Piece& piece) {
    const QString text = qText(piece.text).toHtmlEscaped();
    if (isList(piece.part)) {
        return QStringLiteral("<span style=\"background-color:#ffd84d\"><u>%1</u></span>")
            .arg(text);
    }
    switch (piece.part) {
    case SwipePart::StartSentinel:
    case SwipePart::EndSentinel:
    case SwipePart::Lrc:
        return QStringLiteral("<span style=\"color:#707070\">%1</span>").arg(text);
    case SwipePart::Unrecognised:
        return QStringLiteral("<span style=\"color:#b00000\">%1</span>").arg(text);
    default:
        break;
    }
    return text;
}

QString capitalised(const std::string& text) {
    QString result = qText(text);
    if (!result.isEmpty()) {
        result[0] = result[0].toUpper();
    }
    return result;
}

// Fills a buffer of card data with zeros before it is let go.
void wipe(std::vector<std::uint8_t>& bytes) {
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    bytes.clear();
}

} // namespace

CardSwipeDialog::CardSwipeDialog(const SettingsImage& image, QWidget* parent)
    : QDialog(parent), decoder_(SwipeLayout::fromSettings(image)) {
    setWindowTitle(QStringLiteral("Card swipe test"));
    setObjectName(QStringLiteral("cardSwipeTest"));
    setModal(true);
    buildLayout();
    quiet_.setSingleShot(true);
    quiet_.setInterval(static_cast<int>(SwipeListener::kQuietTime.count()));
    connect(&quiet_, &QTimer::timeout, this, &CardSwipeDialog::swipeEnded);

    const int port = image.com_port();
    if (image.operating_mode() == SettingsImage::kModeRs232 && port >= 1 && port <= 98) {
        listenOnSerialPort(port, SwipeListener::bitsPerSecond(image));
        return;
    }
    const NamedSetting* mode = SettingTable::find("msr.kb_output_mode");
    takeKeyboard(mode != nullptr && settingText(*mode, image) == "alt");
    // Without a serial port to listen on, the keyboard line is where a swipe can still arrive.
    if (image.operating_mode() == SettingsImage::kModeRs232) {
        Failure none;
        none.kind = FailureKind::NoPortSelected;
        status_->setText(qText(describeFailure(none)) + QStringLiteral("\n") + status_->text());
    } else if (image.operating_mode() != SettingsImage::kModeKeyboardWedge) {
        status_->setText(
            QStringLiteral("No operating mode is chosen on the Main Settings page.\n") +
            status_->text());
    }
}

CardSwipeDialog::~CardSwipeDialog() {
    clearSwipes();
    wipe(pending_);
}

void CardSwipeDialog::buildLayout() {
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    capture_ = new SwipeCaptureField(this);
    capture_->setObjectName(QStringLiteral("capture"));
    capture_->setAccessibleName(QStringLiteral("Keys the reader types"));
    capture_->setFont(codeFont());
    capture_->hide();
    connect(capture_, &SwipeCaptureField::codeTyped, this, &CardSwipeDialog::codeTyped);

    list_ = new QTableWidget(0, 3, this);
    list_->setObjectName(QStringLiteral("swipes"));
    list_->setAccessibleName(QStringLiteral("Swipes"));
    list_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Length"),
                                      QStringLiteral("Codes (prefix and suffix marked)")});
    // Long swipes scroll sideways rather than lose their end.
    list_->horizontalHeader()->setStretchLastSection(false);
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list, so that the keyboard reaches the details and the buttons.
    list_->setTabKeyNavigation(false);
    connect(list_, &QTableWidget::itemSelectionChanged, this, &CardSwipeDialog::showSelected);

    details_ = new QTreeWidget(this);
    details_->setObjectName(QStringLiteral("details"));
    details_->setAccessibleName(QStringLiteral("Tracks and fields of the selected swipe"));
    details_->setHeaderLabels({QStringLiteral("Part"), QStringLiteral("Value")});
    details_->setColumnWidth(0, 260);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    details_->setFont(codeFont());

    showNumbers_ = new QCheckBox(QStringLiteral("Show full card numbers"), this);
    showNumbers_->setObjectName(QStringLiteral("showNumbers"));
    connect(showNumbers_, &QCheckBox::toggled, this, &CardSwipeDialog::showNumbersChanged);
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("clear"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, &CardSwipeDialog::clearSwipes);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showNumbers_);
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(capture_);
    layout->addWidget(list_, 2);
    layout->addWidget(details_, 3);
    layout->addLayout(buttons);
    resize(760, 520);
}

void CardSwipeDialog::listenOnSerialPort(int port, int bitsPerSecond) {
    listener_ = std::make_unique<SwipeListener>();
    if (!listener_->open(PortName::number(port), bitsPerSecond)) {
        status_->setText(qText(describeFailure(listener_->lastFailure())));
        return;
    }
    status_->setText(QStringLiteral("Listening on COM%1 at %2 bit/s: swipe a card.")
                         .arg(port)
                         .arg(bitsPerSecond));
    list_->setFocus();
    notifier_ = new QSocketNotifier(listener_->descriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CardSwipeDialog::bytesArrived);
}

void CardSwipeDialog::takeKeyboard(bool altMode) {
    status_->setText(
        QStringLiteral("Keyboard Wedge%1: swipe a card while the field below has the focus "
                       "(Ctrl+Tab leaves it).")
            .arg(altMode ? QStringLiteral(", ALT mode") : QStringLiteral(", scan code mode")));
    capture_->setPlaceholderText(QStringLiteral("What the reader types arrives here"));
    capture_->show();
    capture_->setFocus();
}

void CardSwipeDialog::bytesArrived() {
    if (!listener_->readArrived(pending_)) {
        notifier_->setEnabled(false);
        status_->setText(qText(describeFailure(listener_->lastFailure())));
        swipeEnded();
        return;
    }
    quiet_.start();
}

void CardSwipeDialog::codeTyped(int code) {
    pending_.push_back(static_cast<std::uint8_t>(code));
    quiet_.start();
}

void CardSwipeDialog::swipeEnded() {
    quiet_.stop();
    if (!pending_.empty()) {
        addSwipe(pending_);
        wipe(pending_);
    }
}

void CardSwipeDialog::addSwipe(const std::vector<std::uint8_t>& bytes) {
    swipes_.push_back({QDateTime::currentDateTime(), decoder_.decode(bytes)});
    const int row = list_->rowCount();
    list_->insertRow(row);
    fillRow(row);
    list_->selectRow(row);
    if (capture_->isVisible()) {
        capture_->setText(qText(SwipeText::codes(swipes_.back().swipe, showNumbers())));
    }
}

void CardSwipeDialog::fillRow(int row) {
    const Heard& heard = swipes_[static_cast<std::size_t>(row)];
    list_->setItem(row, kTime,
                   new QTableWidgetItem(heard.at.time().toString(QStringLiteral("HH:mm:ss.zzz"))));
    list_->setItem(row, kLength, new QTableWidgetItem(QString::number(heard.swipe.bytes.size())));
    QString html;
    for (const SwipeText::Piece& piece : SwipeText::pieces(heard.swipe, showNumbers())) {
        html += markedHtml(piece);
    }
    auto* codes = new QLabel(html, list_);
    codes->setTextFormat(Qt::RichText);
    codes->setFont(codeFont());
    list_->setItem(row, kCodes, new QTableWidgetItem);
    list_->setCellWidget(row, kCodes, codes);
    list_->resizeColumnToContents(kTime);
    list_->resizeColumnToContents(kLength);
    const int room =
        list_->viewport()->width() - list_->columnWidth(kTime) - list_->columnWidth(kLength);
    list_->setColumnWidth(
        kCodes, std::max({room, list_->columnWidth(kCodes), codes->sizeHint().width() + 8}));
}

void CardSwipeDialog::showSelected() {
    details_->clear();
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const bool numbers = showNumbers();
    const DecodedSwipe& swipe = swipes_[static_cast<std::size_t>(selected.front()->row())].swipe;
    new QTreeWidgetItem(details_,
                        {QStringLiteral("Swipe"), qText(SwipeText::codes(swipe, numbers))});
    for (const SwipeText::Piece& piece : SwipeText::pieces(swipe, numbers)) {
        if (isList(piece.part) || piece.part == SwipePart::Unrecognised) {
            new QTreeWidgetItem(
                details_,
                {capitalised(SwipeText::partName(piece.part, piece.track)), qText(piece.text)});
        }
    }
    for (const DecodedTrack& track : swipe.tracks) {
        auto* heading = new QTreeWidgetItem(details_, {qText(SwipeText::heading(track))});
        heading->setFirstColumnSpanned(true);
        for (const SwipeText::Row& row : SwipeText::rows(swipe, track, numbers)) {
            new QTreeWidgetItem(heading, {qText(row.name), qText(row.value)});
        }
    }
    details_->expandAll();
}

void CardSwipeDialog::showNumbersChanged() {
    for (int row = 0; row < list_->rowCount(); ++row) {
        fillRow(row);
    }
    showSelected();
    if (capture_->isVisible() && !swipes_.empty()) {
        capture_->setText(qText(SwipeText::codes(swipes_.back().swipe, showNumbers())));
    }
}

void CardSwipeDialog::clearSwipes() {
    details_->clear();
    list_->setRowCount(0);
    capture_->clear();
    for (Heard& heard : swipes_) {
        wipe(heard.swipe.bytes);
    }
    swipes_.clear();
}

bool CardSwipeDialog::showNumbers() const {
    return showNumbers_->isChecked();
}
