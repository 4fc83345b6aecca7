#include "ui/CardSwipeDialog.h"

#include "operations/FailureDescription.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"
#include "swipe/LayoutReadBack.h"
#include "swipe/SwipeListener.h"
#include "swipe/SwipeText.h"
#include "ui/SessionDriver.h"
#include "ui/SwipeCaptureField.h"
#include "ui/SwipeMarks.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { kTime, kLength, kCodes };

// The window's size where the screen has room for it.
constexpr int kWindowWidth = 760;
constexpr int kWindowHeight = 520;
// Room around a codes cell's text, and room left on the screen for the window's frame.
constexpr int kCellMargin = 6;
constexpr int kFrameRoom = 40;

const QString kMarkedFromPages =
    QStringLiteral("Prefixes and suffixes: marked from the window's pages.");

QFont codeFont() {
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    return font;
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
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
    : QDialog(parent), decoder_(SwipeLayout::fromSettings(image)),
      bursts_(SwipeListener::kQuietTime) {
    setWindowTitle(QStringLiteral("Card swipe test"));
    setObjectName(QStringLiteral("cardSwipeTest"));
    setModal(true);
    buildLayout();
    markedFrom_->setText(kMarkedFromPages);
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &CardSwipeDialog::listEndedSwipes);

    const std::uint8_t mode = SettingTable::value(image, SettingTable::kOperatingMode);
    const int port = SettingTable::value(image, SettingTable::kComPort);
    if (mode == SettingTable::kModeRs232 && port >= 1 && port <= 98) {
        readReaderSettings(port, image);
        return;
    }
    const NamedSetting* outputMode = SettingTable::find("msr.kb_output_mode");
    takeKeyboard(outputMode != nullptr && settingText(*outputMode, image) == "alt");
    // Without a serial port to listen on, the keyboard line is where a swipe can still arrive.
    if (mode == SettingTable::kModeRs232) {
        Failure none;
        none.kind = FailureKind::NoPortSelected;
        status_->setText(qText(describeFailure(none)) + QStringLiteral("\n") + status_->text());
    } else if (mode != SettingTable::kModeKeyboardWedge) {
        status_->setText(
            QStringLiteral("No operating mode is chosen on the Main Settings page.\n") +
            status_->text());
    }
}

CardSwipeDialog::~CardSwipeDialog() {
    clearSwipes();
    while (std::optional<std::vector<std::uint8_t>> rest = bursts_.takeRest()) {
        wipe(*rest);
    }
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

    buildList();

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

    legend_ = new QLabel(SwipeMarks::legendHtml(), this);
    legend_->setObjectName(QStringLiteral("legend"));
    legend_->setTextFormat(Qt::RichText);
    legend_->setWordWrap(true);
    legend_->setAccessibleName(SwipeMarks::legendText());
    markedFrom_ = new QLabel(this);
    markedFrom_->setObjectName(QStringLiteral("markedFrom"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showNumbers_);
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(capture_);
    layout->addWidget(list_, 2);
    layout->addWidget(legend_);
    layout->addWidget(markedFrom_);
    layout->addWidget(details_, 3);
    layout->addLayout(buttons);
    fitScreen();
}

void CardSwipeDialog::buildList() {
    list_ = new QTableWidget(0, 3, this);
    list_->setObjectName(QStringLiteral("swipes"));
    list_->setAccessibleName(QStringLiteral("Swipes"));
    list_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Length"),
                                      QStringLiteral("Codes (prefix and suffix marked)")});
    // The codes take the room the other columns leave and wrap inside it, so that a swipe's end
    // (the suffix) is always in sight; no column is narrower than its heading.
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionResizeMode(kTime, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kLength, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kCodes, QHeaderView::Stretch);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setWordWrap(true);
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (column == kCodes) {
            fitRows();
        }
    });
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list, so that the keyboard reaches the details and the buttons.
    list_->setTabKeyNavigation(false);
    connect(list_, &QTableWidget::itemSelectionChanged, this, &CardSwipeDialog::showSelected);
    list_->setMinimumWidth(header->sectionSizeHint(kTime) + header->sectionSizeHint(kLength) +
                           header->sectionSizeHint(kCodes) + 2 * list_->frameWidth());
}

void CardSwipeDialog::fitScreen() {
    // At twice the scale on a small screen the window's usual size would reach past the screen's
    // edge, with Close out of reach: it takes what the screen has, and the lists shrink.
    const QRect room = screen()->availableGeometry();
    list_->setMinimumHeight(0);
    details_->setMinimumHeight(0);
    resize(std::min(kWindowWidth, room.width() - kFrameRoom),
           std::min(kWindowHeight, room.height() - kFrameRoom));
}

void CardSwipeDialog::readReaderSettings(int port, const SettingsImage& image) {
    status_->setText(QStringLiteral("Reading the reader's settings on COM%1\u2026").arg(port));
    readBack_ =
        std::make_unique<LayoutReadBack>(PortMap::fromEnvironment(), PortName::number(port), image);
    readBack_->start();
    driver_ = std::make_unique<SessionDriver>(readBack_->session(), readBack_->clock());
    connect(driver_.get(), &SessionDriver::ended, this,
            [this, port, speed = SwipeListener::bitsPerSecond(image)] {
                readerSettingsRead(port, speed);
            });
    driver_->watch();
}

