#include "support/MainWindowFixture.h"

#include <functional>
#include <vector>

#include <QCheckBox>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

// Walking every page and back is no edit, whatever the search at start found; a control changed
// is one, and changed back it is none again.
TEST_F(MainWindowFixture, WalkingThePagesIsNoEditAndAChangeIs) {
    const std::vector<std::function<void()>> starts = {
        [&] { startWithReaderOn(3); }, [&] { startWithReaderOn(0); }, [&] { startCancelled(); },
        [&] { startEscaped(); }};
    for (std::size_t i = 0; i < starts.size(); ++i) {
        SCOPED_TRACE(i);
        starts[i]();
        EXPECT_FALSE(window->hasUnsavedEdits());
        command("32775"); // MSR Setting, then every item of the tree
        auto* tree = control<QTreeWidget>("tree");
        tree->expandAll();
        for (QTreeWidgetItemIterator item(tree); *item != nullptr; ++item) {
            tree->setCurrentItem(*item);
        }
        command("32786"); // Main Setting
        EXPECT_FALSE(window->hasUnsavedEdits());
        control<QCheckBox>("1023")->click(); // the buzzer
        EXPECT_TRUE(window->hasUnsavedEdits());
        control<QCheckBox>("1023")->click();
        EXPECT_FALSE(window->hasUnsavedEdits());
    }
}

} // namespace
