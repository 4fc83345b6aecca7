// How the pages look with the fonts installed: every caption shows in full on every page, a long
// title is fitted, the key pad has no default button, the tree draws its branch lines.
#include "support/MainWindowFixture.h"
#include "ui/NavigationTree.h"
#include "ui/PageNavigation.h"

#include <vector>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTreeWidget>

namespace {

class PageLooks : public MainWindowFixture {
protected:
    void SetUp() override { startWithReaderOn(3); }

    QWidget* client() const { return control<QWidget>("client"); }
    QRect inClient(const QWidget* widget, const QRect& rect) const {
        return QRect(widget->mapTo(client(), rect.topLeft()), rect.size());
    }
    bool visible(const QWidget* widget) const { return widget->isVisibleTo(window.get()); }

    // Whether `a` is drawn above `b`: the later of two siblings is, and so are its children.
    static bool above(const QWidget* a, const QWidget* b) {
        for (const QWidget* x = a; x != nullptr; x = x->parentWidget()) {
            for (const QWidget* y = b; y != nullptr; y = y->parentWidget()) {
                if (x != y && x->parentWidget() != nullptr &&
                    x->parentWidget() == y->parentWidget()) {
                    const QObjectList& siblings = x->parentWidget()->children();
                    return siblings.indexOf(x) > siblings.indexOf(y);
                }
            }
        }
        return false;
    }

    // The rectangle the caption of a control needs, in client coordinates, and the room it has
    // there; empty for a control without caption.
    struct Caption {
        QString text;
        QRect needed;
        QRect room;
    };
    Caption captionOf(QWidget* widget) const {
        const QFontMetrics metrics = widget->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const QRect room =
                label->contentsRect().adjusted(label->margin(), 0, -label->margin(), 0);
            const int width = metrics.horizontalAdvance(label->text());
            QRect needed(room.left(), room.top(), width, room.height());
            if (label->alignment() & Qt::AlignHCenter) {
                needed.moveLeft(room.center().x() - width / 2);
            }
            return {label->text(), inClient(label, needed), inClient(label, room)};
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (button->text().isEmpty()) {
                return {};
            }
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
            const QRect room = button->style()->subElementRect(
                radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option,
                button);
            const int width = metrics.horizontalAdvance(button->text());
            QRect needed(room.left(), room.top(), width, room.height());
            if (button->isRightToLeft()) {
                needed.moveRight(room.right());
            }
            return {button->text(), inClient(button, needed), inClient(button, room)};
        }
        if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            option.textAlignment = box->alignment();
            option.lineWidth = 1;
            const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                             QStyle::SC_GroupBoxLabel, box);
            QRect needed(label.left(), label.top(), metrics.horizontalAdvance(box->title()),
                         label.height());
            return {box->title(), inClient(box, needed), inClient(box, box->rect())};
        }
        return {};
    }

    // Every caption shown on the client area has room for all its text, and no control drawn
    // above it covers that text.
    void expectCaptionsFit(const char* where) const {
        const QList<QWidget*> widgets = client()->findChildren<QWidget*>();
        int checked = 0;
        for (QWidget* widget : widgets) {
            if (!visible(widget)) {
                continue;
            }
            const Caption caption = captionOf(widget);
            if (caption.text.isEmpty()) {
                continue;
            }
            ++checked;
            EXPECT_TRUE(caption.room.contains(caption.needed))
                << where << ": \"" << caption.text.toStdString() << "\" needs "
                << caption.needed.width() << " px, has " << caption.room.width();
            for (QWidget* other : widgets) {
                if (other == widget || !visible(other) || qobject_cast<QGroupBox*>(other) ||
                    other->isAncestorOf(widget) || widget->isAncestorOf(other) ||
                    !above(other, widget) || other->inherits("QStackedWidget") ||
                    other->objectName().isEmpty()) {
                    continue;
                }
                EXPECT_FALSE(inClient(other, other->rect()).intersects(caption.needed))
                    << where << ": \"" << caption.text.toStdString() << "\" is covered by "
                    << other->objectName().toStdString();
            }
        }
        EXPECT_GT(checked, 0) << where;
    }

    QTreeWidget* tree() const { return control<QTreeWidget>("tree"); }
    void select(Page page) const {
        QTreeWidgetItem* item = control<NavigationTree>("tree")->itemOf(page);
        ASSERT_NE(item, nullptr);
        tree()->setCurrentItem(item);
    }
    void check(const char* id) const {
        auto* box = control<QCheckBox>(id);
        if (!box->isChecked()) {
            box->click();
        }
    }
};

