#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/FileSizeLimit.h"
#include "support/MainWindowFixture.h"
#include "support/SettingsByName.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

namespace {

class StartUp : public MainWindowFixture {
protected:
    bool checked(const char* id) const { return control<QAction>(id)->isChecked(); }
    bool rs232Layout() const {
        return shown("1031") && shown("1019") && !shown("1016") && !shown("1017") &&
               control<QGroupBox>("1011")->title() == "RS232 Protocol";
    }
    bool keyboardLayout() const {
        return shown("1016") && shown("1017") && !shown("1031") && !shown("1019") &&
               control<QGroupBox>("1011")->title() == "KeyBoard Protocol";
    }
};

TEST_F(StartUp, AsksTheDetectionWindowOnceWithNoPort) {
    startEscaped();
    ASSERT_EQ(runner.received.size(), 1u);
    EXPECT_EQ(runner.last().mode, TransferMode::AutoDetect);
    EXPECT_EQ(runner.last().port, -1);
}

TEST_F(StartUp, ReaderOnCom3ShowsTheRs232LayoutWithCom3) {
    startWithReaderOn(3);
    EXPECT_TRUE(control<QRadioButton>("1009")->isChecked());
    EXPECT_TRUE(rs232Layout());
    EXPECT_EQ(control<QComboBox>("1031")->currentText(), "Com 3");
    EXPECT_TRUE(checked("32781"));
    EXPECT_FALSE(checked("32780"));
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeRs232);
    EXPECT_EQ(byteOf(image, "main.com_port"), 3);
    EXPECT_EQ(window->currentPage(), Page::MainSettings);
    EXPECT_FALSE(shown("tree"));
}

TEST_F(StartUp, ReaderInTheKeyboardLineShowsTheKeyboardLayout) {
    startWithReaderOn(0);
    EXPECT_TRUE(control<QRadioButton>("1008")->isChecked());
    EXPECT_TRUE(keyboardLayout());
    EXPECT_TRUE(checked("32780"));
    EXPECT_FALSE(checked("32781"));
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    EXPECT_EQ(byteOf(image, "main.com_port"), 0);
}

TEST_F(StartUp, CancelledOrNothingFoundLeavesNoModeAndNoPort) {
    for (int port : {-1, 10, 42}) {
        SCOPED_TRACE(port);
        startWithReaderOn(port);
        EXPECT_FALSE(control<QRadioButton>("1008")->isChecked());
        EXPECT_FALSE(control<QRadioButton>("1009")->isChecked());
        EXPECT_TRUE(rs232Layout());
        EXPECT_EQ(control<QComboBox>("1031")->currentIndex(), -1);
        EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeRs232);
        EXPECT_EQ(byteOf(image, "main.com_port"), SettingTable::kUnknown);
        EXPECT_FALSE(checked("32780"));
        EXPECT_FALSE(checked("32781"));
    }
}

TEST_F(StartUp, EscapeKeepsWhatDefaultCfgGave) {
    startEscaped();
    EXPECT_TRUE(control<QRadioButton>("1008")->isChecked());
    EXPECT_TRUE(keyboardLayout());
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    EXPECT_EQ(byteOf(image, "main.com_port"), SettingTable::kUnknown);
    EXPECT_FALSE(checked("32780"));
    EXPECT_FALSE(checked("32781"));
}

