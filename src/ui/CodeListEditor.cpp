#include "ui/CodeListEditor.h"

#include "settings/SettingsImage.h"
#include "ui/KeyCodeEdit.h"
#include "ui/KeyPad.h"

#include <QCheckBox>
#include <QLabel>

namespace {

QLabel* counter(QWidget* window, const QString& name, const QRect& geometry) {
    auto* label = new QLabel(QStringLiteral("7"), window);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    label->hide();
    return label;
}

bool checked(const QCheckBox* box) {
    return box != nullptr && box->isChecked();
}

} // namespace

CodeListEditor::CodeListEditor(QWidget* window, SettingsImage& image, const int& currentPage)
    : QObject(window), window_(window), image_(image), currentPage_(currentPage) {
    prefixEntry_ = new KeyCodeEdit(
        KeyCodeEdit::Role::Prefix, [this] { return prefixList(); }, window);
    prefixEntry_->setObjectName(QStringLiteral("3010"));
    prefixEntry_->setGeometry(310, 90, 130, 20);
    prefixEntry_->hide();
    prefixCounter_ = counter(window, QStringLiteral("prefixCounter"), QRect(440, 90, 40, 20));

    suffixEntry_ = new KeyCodeEdit(
        KeyCodeEdit::Role::Suffix, [this] { return suffixList(); }, window);
    suffixEntry_->setObjectName(QStringLiteral("3020"));
    suffixEntry_->setGeometry(310, 120, 130, 20);
    suffixEntry_->hide();
    suffixCounter_ = counter(window, QStringLiteral("suffixCounter"), QRect(440, 120, 40, 20));

    keyPad_ = new KeyPad(window);

    connect(prefixEntry_, &KeyCodeEdit::codesChanged, this, &CodeListEditor::prefixCodesChanged);
    connect(suffixEntry_, &KeyCodeEdit::codesChanged, this, &CodeListEditor::suffixCodesChanged);
    connect(prefixEntry_, &KeyCodeEdit::focusLost, this,
            [this] { keyPadTarget_ = KeyPadTarget::Prefix; });
    connect(suffixEntry_, &KeyCodeEdit::focusLost, this,
            [this] { keyPadTarget_ = KeyPadTarget::Suffix; });
    connect(keyPad_, &KeyPad::digitClicked, this, &CodeListEditor::digitClicked);
    connect(keyPad_, &KeyPad::okClicked, this, &CodeListEditor::okClicked);
}

void CodeListEditor::setPageBoxes(const QCheckBox* trackPrefix, const QCheckBox* trackSuffix,
                                  const QCheckBox* msrPrefix, const QCheckBox* msrSuffix) {
    trackPrefixBox_ = trackPrefix;
    trackSuffixBox_ = trackSuffix;
    msrPrefixBox_ = msrPrefix;
    msrSuffixBox_ = msrSuffix;
}

CodeList CodeListEditor::prefixList() const {
    return CodeList(image_.pagePrefix(currentPage_));
}

CodeList CodeListEditor::suffixList() const {
    return CodeList(image_.pageSuffix(currentPage_));
}

void CodeListEditor::loadCodeLists(int page) {
    const CodeList prefix(image_.pagePrefix(page));
    const CodeList suffix(image_.pageSuffix(page));
    prefixText_ = QString::fromLatin1(prefix.displayText());
    prefixRemaining_ = QString::number(prefix.remaining());
    suffixText_ = QString::fromLatin1(suffix.displayText());
    suffixRemaining_ = QString::number(suffix.remaining());
    refreshPrefixEntry();
    refreshSuffixEntry();
}

void CodeListEditor::refreshPrefixEntry() {
    const auto shown = [this](const QCheckBox* box) {
        return checked(box) && box->isVisibleTo(window_);
    };
    if (shown(trackPrefixBox_) || shown(msrPrefixBox_)) {
        prefixEntry_->show();
        prefixCounter_->show();
        prefixEntry_->setText(prefixText_);
        prefixCounter_->setText(prefixRemaining_);
    } else {
        prefixEntry_->hide();
        prefixCounter_->hide();
    }
    refreshKeyPad();
}

void CodeListEditor::refreshSuffixEntry() {
    const auto shown = [this](const QCheckBox* box) {
        return checked(box) && box->isVisibleTo(window_);
    };
    if (shown(trackSuffixBox_) || shown(msrSuffixBox_)) {
        suffixEntry_->show();
        suffixCounter_->show();
        suffixEntry_->setText(suffixText_);
        suffixCounter_->setText(suffixRemaining_);
    } else {
        suffixEntry_->hide();
        suffixCounter_->hide();
    }
    refreshKeyPad();
}

void CodeListEditor::refreshKeyPad() {
    const bool onTrackPage = currentPage_ >= 2 && currentPage_ <= 4;
    const bool onMsrMainPage = currentPage_ == 1;
    if ((onTrackPage && (checked(trackPrefixBox_) || checked(trackSuffixBox_))) ||
        (onMsrMainPage && (checked(msrPrefixBox_) || checked(msrSuffixBox_)))) {
        showKeyPad();
    } else {
        hideKeyPad();
    }
}

void CodeListEditor::showKeyPad() {
    keyPad_->show();
    keyPadTarget_ = KeyPadTarget::None;
}

void CodeListEditor::hideKeyPad() {
    keyPad_->hide();
}

void CodeListEditor::hideEntries() {
    prefixEntry_->hide();
    prefixCounter_->hide();
    suffixEntry_->hide();
    suffixCounter_->hide();
}

void CodeListEditor::prefixCodesChanged() {
    keyPadTarget_ = KeyPadTarget::Prefix;
    const CodeList list = prefixList();
    prefixText_ = QString::fromLatin1(list.displayText());
    prefixRemaining_ = QString::number(list.remaining());
    prefixCounter_->setText(prefixRemaining_);
}

void CodeListEditor::suffixCodesChanged() {
    keyPadTarget_ = KeyPadTarget::Suffix;
    const CodeList list = suffixList();
    suffixText_ = QString::fromLatin1(list.displayText());
    suffixRemaining_ = QString::number(list.remaining());
    suffixCounter_->setText(suffixRemaining_);
}

bool CodeListEditor::keyPadFeedsPrefix() const {
    switch (keyPadTarget_) {
    case KeyPadTarget::Prefix:
        return true;
    case KeyPadTarget::Suffix:
        return false;
    case KeyPadTarget::None:
        break;
    }
    // Never feed a list whose entry the operator cannot see.
    return suffixEntry_->isHidden() && !prefixEntry_->isHidden();
}

void CodeListEditor::digitClicked() {
    KeyCodeEdit* entry = keyPadFeedsPrefix() ? prefixEntry_ : suffixEntry_;
    entry->setFocus(Qt::OtherFocusReason);
    entry->moveCaretToEnd();
}

void CodeListEditor::okClicked() {
    CodeList list = keyPadFeedsPrefix() ? prefixList() : suffixList();
    const int value = keyPad_->value();
    if (value >= 1 && value <= 255) {
        list.append(static_cast<std::uint8_t>(value));
    }
    keyPad_->clear();
    emit keyPadConfirmed();
}
