#include "ui/SettingsPage.h"

#include "settings/SettingTable.h"
#include "ui/FlagBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

SettingsPage::SettingsPage(SettingsImage& image, std::string section, QWidget* parent)
    : QWidget(parent), image_(image), section_(std::move(section)) {}

SettingsPage::~SettingsPage() = default;

void SettingsPage::place(QWidget* control, int id, const QRect& where) {
    control->setObjectName(QString::number(id));
    control->setGeometry(where);
}

const NamedSetting* SettingsPage::settingOf(const SettingBinding& binding) const {
    return SettingTable::find(section_, binding.key());
}

QString SettingsPage::caption(std::string_view key) const {
    const NamedSetting* setting = SettingTable::find(section_, key);
    return setting != nullptr ? fromTable(setting->caption) : QString();
}

void SettingsPage::load() {
    for (const auto& binding : bindings_) {
        if (const NamedSetting* setting = settingOf(*binding)) {
            binding->load(*setting, image_);
        }
    }
}

void SettingsPage::store() {
    for (const auto& binding : bindings_) {
        storeNow(*binding);
    }
}

void SettingsPage::showCaptions() {
    for (const auto& binding : bindings_) {
        if (const NamedSetting* setting = settingOf(*binding)) {
            binding->showCaption(*setting);
        }
    }
}

void SettingsPage::storeNow(const SettingBinding& binding) {
    if (const NamedSetting* setting = settingOf(binding)) {
        binding.store(*setting, image_);
    }
}

SettingBinding& SettingsPage::bind(std::unique_ptr<SettingBinding> binding) {
    bindings_.push_back(std::move(binding));
    return *bindings_.back();
}

QCheckBox* SettingsPage::addFlag(std::string_view key, int id, const QRect& where, bool atOnce) {
    auto* box = addControl<QCheckBox>(caption(key), id, where);
    SettingBinding& binding = bind(std::make_unique<FlagBinding>(std::string(key), box));
    if (atOnce) {
        connect(box, &QCheckBox::clicked, this, [this, &binding] { storeNow(binding); });
    }
    return box;
}

QList<QRadioButton*>
SettingsPage::addChoiceButtons(std::string_view key,
                               std::initializer_list<std::pair<int, QRect>> buttons) {
    QList<QRadioButton*> radios;
    for (const auto& [id, where] : buttons) {
        radios.append(addControl<QRadioButton>(QString(), id, where));
    }
    auto binding = std::make_unique<ChoiceBinding>(
        std::string(key), QList<QAbstractButton*>(radios.begin(), radios.end()));
    if (const NamedSetting* setting = SettingTable::find(section_, key)) {
        binding->showCaption(*setting);
    }
    bind(std::move(binding));
    return radios;
}

void SettingsPage::bindChoice(std::string_view key, QComboBox* list, bool atOnce,
                              ChoiceBinding::EntryOf entryOf) {
    SettingBinding& binding =
        bind(std::make_unique<ChoiceBinding>(std::string(key), list, std::move(entryOf)));
    if (atOnce) {
        // The operator's choice only: the selection that load makes writes nothing.
        connect(list, &QComboBox::activated, this, [this, &binding] { storeNow(binding); });
    }
}

void SettingsPage::bindChoice(std::string_view key, QSpinBox* spinner) {
    bind(std::make_unique<ChoiceBinding>(std::string(key), spinner));
}
