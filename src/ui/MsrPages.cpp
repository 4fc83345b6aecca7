#include "ui/MsrPages.h"

#include "settings/SettingsImage.h"
#include "ui/CodeListEditor.h"
#include "ui/IsoPage.h"
#include "ui/MsrMainPage.h"
#include "ui/TrackPage.h"

#include <QCheckBox>
#include <QLabel>

namespace {

bool isTrack(int track) {
    return track >= 1 && track <= 3;
}

} // namespace

struct MsrPages::Controls {
    Controls(QWidget* window, SettingsImage& settings, const int& page)
        : image(settings), currentPage(page), msrMain(window), track(window), iso(window),
          editor(new CodeListEditor(window, settings, page)) {}

    SettingsImage& image;
    const int& currentPage;
    MsrMainPage msrMain;
    TrackPage track;
    IsoPage iso;
    CodeListEditor* editor; // a child of the window
    // Receiver of the connections that call into the pages; declared last, so they end first.
    QObject context;
};

MsrPages::MsrPages(QWidget* window, SettingsImage& image, const int& currentPage)
    : controls_(std::make_unique<Controls>(window, image, currentPage)) {
    Controls& c = *controls_;
    c.editor->setPageBoxes(c.track.prefixBox(), c.track.suffixBox(), c.msrMain.prefixBox(),
                           c.msrMain.suffixBox());
    CodeListEditor* editor = c.editor;
    for (QCheckBox* box : {c.track.prefixBox(), c.msrMain.prefixBox()}) {
        QObject::connect(box, &QCheckBox::clicked, editor,
                         [editor] { editor->refreshPrefixEntry(); });
    }
    for (QCheckBox* box : {c.track.suffixBox(), c.msrMain.suffixBox()}) {
        QObject::connect(box, &QCheckBox::clicked, editor,
                         [editor] { editor->refreshSuffixEntry(); });
    }
    // OK of the key pad: store the page so that the reload keeps its boxes, then reload it to
    // show the new list.
    QObject::connect(c.iso.fieldSplittingBox(), &QCheckBox::clicked, &c.context,
                     [&c] { c.iso.applyFieldSplitting(); });
    QObject::connect(editor, &CodeListEditor::keyPadConfirmed, &c.context, [this] {
        const int page = controls_->currentPage;
        if (page == 1) {
            storeMsrMainPage();
        } else if (page >= 2 && page <= 4) {
            storeTrackPage(page - 1);
        }
        loadPage(page);
    });
}

MsrPages::~MsrPages() = default;

void MsrPages::loadPage(int page) {
    Controls& c = *controls_;
    if (page == 1) {
        c.msrMain.load(c.image);
        c.editor->loadCodeLists(page);
    } else if (page >= 2 && page <= 4) {
        c.track.load(c.image, page - 1);
        c.editor->loadCodeLists(page);
    } else if (page >= 6 && page <= 8) {
        c.iso.load(c.image, page - 5);
    }
}

void MsrPages::storeMsrMainPage() {
    controls_->msrMain.store(controls_->image);
}

void MsrPages::storeTrackPage(int track) {
    if (isTrack(track)) {
        controls_->track.store(controls_->image, track);
    }
}

void MsrPages::storeIsoPage(int track) {
    if (isTrack(track)) {
        controls_->iso.store(controls_->image, track);
    }
}

void MsrPages::showMsrMainPage() {
    Controls& c = *controls_;
    loadPage(1);
    c.msrMain.show();
    if (c.msrMain.prefixBox()->isChecked()) {
        c.editor->refreshPrefixEntry();
    }
    if (c.msrMain.suffixBox()->isChecked()) {
        c.editor->refreshSuffixEntry();
    }
}

void MsrPages::hideMsrMainPage() {
    storeMsrMainPage();
    controls_->msrMain.hide();
    controls_->editor->hideEntries();
}

void MsrPages::setSwipeCaptions(int track) {
    if (isTrack(track)) {
        controls_->track.setSwipeCaptions(track);
    }
}

void MsrPages::showTrackPage() {
    Controls& c = *controls_;
    c.editor->clearKeyPadTarget();
    c.track.show();
    if (c.track.prefixBox()->isChecked()) {
        c.editor->refreshPrefixEntry();
    }
    if (c.track.suffixBox()->isChecked()) {
        c.editor->refreshSuffixEntry();
    }
}

void MsrPages::hideTrackPage() {
    controls_->track.hide();
    controls_->editor->hideEntries();
    controls_->editor->hideKeyPad();
}

void MsrPages::showIsoPage() {
    controls_->editor->clearKeyPadTarget();
    controls_->iso.show();
    controls_->iso.applyFieldSplitting();
}

void MsrPages::applyIsoLayout(int track) {
    if (isTrack(track)) {
        controls_->iso.applyLayout(track);
    }
}

void MsrPages::hideIsoPage() {
    controls_->iso.hide();
}

void MsrPages::hideKeyPad() {
    controls_->editor->hideKeyPad();
}

QLabel* MsrPages::pageTitle() const {
    return controls_->msrMain.title();
}

const CodeListEditor& MsrPages::codeListEditor() const {
    return *controls_->editor;
}
