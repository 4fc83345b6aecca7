#pragma once

#include "ui/Page.h"

#include <QTreeWidget>

// The navigation tree of the MSR pages: "MSR Main Settings" with its three tracks, and "MSR ISO
// Standard Field Setting Group" with its three tracks. Each item carries its page. Branches are
// joined by dotted lines, also between the roots, with a box to expand or collapse each root.
class NavigationTree : public QTreeWidget {
    Q_OBJECT

public:
    explicit NavigationTree(QWidget* parent);

    // (Re)builds the items: both roots collapsed, nothing selected.
    void build();
    // The page an item stands for; an item that names none stands for the ISO group.
    static Page pageOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* itemOf(Page page) const;

protected:
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;
};