void CardSwipeDialog::readerSettingsRead(int port, int pagesSpeed) {
    // The driver goes once its signal is handled; the port is free again.
    driver_.release()->deleteLater();
    int speed = pagesSpeed;
    if (readBack_->succeeded()) {
        decoder_ = SwipeDecoder(readBack_->layout());
        speed = SwipeListener::bitsPerSecond(readBack_->image());
        markedFrom_->setText(QStringLiteral("Prefixes and suffixes: marked from the reader "
                                            "(its settings read back in %1 ms).")
                                 .arg(readBack_->elapsedMs()));
    } else {
        markedFrom_->setText(kMarkedFromPages.chopped(1) +
                             QStringLiteral(": the reader's settings could not be read back (%1).")
                                 .arg(qText(briefFailure(readBack_->outcome().failure))));
    }
    readBack_.reset();
    listenOnSerialPort(port, speed);
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
    std::vector<std::uint8_t> bytes;
    const bool present = listener_->readArrived(bytes);
    bytesHeard(bytes);
    wipe(bytes);
    if (!present) {
        notifier_->setEnabled(false);
        status_->setText(qText(describeFailure(listener_->lastFailure())));
        listRest();
    }
}

void CardSwipeDialog::codeTyped(int code) {
    const auto byte = static_cast<std::uint8_t>(code);
    bytesHeard(std::span(&byte, 1));
}

void CardSwipeDialog::bytesHeard(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    bursts_.add(bytes, std::chrono::steady_clock::now());
    listEndedSwipes();
}

void CardSwipeDialog::listEndedSwipes() {
    while (std::optional<std::vector<std::uint8_t>> burst =
               bursts_.take(std::chrono::steady_clock::now())) {
        listAndWipe(*burst);
    }
    const std::optional<BurstSplitter::TimePoint> deadline = bursts_.deadline();
    if (!deadline) {
        quiet_.stop();
        return;
    }
    // Woken early, the timer is simply set again for the time that is left.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    quiet_.start(std::max(left, std::chrono::milliseconds(0)));
}

void CardSwipeDialog::listRest() {
    quiet_.stop();
    while (std::optional<std::vector<std::uint8_t>> burst = bursts_.takeRest()) {
        listAndWipe(*burst);
    }
}

void CardSwipeDialog::listAndWipe(std::vector<std::uint8_t>& bytes) {
    addSwipe(bytes);
    wipe(bytes);
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
        html += SwipeMarks::html(piece);
    }
    // A screen reader reads the cell: the swipe part by part, its codes spelled out.
    const QString spoken = qText(SwipeText::spoken(heard.swipe, showNumbers()));
    auto* item = new QTableWidgetItem;
    item->setData(Qt::AccessibleTextRole, spoken);
    list_->setItem(row, kCodes, item);
    auto* codes = new QLabel(html, list_);
    codes->setTextFormat(Qt::RichText);
    codes->setWordWrap(true);
    codes->setFont(codeFont());
    codes->setAccessibleName(spoken);
    codes->setContentsMargins(kCellMargin / 2, kCellMargin / 2, kCellMargin / 2, kCellMargin / 2);
    list_->setCellWidget(row, kCodes, codes);
    fitRow(row);
}

void CardSwipeDialog::fitRow(int row) {
    auto* codes = qobject_cast<QLabel*>(list_->cellWidget(row, kCodes));
    if (codes == nullptr) {
        return;
    }
    // The cell leaves a pixel of each for the grid.
    const int height = codes->heightForWidth(list_->columnWidth(kCodes) - 1) + 1;
    list_->setRowHeight(row, std::max(height, list_->verticalHeader()->defaultSectionSize()));
}

void CardSwipeDialog::fitRows() {
    for (int row = 0; row < list_->rowCount(); ++row) {
        fitRow(row);
    }
}

void CardSwipeDialog::markSelectedRow() {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    const int chosen = selected.isEmpty() ? -1 : selected.front()->row();
    for (int row = 0; row < list_->rowCount(); ++row) {
        // The card data takes the row's own colours; the marks bring theirs.
        if (QWidget* codes = list_->cellWidget(row, kCodes)) {
            codes->setForegroundRole(row == chosen ? QPalette::HighlightedText : QPalette::Text);
        }
    }
}

void CardSwipeDialog::showSelected() {
    details_->clear();
    markSelectedRow();
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const bool numbers = showNumbers();
    const DecodedSwipe& swipe = swipes_[static_cast<std::size_t>(selected.front()->row())].swipe;
    new QTreeWidgetItem(details_,
                        {QStringLiteral("Swipe"), qText(SwipeText::codes(swipe, numbers))});
    for (const SwipeText::Piece& piece : SwipeText::pieces(swipe, numbers)) {
        if (SwipeMarks::isList(piece.part) || piece.part == SwipePart::Unrecognised) {
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
    markSelectedRow();
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