TEST_F(PageLooks, EveryCaptionShowsInFullOnEveryPage) {
    expectCaptionsFit("Main Settings, RS232");
    control<QRadioButton>("1008")->click();
    expectCaptionsFit("Main Settings, Keyboard Wedge");

    command("32775"); // MSR Setting
    check("1201");
    check("1202");
    expectCaptionsFit("MSR Main Settings");
    for (const Page page : {Page::MsrTrack1, Page::MsrTrack2, Page::MsrTrack3}) {
        select(page);
        check("1301");
        check("1302");
        expectCaptionsFit(sectionOf(page).c_str());
    }
    for (const Page page : {Page::IsoGroup, Page::IsoTrack1, Page::IsoTrack2, Page::IsoTrack3}) {
        select(page);
        expectCaptionsFit(page == Page::IsoGroup ? "ISO group" : sectionOf(page).c_str());
    }
}

// Every page, as it is shown, covers the whole client area, so that its controls sit at the
// client's pixels.
TEST_F(PageLooks, PagesFillTheClientArea) {
    EXPECT_EQ(client()->size(), QSize(MainDialog::kClientWidth, MainDialog::kClientHeight));
    auto* stack = client()->findChild<QStackedWidget*>();
    ASSERT_NE(stack, nullptr);
    const auto expectFilled = [&](const char* where) {
        const QWidget* page = stack->currentWidget();
        EXPECT_EQ(QRect(page->mapTo(client(), QPoint(0, 0)), page->size()), client()->rect())
            << where;
    };
    expectFilled("Main Settings");
    EXPECT_EQ(inClient(control<QWidget>("1019"), control<QWidget>("1019")->rect()),
              QRect(140, 172, 120, 24));
    command("32775");
    expectFilled("MSR Main Settings");
    for (const Page page : {Page::MsrTrack2, Page::IsoGroup, Page::IsoTrack3}) {
        select(page);
        expectFilled(sectionOf(page).c_str());
    }
    EXPECT_EQ(inClient(control<QWidget>("1405"), control<QWidget>("1405")->rect()),
              QRect(240, 60, 260, 20));
}

TEST_F(PageLooks, ALongTitleIsFittedNotCut) {
    command("32775");
    auto* title = control<QLabel>("1101");
    EXPECT_EQ(title->font().pixelSize(), 24);
    select(Page::IsoGroup);
    EXPECT_EQ(title->text(), "MSR ISO Standard Field Setting Group");
    EXPECT_LT(title->font().pixelSize(), 24);
    EXPECT_GE(title->font().pixelSize(), 12);
    EXPECT_TRUE(title->font().bold());
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->contentsRect().width());
    select(Page::MsrTrack1);
    EXPECT_EQ(title->font().pixelSize(), 24);
}

TEST_F(PageLooks, KeyPadButtonsAreNoDefaultButtons) {
    command("32775");
    select(Page::MsrTrack1);
    ASSERT_TRUE(shown("2000"));
    const QList<QPushButton*> buttons = client()->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 12);
    for (const QPushButton* button : buttons) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    }
    // Enter on a digit button clicks nothing; Space does.
    auto* zero = control<QPushButton>("2000");
    zero->setFocus();
    QTest::keyClick(zero, Qt::Key_Return);
    EXPECT_EQ(control<QLineEdit>("2012")->text(), "");
    QTest::keyClick(zero, Qt::Key_Space);
    EXPECT_EQ(control<QLineEdit>("2012")->text(), "0");
}

// The tree as drawn: dotted lines join the two roots and each root's children, and each root
// has its expand box.
TEST_F(PageLooks, TheTreeDrawsItsBranchLines) {
    command("32775");
    tree()->expandAll();
    const QImage drawn = tree()->viewport()->grab().toImage();
    const QColor base = tree()->palette().color(QPalette::Base);
    const int step = tree()->indentation();
    const auto inked = [&](int x, int fromY, int toY) {
        int count = 0;
        for (int y = fromY; y < toY; ++y) {
            count += drawn.pixelColor(x, y) != base ? 1 : 0;
        }
        return count;
    };
    QTreeWidgetItem* firstRoot = tree()->topLevelItem(0);
    QTreeWidgetItem* lastChild = firstRoot->child(2);
    const QRect rootRow = tree()->visualItemRect(firstRoot);
    const QRect lastRow = tree()->visualItemRect(lastChild);
    const QRect nextRoot = tree()->visualItemRect(tree()->topLevelItem(1));
    // The roots' line runs down the first column past the three children to the next root.
    const int span = nextRoot.top() - rootRow.bottom() - 1;
    EXPECT_GT(inked(step / 2, rootRow.bottom() + 1, nextRoot.top()), span / 4);
    // The children's line runs down the second column from the first child to the last.
    const QRect firstChildRow = tree()->visualItemRect(firstRoot->child(0));
    EXPECT_GT(inked(step + step / 2, firstChildRow.top(), lastRow.center().y()), 4);
    // It ends at the last child: nothing below that child's connector.
    EXPECT_EQ(inked(step + step / 2, lastRow.center().y() + 2, lastRow.bottom() + 1), 0);
}

} // namespace
