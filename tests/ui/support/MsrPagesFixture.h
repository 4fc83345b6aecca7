#pragma once

// A 560x410 window holding the MSR pages over a settings block with factory values, and the
// main window's navigation steps, so that each test drives the pages as the program does.
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "ui/CodeListEditor.h"
#include "ui/MsrPages.h"

#include <cstdint>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

class MsrPagesFixture : public ::testing::Test {
protected:
    MsrPagesFixture() {
        window.resize(560, 410);
        writeFactoryValues(image);
        pages.loadPage(1);
    }

    void SetUp() override {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // After the block changed behind the pages, as a file load does: the MSR Main Settings page
    // is loaded again, so that the next page change stores what the block holds.
    void blockReplaced() { pages.loadPage(1); }

    // Stores the page being left, as every page change does first.
    void storePages() {
        pages.storeMsrMainPage();
        if (currentPage >= 2 && currentPage <= 4) {
            pages.storeTrackPage(currentPage - 1);
        }
        if (currentPage >= 6 && currentPage <= 8) {
            pages.storeIsoPage(currentPage - 5);
        }
    }
    void selectPage(int page) {
        storePages();
        currentPage = page;
        pages.loadPage(page);
        pages.hideMsrMainPage();
        pages.hideTrackPage();
        pages.hideIsoPage();
    }
    void openMsrMain() {
        selectPage(1);
        pages.showMsrMainPage();
    }
    void openTrack(int track) {
        selectPage(track + 1);
        pages.setSwipeCaptions(track);
        pages.showTrackPage();
    }
    void openIso(int track) {
        selectPage(track + 5);
        pages.showIsoPage();
        pages.applyIsoLayout(track);
    }

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
    CodeListEditor::KeyPadTarget target() const { return pages.codeListEditor().keyPadTarget(); }

    QWidget window;
    SettingsImage image;
    int currentPage = 0;
    MsrPages pages{&window, image, currentPage};
};
