#include "ui/PageNavigation.h"

#include "ui/IsoPage.h"
#include "ui/MainSettingsPage.h"
#include "ui/MsrMainPage.h"
#include "ui/NavigationTree.h"
#include "ui/PageTitle.h"
#include "ui/TrackPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QStackedWidget>

namespace {

const QRect kTreeGeometry(9, 6, 194, 391);

} // namespace

PageNavigation::PageNavigation(QWidget* client, SettingsImage& image)
    : QObject(client), tree_(new NavigationTree(client)), stack_(new QStackedWidget(client)),
      main_(new MainSettingsPage(image, stack_)), msrMain_(new MsrMainPage(image, stack_)),
      track_(new TrackPage(image, stack_)), isoGroup_(new QWidget(stack_)),
      iso_(new IsoPage(image, stack_)), title_(new PageTitle(client)),
      panel_(new CodeListPanel(client, image)) {
    tree_->setGeometry(kTreeGeometry);
    tree_->hide();
    title_->hide();
    stack_->setObjectName(QStringLiteral("pages"));
    // The pages fill the client area, so that their controls sit at the client's coordinates.
    auto* fill = new QGridLayout(client);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(stack_, 0, 0);
    for (QWidget* page : {static_cast<QWidget*>(main_), static_cast<QWidget*>(msrMain_),
                          static_cast<QWidget*>(track_), isoGroup_, static_cast<QWidget*>(iso_)}) {
        stack_->addWidget(page);
    }
    // Below the tree, the title and the entries, which share the client area with the pages.
    stack_->lower();

    connect(tree_, &QTreeWidget::itemSelectionChanged, this,
            &PageNavigation::onTreeSelectionChanged);
    for (QCheckBox* box :
         {msrMain_->prefixBox(), msrMain_->suffixBox(), track_->prefixBox(), track_->suffixBox()}) {
        connect(box, &QCheckBox::clicked, panel_, &CodeListPanel::refresh);
    }
    connect(panel_, &CodeListPanel::keyPadConfirmed, this, &PageNavigation::onKeyPadConfirmed);
}

void PageNavigation::buildTree() {
    tree_->build();
}

SettingsPage* PageNavigation::pageAt(Page page) {
    if (isMsrTrack(page)) {
        track_->setTrack(trackOf(page));
        return track_;
    }
    if (isIsoTrack(page)) {
        iso_->setTrack(trackOf(page));
        return iso_;
    }
    switch (page) {
    case Page::MainSettings:
        return main_;
    case Page::MsrMainSettings:
        return msrMain_;
    default:
        return nullptr;
    }
}

void PageNavigation::setCurrentPage(Page page) {
    currentPage_ = page;
    const CodeListPage* lists = page == Page::MsrMainSettings ? static_cast<CodeListPage*>(msrMain_)
                                : isMsrTrack(page)            ? track_
                                                              : nullptr;
    panel_->setPage(page, lists != nullptr ? lists->prefixBox() : nullptr,
                    lists != nullptr ? lists->suffixBox() : nullptr);
}

void PageNavigation::loadPage(Page page) {
    if (SettingsPage* shown = pageAt(page)) {
        shown->load();
    }
    if (editsCodeLists(page)) {
        panel_->refresh();
    }
}

void PageNavigation::storePage(Page page) {
    if (SettingsPage* shown = pageAt(page)) {
        shown->store();
    }
}

void PageNavigation::storePages() {
    storePage(Page::MsrMainSettings);
    storePage(Page::MainSettings);
    if (isMsrTrack(currentPage_) || isIsoTrack(currentPage_)) {
        storePage(currentPage_);
    }
}

void PageNavigation::refreshPages() {
    loadPage(Page::MsrMainSettings);
    loadPage(Page::MainSettings);
}

void PageNavigation::leavePages() {
    // Leaving the two main pages stores them; they write back what the block already holds.
    main_->store();
    msrMain_->store();
    stack_->setCurrentWidget(isoGroup_);
    panel_->hide();
}

void PageNavigation::selectPage(Page page) {
    setCurrentPage(page);
    loadPage(page);
    leavePages();
}

void PageNavigation::openPage(Page page) {
    selectPage(page);
    if (page == Page::MsrMainSettings) {
        showMsrMainPage();
    } else if (isMsrTrack(page)) {
        track_->showCaptions();
        showTrackPage();
    } else if (isIsoTrack(page)) {
        showIsoPage();
    } else {
        showTreeAndTitle(true); // the ISO group item has no controls of its own
    }
}

void PageNavigation::showMsrMainPage() {
    setCurrentPage(Page::MsrMainSettings);
    loadPage(Page::MsrMainSettings);
    stack_->setCurrentWidget(msrMain_);
    panel_->refresh();
}

void PageNavigation::showTrackPage() {
    panel_->clearKeyPadTarget();
    stack_->setCurrentWidget(track_);
    panel_->refresh();
}

void PageNavigation::showIsoPage() {
    panel_->clearKeyPadTarget();
    stack_->setCurrentWidget(iso_);
    iso_->applyFieldSplitting();
    iso_->applyLayout();
}

void PageNavigation::showMainPage() {
    stack_->setCurrentWidget(main_);
    main_->applyLayout();
    showTreeAndTitle(false);
}

void PageNavigation::returnToMainPage() {
    setCurrentPage(Page::MainSettings);
    loadPage(Page::MainSettings);
    loadPage(Page::MsrMainSettings);
    leavePages();
    showMainPage();
}

void PageNavigation::showTreeAndTitle(bool visible) {
    tree_->setVisible(visible);
    title_->setVisible(visible);
}

void PageNavigation::onTreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    title_->showTitle(selected.first()->text(0));
    storePages(); // the page being left, while currentPage still names it
    openPage(NavigationTree::pageOf(selected.first()));
}

void PageNavigation::showMainSetting() {
    storePages();
    leavePages();
    showMainPage();
    setCurrentPage(Page::MainSettings);
    showTreeAndTitle(false);
}

void PageNavigation::showMsrSetting() {
    storePages();
    tree_->setGeometry(kTreeGeometry);
    // Runs the selection handler at once when the selection moves.
    tree_->setCurrentItem(tree_->topLevelItem(0));
    showTreeAndTitle(true);
    showMsrMainPage();
    main_->store(); // leaving the Main Settings page stores it
    showTreeAndTitle(true);
}

void PageNavigation::onKeyPadConfirmed() {
    // Stored first, so that the reload keeps what the page's boxes show.
    if (editsCodeLists(currentPage_)) {
        storePage(currentPage_);
    }
    loadPage(currentPage_);
}
