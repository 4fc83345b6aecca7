#include "ui/CompareDialog.h"

#include "support/FactorySettings.h"
#include "support/MainWindowFixture.h"

#include <QApplication>
#include <QTableWidget>
#include <QTimer>

namespace {

// The three replies of a read-back from a reader that holds `reader`: the byte parameters of
// slots 10..18, the eight strings of slots 24..31, the byte parameters of slots 20..23.
void answerWith(ScriptedRunner& runner, const SettingsImage& reader) {
    const auto collect = [&](int first, int count, int bytes) {
        std::vector<std::uint8_t> reply;
        for (int slot = first; slot < first + count; ++slot) {
            reply.insert(reply.end(), reader.data(slot), reader.data(slot) + bytes);
        }
        return reply;
    };
    runner.replies = {{0, collect(10, 9, 1)}, {1, collect(24, 8, 8)}, {2, collect(20, 4, 1)}};
}

// A reader that holds two settings otherwise: the window lists exactly those two, by name, with
// both values, and changes nothing.
TEST_F(MainWindowFixture, CompareWithTheReaderListsExactlyWhatDiffers) {
    startWithReaderOn(3);
    answerWith(runner, factorySettingsWith({"main.buzzer=off", "track2.suffix={13}"}));
    const SettingsImage before = image;
    std::vector<QStringList> rows;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CompareDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("differences"));
        ASSERT_NE(table, nullptr);
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column) {
                cells << table->item(row, column)->text();
            }
            rows.push_back(cells);
        }
        dialog->reject();
    });
    command("compareWithReader");
    EXPECT_EQ(rows, (std::vector<QStringList>{{"main.buzzer", "Buzzer Sound", "on", "off"},
                                              {"track2.suffix", "Suffix", "{13}{10}", "{13}"}}));
    EXPECT_EQ(image.raw(), before.raw());
    EXPECT_EQ(runner.received.size(), 2U); // the search at start, the read-back
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