TEST_F(StartUp, WritesTheFactoryBlockToDefaultCfg) {
    startWithReaderOn(3);
    std::ifstream in(file("Default.cfg"), std::ios::binary);
    const std::vector<char> written{std::istreambuf_iterator<char>(in), {}};
    SettingsImage factory;
    writeFactoryValues(factory);
    ASSERT_EQ(written.size(), SettingsImage::kSize);
    EXPECT_TRUE(
        std::equal(written.begin(), written.end(), factory.raw().begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(messages.fileErrors, 0);
}

TEST_F(StartUp, UnwritableDefaultCfgShowsTheFileErrorAndGoesOn) {
    std::filesystem::create_directory(file("Default.cfg"));
    startWithReaderOn(3);
    EXPECT_EQ(messages.fileErrors, 1);
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 1); // factory values kept
    EXPECT_TRUE(shown("1007"));
}

// "Default.cfg" cannot be rewritten (a full disk, here a file-size limit), so the older one is read
// back: every page shows what it holds, and a page change followed by a save keeps it.
TEST_F(StartUp, AnOlderDefaultCfgReadBackReachesEveryPage) {
    SettingsImage older;
    writeFactoryValues(older);
    flagsOf(older, "msr") = 0x55;
    flagsOf(older, "track2") = 0x18;
    byteOf(older, "main.scan_code_delay") = 42;
    ASSERT_EQ(writeSettingsFile(older, file("Default.cfg").string()), 0);
    {
        FileSizeLimit fullDisk(1000);
        startWithReaderOn(3);
    }
    EXPECT_EQ(messages.fileErrors, 1);
    EXPECT_EQ(flagsOf(image, "msr"), 0x55);

    command("32775");                                      // MSR Setting
    EXPECT_TRUE(control<QCheckBox>("1201")->isChecked());  // 0x40
    EXPECT_FALSE(control<QCheckBox>("1200")->isChecked()); // 0x80
    auto* tree = control<QTreeWidget>("tree");
    tree->setCurrentItem(
        tree->findItems("MSR Track 2", Qt::MatchExactly | Qt::MatchRecursive).value(0));
    command("32786"); // Main Setting
    command("32777"); // Save
    std::ifstream in(file("Default.cfg"), std::ios::binary);
    const std::vector<char> saved{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(saved.size(), SettingsImage::kSize);
    const auto byteAt = [&](std::size_t offset) {
        return static_cast<std::uint8_t>(saved[offset]);
    };
    EXPECT_EQ(byteAt(flagsOffset("msr")), 0x55);
    EXPECT_EQ(byteAt(flagsOffset("track2")), 0x18);
    EXPECT_EQ(byteAt(offsetOf("main.scan_code_delay")), 42);
}

TEST_F(MainWindowFixture, MenuHasTheItemsAndIdsUncheckedAndEnabled) {
    startEscaped();
    struct Item {
        QString text;
        QString id;
    };
    const std::vector<std::pair<QString, std::vector<Item>>> expected = {
        {"&File",
         {{"&Load setting file", "32776"},
          {"&Save setting file", "32777"},
          {"Save &as .......", "32778"},
          {"E&xit", "32779"}}},
        {"&Settings",
         {{"Main Setting", "32786"},
          {"MSR Setting", "32775"},
          {"", ""},
          {"Load Main Setting From R550 (RS232 Only)", "32782"},
          {"Detect Firmwave Version (RS232 Only)", "32783"},
          {"Reset R550 To Factory Default", "32784"}}},
        {"&Programming all settings", {{"via &Keyboard", "32780"}, {"via &RS232", "32781"}}},
        {"&Reader",
         {{"&Search for the reader", "searchForReader"},
          {QString::fromUtf8("Card s&wipe test\u2026"), "cardSwipeTest"},
          {"&Compare with the reader", "compareWithReader"}}},
    };
    const QList<QAction*> menus = window->findChild<QMenuBar*>()->actions();
    ASSERT_EQ(menus.size(), 4);
    for (std::size_t m = 0; m < expected.size(); ++m) {
        QMenu* menu = menus.at(static_cast<qsizetype>(m))->menu();
        EXPECT_EQ(menu->title(), expected[m].first);
        EXPECT_EQ(menu->objectName(), expected[m].first);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(static_cast<std::size_t>(items.size()), expected[m].second.size());
        for (std::size_t i = 0; i < static_cast<std::size_t>(items.size()); ++i) {
            const QAction* item = items.at(static_cast<qsizetype>(i));
            EXPECT_EQ(item->isSeparator(), expected[m].second[i].id.isEmpty());
            EXPECT_EQ(item->text(), expected[m].second[i].text);
            EXPECT_EQ(item->objectName(), expected[m].second[i].id);
            EXPECT_FALSE(item->isChecked());
            EXPECT_TRUE(item->isEnabled());
        }
    }
    EXPECT_EQ(control<QAction>("32778")->shortcut(), QKeySequence("Ctrl+Shift+S"));
    EXPECT_EQ(control<QAction>("32779")->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(control<QAction>("searchForReader")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(control<QAction>("cardSwipeTest")->shortcut(), QKeySequence("Ctrl+T"));
}

TEST_F(MainWindowFixture, DetectionCheckMarkSurvivesChoosingTheItem) {
    startWithReaderOn(4);
    runner.endCode = EndCode::Escape; // the programming run is left with Escape
    command("32781");
    EXPECT_TRUE(control<QAction>("32781")->isChecked());
    command("32780");
    EXPECT_FALSE(control<QAction>("32780")->isChecked());
}

TEST_F(MainWindowFixture, EnterDoesNothingAndEscapeCloses) {
    startEscaped();
    QTest::keyClick(window.get(), Qt::Key_Return);
    QTest::keyClick(control<QRadioButton>("1008"), Qt::Key_Enter);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowFixture, ExitClosesTheWindow) {
    startEscaped();
    command("32779");
    EXPECT_FALSE(window->isVisible());
}

} // namespace
