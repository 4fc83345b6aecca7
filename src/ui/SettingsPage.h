#pragma once

#include "ui/ChoiceBinding.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QRect>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;
class SettingBinding;
class SettingsImage;

// A page of the main window: a widget over the whole client area whose controls sit at their
// places in it and are bound to the settings of one section of the table ("main", "msr",
// "track2"). Loading and storing walk the bindings; a page that serves three tracks changes its
// section.
class SettingsPage : public QWidget {
    Q_OBJECT

public:
    SettingsPage(SettingsImage& image, std::string section, QWidget* parent);
    ~SettingsPage() override;

    const std::string& section() const { return section_; }
    // Every bound control from the block / into the block.
    void load();
    void store();
    // Puts the table's captions for the section on the bound controls.
    void showCaptions();

protected:
    // A rectangle given as left, top, right and bottom, as the pages' tables give them.
    static QRect ltrb(int left, int top, int right, int bottom) {
        return {left, top, right - left, bottom - top};
    }
    // Creates a control of the page with its caption, control id (object name) and place.
    template <typename Control>
    Control* addControl(const QString& text, int id, const QRect& where) {
        auto* control = new Control(text, this);
        place(control, id, where);
        return control;
    }
    // The caption the table gives a key of the section.
    QString caption(std::string_view key) const;

    // A check box bound to a flag. atOnce: a click writes the block at once, besides the store.
    QCheckBox* addFlag(std::string_view key, int id, const QRect& where, bool atOnce = false);
    // Radio buttons, one per value of a choice in the table's order, captioned with its labels.
    QList<QRadioButton*> addChoiceButtons(std::string_view key,
                                          std::initializer_list<std::pair<int, QRect>> buttons);
    // A list or a spinner bound to a choice or a byte. atOnce: choosing an entry writes the block.
    void bindChoice(std::string_view key, QComboBox* list, bool atOnce,
                    ChoiceBinding::EntryOf entryOf = {});
    void bindChoice(std::string_view key, QSpinBox* spinner);

    void setSection(std::string section) { section_ = std::move(section); }
    SettingsImage& image() const { return image_; }
    static void place(QWidget* control, int id, const QRect& where);

private:
    const NamedSetting* settingOf(const SettingBinding& binding) const;
    void storeNow(const SettingBinding& binding);
    SettingBinding& bind(std::unique_ptr<SettingBinding> binding);

    SettingsImage& image_;
    std::string section_;
    std::vector<std::unique_ptr<SettingBinding>> bindings_;
};
