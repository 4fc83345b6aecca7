#include "ui/MainSettingsPage.h"

#include "settings/SettingsImage.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

namespace {

constexpr std::uint8_t kBuzzerBit = 0x80;
constexpr int kHighestDelayEntry = 254;
constexpr int kComPortEntries = 98;
constexpr int kListHeight = 24;

// Entry text shown for each baud code. Codes 1..7 are the list's own (entry index + 1); 0 and 8
// fall on an entry of another code, and 9 names a rate the list does not offer.
constexpr std::array<const char*, 10> kBaudTexts = {"9600", "600",   "1200",  "2400",  "4800",
                                                    "9600", "19200", "38400", "38400", "57600"};

template <typename Widget, typename... Args>
Widget* makeControl(QWidget* window, const char* id, QRect geometry, Args&&... args) {
    auto* control = new Widget(std::forward<Args>(args)..., window);
    control->setObjectName(QString::fromLatin1(id));
    control->setGeometry(geometry);
    control->hide();
    return control;
}

QComboBox* makeList(QWidget* window, const char* id, QRect geometry) {
    auto* list = makeControl<QComboBox>(window, id, geometry);
    list->setEditable(true);
    // Typing in the field never adds an entry, so the selection always names a listed value.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMaxVisibleItems(6);
    return list;
}

QSpinBox* makeDelaySpinner(QWidget* window, const char* id, QRect geometry) {
    auto* spinner = makeControl<QSpinBox>(window, id, geometry);
    spinner->setRange(0, 0);
    spinner->setWrapping(false);
    return spinner;
}

// A delay the spinner cannot show (255) leaves it where it was.
void showDelay(QSpinBox* spinner, std::uint8_t value) {
    if (value <= spinner->maximum()) {
        spinner->setValue(value);
    }
}

std::uint8_t selectionCode(const QComboBox* list) {
    return static_cast<std::uint8_t>(list->currentIndex() + 1);
}

} // namespace

MainSettingsPage::MainSettingsPage(QWidget* window, SettingsImage& image) : image_(image) {
    createControls(window);
    connectEvents();
}

void MainSettingsPage::createControls(QWidget* window) {
    // Group boxes first: later siblings are drawn above them and get the mouse.
    pageBox_ =
        makeControl<QGroupBox>(window, "1007", {10, 6, 540, 396}, QStringLiteral("Main Settings"));
    modeBox_ =
        makeControl<QGroupBox>(window, "1010", {30, 34, 500, 62}, QStringLiteral("Operating Mode"));
    protocolBox_ =
        makeControl<QGroupBox>(window, "1011", {30, 112, 500, 160}, QStringLiteral("Protocol"));

    keyboardWedge_ = makeControl<QRadioButton>(window, "1008", {60, 60, 180, 24},
                                               QStringLiteral("Keyboard Wedge"));
    rs232_ = makeControl<QRadioButton>(window, "1009", {300, 60, 180, 24}, QStringLiteral("RS232"));
    // A group of their own: radio buttons of the MSR pages share the same parent.
    modeGroup_ = new QButtonGroup(window);
    modeGroup_->addButton(keyboardWedge_);
    modeGroup_->addButton(rs232_);

    scanDelayLabel_ = makeControl<QLabel>(window, "1012", {50, 142, 210, 22},
                                          QStringLiteral("KB mode Scan Code Delay"));
    scanDelay_ = makeDelaySpinner(window, "1016", {270, 141, 70, kListHeight});
    scanDelayRange_ = makeControl<QLabel>(window, "1013", {355, 142, 165, 22},
                                          QStringLiteral("Range: 0~255 (x50us)"));
    charDelayLabel_ = makeControl<QLabel>(window, "1014", {50, 192, 210, 22},
                                          QStringLiteral("KB mode Character Code Delay"));
    charDelay_ = makeDelaySpinner(window, "1017", {270, 191, 70, kListHeight});
    charDelayRange_ = makeControl<QLabel>(window, "1015", {355, 192, 165, 22},
                                          QStringLiteral("Range: 0~255 (x500us)"));

    // Placed by applyRs232Layout in the area of the delay controls.
    comPortLabel_ = makeControl<QLabel>(window, "1030", {}, QStringLiteral("Com Port"));
    comPort_ = makeList(window, "1031", {});
    baudLabel_ = makeControl<QLabel>(window, "1020", {}, QStringLiteral("Baud Rate(BPS)"));
    baud_ = makeList(window, "1019", {});

    buzzer_ =
        makeControl<QCheckBox>(window, "1023", {50, 300, 130, 24}, QStringLiteral("Buzzer Sound"));
    buzzer_->setLayoutDirection(Qt::RightToLeft); // label left of the box
}

void MainSettingsPage::connectEvents() {
    QObject::connect(keyboardWedge_, &QAbstractButton::clicked, keyboardWedge_,
                     [this] { applyKeyboardWedgeLayout(); });
    QObject::connect(rs232_, &QAbstractButton::clicked, rs232_, [this] { applyRs232Layout(); });
    // Only the buzzer bit: the other bits of general_flags have no control on this page.
    QObject::connect(buzzer_, &QAbstractButton::clicked, buzzer_, [this](bool checked) {
        std::uint8_t& flags = image_.general_flags();
        flags = static_cast<std::uint8_t>(checked ? (flags | kBuzzerBit) : (flags & ~kBuzzerBit));
    });
    // activated: the operator's choice only; the selection that loadPage makes writes nothing.
    QObject::connect(comPort_, &QComboBox::activated, comPort_,
                     [this] { image_.com_port() = selectionCode(comPort_); });
    QObject::connect(baud_, &QComboBox::activated, baud_,
                     [this] { image_.baud_code() = selectionCode(baud_); });
}

