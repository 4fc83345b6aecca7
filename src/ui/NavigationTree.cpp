#include "ui/NavigationTree.h"

#include <initializer_list>
#include <utility>

#include <QHeaderView>
#include <QPainter>

namespace {

constexpr int kPageRole = Qt::UserRole;
constexpr int kBoxSize = 8; // the expand box, in pixels: an odd number of pixels wide with the pen

} // namespace

NavigationTree::NavigationTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("tree"));
    setAccessibleName(QStringLiteral("Settings pages"));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setColumnCount(1);
    // Long item texts scroll sideways instead of being cut short.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void NavigationTree::build() {
    using Item = std::pair<const char*, Page>;
    const auto addRoot = [this](Item root, std::initializer_list<Item> children) {
        auto* item = new QTreeWidgetItem(this, QStringList(QString::fromLatin1(root.first)));
        item->setData(0, kPageRole, QVariant::fromValue(root.second));
        for (const auto& [text, page] : children) {
            auto* child = new QTreeWidgetItem(item, QStringList(QString::fromLatin1(text)));
            child->setData(0, kPageRole, QVariant::fromValue(page));
        }
        item->setExpanded(false);
    };
    clear();
    addRoot({"MSR Main Settings", Page::MsrMainSettings}, {{"MSR Track 1", Page::MsrTrack1},
                                                           {"MSR Track 2", Page::MsrTrack2},
                                                           {"MSR Track 3", Page::MsrTrack3}});
    addRoot(
        {"MSR ISO Standard Field Setting Group", Page::IsoGroup},
        {{"Track 1", Page::IsoTrack1}, {"Track 2", Page::IsoTrack2}, {"Track 3", Page::IsoTrack3}});
    clearSelection();
}

Page NavigationTree::pageOf(const QTreeWidgetItem* item) {
    const QVariant page = item != nullptr ? item->data(0, kPageRole) : QVariant();
    return page.canConvert<Page>() ? page.value<Page>() : Page::IsoGroup;
}

QTreeWidgetItem* NavigationTree::itemOf(Page page) const {
    for (QTreeWidgetItemIterator it(const_cast<NavigationTree*>(this)); *it != nullptr; ++it) {
        if ((*it)->data(0, kPageRole).isValid() && pageOf(*it) == page) {
            return *it;
        }
    }
    return nullptr;
}

void NavigationTree::drawBranches(QPainter* painter, const QRect& rect,
                                  const QModelIndex& index) const {
    // One column of indentation per level, the item's own column last (rightmost): a line from
    // the parent (or the root above) down to the item, on down to its next sibling, and across
    // to the item; in each column before it, the line of an ancestor that has a sibling below.
    const int step = indentation();
    const int middle = rect.top() + rect.height() / 2;
    int column = rect.width() / step - 1;
    const auto columnCentre = [&](int c) { return rect.left() + c * step + step / 2; };
    const auto hasSiblingBelow = [](const QModelIndex& i) {
        return i.sibling(i.row() + 1, 0).isValid();
    };

    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Dark), 1, Qt::DotLine));
    const int x = columnCentre(column);
    const bool first = !index.parent().isValid() && index.row() == 0;
    painter->drawLine(x, first ? middle : rect.top(), x,
                      hasSiblingBelow(index) ? rect.bottom() : middle);
    painter->drawLine(x, middle, rect.left() + (column + 1) * step - 2, middle);
    for (QModelIndex ancestor = index.parent(); ancestor.isValid() && column > 0;
         ancestor = ancestor.parent()) {
        --column;
        if (hasSiblingBelow(ancestor)) {
            const int ax = columnCentre(column);
            painter->drawLine(ax, rect.top(), ax, rect.bottom());
        }
    }

    if (model()->hasChildren(index)) {
        const QRect box(x - kBoxSize / 2, middle - kBoxSize / 2, kBoxSize, kBoxSize);
        painter->setPen(QPen(palette().color(QPalette::Dark), 1, Qt::SolidLine));
        painter->setBrush(palette().color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(QPen(palette().color(QPalette::Text), 1));
        painter->drawLine(box.left() + 2, middle, box.right() - 2, middle);
        if (!isExpanded(index)) {
            painter->drawLine(x, box.top() + 2, x, box.bottom() - 2);
        }
    }
    painter->restore();
}
