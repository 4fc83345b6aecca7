#include "ui/MainSettingsPage.h"

#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"
#include "ui/DropDownList.h"

#include <array>
#include <initializer_list>
#include <utility>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr int kListHeight = 24;

// Entry text shown for each baud code. Codes 1..7 are the list's own (entry index + 1); 0 and 8
// fall on an entry of another code, and 9 names a rate the list does not offer.
constexpr std::array<const char*, 10> kBaudTexts = {"9600", "600",   "1200",  "2400",  "4800",
                                                    "9600", "19200", "38400", "38400", "57600"};

} // namespace

MainSettingsPage::MainSettingsPage(SettingsImage& image, QWidget* parent)
    : SettingsPage(image, "main", parent) {
    // Group boxes first: later siblings are drawn above them and get the mouse.
    addControl<QGroupBox>(QStringLiteral("Main Settings"), 1007, {10, 6, 540, 396});
    addControl<QGroupBox>(caption("operating_mode"), 1010, {30, 34, 500, 62});
    protocolBox_ = addControl<QGroupBox>(QStringLiteral("Protocol"), 1011, {30, 112, 500, 160});
    const QList<QRadioButton*> modes =
        addChoiceButtons("operating_mode", {{1008, {60, 60, 180, 24}}, {1009, {300, 60, 180, 24}}});
    keyboardWedge_ = modes.at(0);
    connect(keyboardWedge_, &QRadioButton::clicked, this, [this] { applyKeyboardWedgeLayout(); });
    connect(modes.at(1), &QRadioButton::clicked, this, [this] { applyRs232Layout(); });

    addDelay("scan_code_delay", {1012, 1016, 1013}, 142, QStringLiteral("Range: 0~255 (x50us)"));
    addDelay("char_code_delay", {1014, 1017, 1015}, 192, QStringLiteral("Range: 0~255 (x500us)"));
    comPort_ = addSerialRow("com_port", 1030, 1031);
    baud_ = addSerialRow("baud_rate", 1020, 1019);

    QCheckBox* buzzer = addFlag("buzzer", 1023, {50, 300, 130, 24}, true);
    buzzer->setLayoutDirection(Qt::RightToLeft); // label left of the box
}

QSpinBox* MainSettingsPage::addDelay(std::string_view key, DelayIds ids, int top,
                                     const QString& range) {
    auto* label = addControl<QLabel>(caption(key), ids.label, {50, top, 210, 22});
    auto* spinner = new QSpinBox(this);
    place(spinner, ids.spinner, {270, top - 1, 70, kListHeight});
    spinner->setRange(0, 0); // filled at start-up
    nameByLabel(spinner, label);
    bindChoice(key, spinner);
    auto* rangeLabel = addControl<QLabel>(range, ids.range, {355, top, 165, 22});
    delays_.push_back(spinner);
    delayRows_.insert(delayRows_.end(), {label, spinner, rangeLabel});
    return spinner;
}

void MainSettingsPage::nameByLabel(QWidget* control, QLabel* label) {
    control->setAccessibleName(label->text());
    label->setBuddy(control);
}

QComboBox* MainSettingsPage::addSerialRow(std::string_view key, int labelId, int listId) {
    // Placed by applyRs232Layout in the area of the delay rows.
    auto* label = addControl<QLabel>(caption(key), labelId, {});
    auto* list = new DropDownList(this);
    place(list, listId, {});
    // The label names the list itself (its buddy); the list's text field is a control of its own
    // to a screen reader and carries the caption too.
    nameByLabel(list, label);
    list->lineEdit()->setAccessibleName(label->text());
    ChoiceBinding::EntryOf entryOf;
    if (key == "baud_rate") {
        entryOf = [list](std::uint8_t code) {
            const QString text = baudText(code);
            return text.isEmpty() ? -1 : list->findText(text);
        };
    }
    bindChoice(key, list, true, std::move(entryOf));
    serialRows_.insert(serialRows_.end(), {label, list});
    return list;
}

void MainSettingsPage::fillLists() {
    for (const auto& [spinner, name] : {std::pair{delays_.at(0), "main.scan_code_delay"},
                                        std::pair{delays_.at(1), "main.char_code_delay"}}) {
        const NamedSetting& delay = *SettingTable::find(name);
        spinner->setRange(delay.low, delay.high);
    }
    const NamedSetting& port = *SettingTable::find("main.com_port");
    for (int n = port.low; n <= port.high; ++n) {
        comPort_->addItem(QStringLiteral("Com %1").arg(n));
    }
    baud_->clear();
    for (const SettingChoice& rate : SettingTable::find("main.baud_rate")->choices) {
        baud_->addItem(fromTable(rate.label));
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

void MainSettingsPage::applyLayout() {
    if (keyboardWedge_->isChecked()) {
        applyKeyboardWedgeLayout();
    } else {
        applyRs232Layout();
    }
}

void MainSettingsPage::showDelayRows(bool shown) {
    for (QWidget* control : delayRows_) {
        control->setVisible(shown);
    }
    for (QWidget* control : serialRows_) {
        control->setVisible(!shown);
    }
}

void MainSettingsPage::applyKeyboardWedgeLayout() {
    protocolBox_->setTitle(QStringLiteral("KeyBoard Protocol"));
    showDelayRows(true);
    SettingTable::setValue(image(), SettingTable::kOperatingMode, SettingTable::kModeKeyboardWedge);
}

void MainSettingsPage::applyRs232Layout() {
    protocolBox_->setTitle(QStringLiteral("RS232 Protocol"));
    if (SettingTable::value(image(), SettingTable::kComPort) == 0) {
        comPort_->setCurrentIndex(0); // port 1, taken at the next store
    }
    SettingTable::setValue(image(), SettingTable::kOperatingMode, SettingTable::kModeRs232);

    // The serial controls take the place of the delay controls. The lists' drop-downs open
    // below them, so only the closed field needs room here.
    const QRect r = delayRows_.at(0)->geometry(); // "KB mode Scan Code Delay"
    serialRows_.at(0)->setGeometry(r.left(), r.top(), r.width() - 100, r.height());
    comPort_->setGeometry(r.left() + 80, r.top(), 120, kListHeight);
    serialRows_.at(2)->setGeometry(r.left(), r.top() + 30, r.width() - 75, r.height());
    baud_->setGeometry(r.left() + 90, r.top() + 30, 120, kListHeight);
    showDelayRows(false);
}