void MainSettingsPage::fillLists() {
    scanDelay_->setRange(0, kHighestDelayEntry);
    charDelay_->setRange(0, kHighestDelayEntry);
    for (int port = 1; port <= kComPortEntries; ++port) {
        comPort_->addItem(QStringLiteral("Com %1").arg(port));
    }
    baud_->clear();
    for (int doubling = 1; doubling <= 7; ++doubling) {
        baud_->addItem(QString::number(300 << doubling));
    }
    comPort_->setCurrentIndex(-1);
    baud_->setCurrentIndex(-1);
}

void MainSettingsPage::setProtocolCaption(const QString& caption) {
    protocolBox_->setTitle(caption);
}

QString MainSettingsPage::baudText(int code) {
    if (code < 0 || code >= static_cast<int>(kBaudTexts.size())) {
        return {};
    }
    return QString::fromLatin1(kBaudTexts.at(static_cast<std::size_t>(code)));
}

void MainSettingsPage::setModeButtons(bool keyboardWedge, bool rs232) {
    // An exclusive group refuses to clear its checked button; neither mode is a valid state.
    modeGroup_->setExclusive(false);
    keyboardWedge_->setChecked(keyboardWedge);
    rs232_->setChecked(rs232);
    modeGroup_->setExclusive(true);
}

void MainSettingsPage::loadPage() {
    const std::uint8_t mode = image_.operating_mode();
    setModeButtons(mode == SettingsImage::kModeKeyboardWedge, mode == SettingsImage::kModeRs232);
    showDelay(charDelay_, image_.char_code_delay());
    showDelay(scanDelay_, image_.scan_code_delay());
    buzzer_->setChecked((image_.general_flags() & kBuzzerBit) != 0);
    const int port = image_.com_port();
    comPort_->setCurrentIndex(port >= 1 && port <= kComPortEntries ? port - 1 : -1);
    const QString rate = baudText(image_.baud_code());
    baud_->setCurrentIndex(rate.isEmpty() ? -1 : baud_->findText(rate));
}

void MainSettingsPage::storeMainPage() {
    image_.scan_code_delay() = static_cast<std::uint8_t>(scanDelay_->value());
    image_.char_code_delay() = static_cast<std::uint8_t>(charDelay_->value());
    image_.com_port() = selectionCode(comPort_);
    image_.baud_code() = selectionCode(baud_);
}

void MainSettingsPage::showMainPage() {
    for (QWidget* control : std::initializer_list<QWidget*>{pageBox_, modeBox_, protocolBox_,
                                                            keyboardWedge_, rs232_, buzzer_}) {
        control->show();
    }
    if (keyboardWedge_->isChecked()) {
        applyKeyboardWedgeLayout();
    } else {
        applyRs232Layout();
    }
}

void MainSettingsPage::hideMainPage() {
    storeMainPage();
    for (QWidget* control : std::initializer_list<QWidget*>{
             pageBox_, modeBox_, keyboardWedge_, rs232_, protocolBox_, scanDelayLabel_,
             scanDelayRange_, scanDelay_, charDelayLabel_, charDelayRange_, charDelay_,
             comPortLabel_, comPort_, baudLabel_, baud_, buzzer_}) {
        control->hide();
    }
}

void MainSettingsPage::applyKeyboardWedgeLayout() {
    protocolBox_->setTitle(QStringLiteral("KeyBoard Protocol"));
    baudLabel_->hide();
    baud_->hide();
    for (QWidget* control :
         std::initializer_list<QWidget*>{scanDelayLabel_, scanDelayRange_, charDelayLabel_,
                                         charDelayRange_, scanDelay_, charDelay_}) {
        control->show();
    }
    comPortLabel_->hide();
    comPort_->hide();
    image_.operating_mode() = SettingsImage::kModeKeyboardWedge;
}

void MainSettingsPage::applyRs232Layout() {
    protocolBox_->setTitle(QStringLiteral("RS232 Protocol"));
    for (QWidget* control :
         std::initializer_list<QWidget*>{baudLabel_, baud_, comPortLabel_, comPort_}) {
        control->show();
    }
    if (image_.com_port() == 0) {
        comPort_->setCurrentIndex(0);
    }
    image_.operating_mode() = SettingsImage::kModeRs232;

    // The serial controls take the place of the delay controls. The lists' drop-downs open
    // below them, so only the closed field needs room here.
    const QRect r = scanDelayLabel_->geometry();
    comPortLabel_->setGeometry(r.left(), r.top(), r.width() - 100, r.height());
    comPort_->setGeometry(r.left() + 80, r.top(), 120, kListHeight);
    baudLabel_->setGeometry(r.left(), r.top() + 30, r.width() - 75, r.height());
    baud_->setGeometry(r.left() + 90, r.top() + 30, 120, kListHeight);

    for (QWidget* control :
         std::initializer_list<QWidget*>{scanDelayLabel_, scanDelayRange_, charDelayLabel_,
                                         charDelayRange_, scanDelay_, charDelay_}) {
        control->hide();
    }
}
