#pragma once

// The pages of the main window on a plain 560x410 window over a settings block with factory
// values, moved between as the main window's tree moves between them, so that each test drives
// the pages as the program does.
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "ui/MainSettingsPage.h"
#include "ui/PageNavigation.h"

#include <cstdint>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// A check box of a page, with the bit it stands for in its flags byte.
struct Bit {
    const char* id;
    std::uint8_t bit;
};

class MsrPagesFixture : public ::testing::Test {
protected:
    MsrPagesFixture() {
        window.resize(560, 410);
        writeFactoryValues(image);
        pages.mainPage().fillLists();
        pages.refreshPages();
    }

    void SetUp() override {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // After the block changed behind the pages, as a file load does: the MSR Main Settings page
    // is loaded again, so that the next page change stores what the block holds.
    void blockReplaced() { pages.loadPage(Page::MsrMainSettings); }

    // A tree item chosen: the page being left is stored, the item's page shown.
    void open(Page page) {
        pages.storePages();
        pages.openPage(page);
    }
    void openMsrMain() { open(Page::MsrMainSettings); }
    void openTrack(int track) { open(msrTrackPage(track)); }
    void openIso(int track) { open(isoTrackPage(track)); }

    template <typename Widget = QWidget> Widget* control(const char* name) {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    bool shown(const char* name) { return control(name)->isVisible(); }
    QString text(const char* name) { return control<QLineEdit>(name)->text(); }
    QString label(const char* name) { return control<QLabel>(name)->text(); }
    void click(const char* name) {
        QTest::mouseClick(control(name), Qt::LeftButton, {}, QPoint(5, 5));
    }

    // A code list of the block: its count and codes.
    static void setCodes(std::uint8_t* record, std::vector<std::uint8_t> codes) {
        record[0] = static_cast<std::uint8_t>(codes.size());
        for (std::size_t i = 0; i < codes.size() && i < 9; ++i) {
            record[i + 1] = codes[i];
        }
    }
    static std::vector<int> codes(const std::uint8_t* record) {
        std::vector<int> result;
        for (int i = 1; i <= record[0] && i <= 7; ++i) {
            result.push_back(record[i]);
        }
        return result;
    }
    CodeListPanel::KeyPadTarget target() const { return pages.keyPadTarget(); }

    QWidget window;
    SettingsImage image;
    PageNavigation pages{&window, image};
};
