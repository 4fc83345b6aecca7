#include "ui/CompareDialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

} // namespace

CompareDialog::CompareDialog(const std::vector<SettingDifference>& differences, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("compareWithReader"));
    setWindowTitle(QStringLiteral("Compare with the reader"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("summary"));
    layout->addWidget(summary);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (differences.empty()) {
        summary->setText(QStringLiteral("The reader holds the window's settings."));
    } else {
        summary->setText(differences.size() == 1
                             ? QStringLiteral("The reader holds another value for 1 setting:")
                             : QStringLiteral("The reader holds other values for %1 settings:")
                                   .arg(differences.size()));
        layout->addWidget(table(differences));
        QPushButton* program =
            buttons->addButton(QStringLiteral("&Program the reader"), QDialogButtonBox::AcceptRole);
        program->setObjectName(QStringLiteral("programReader"));
        program->setAccessibleName(QStringLiteral("Program the reader"));
        connect(program, &QPushButton::clicked, this, &QDialog::accept);
    }
    summary->setAccessibleName(summary->text());
    layout->addWidget(buttons);
}

QTableWidget* CompareDialog::table(const std::vector<SettingDifference>& differences) {
    auto* list = new QTableWidget(static_cast<int>(differences.size()), 4, this);
    list->setObjectName(QStringLiteral("differences"));
    list->setAccessibleName(QStringLiteral("Settings that differ"));
    list->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Caption"),
                                     QStringLiteral("Window"), QStringLiteral("Reader")});
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->verticalHeader()->hide();
    for (int row = 0; row < list->rowCount(); ++row) {
        const SettingDifference& difference = differences.at(static_cast<std::size_t>(row));
        const QString cells[] = {text(difference.setting->name), text(difference.setting->caption),
                                 QString::fromStdString(difference.first),
                                 QString::fromStdString(difference.second)};
        for (int column = 0; column < 4; ++column) {
            list->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    list->resizeColumnsToContents();
    list->horizontalHeader()->setStretchLastSection(true);
    // Every row in sight without scrolling, as far as the screen allows.
    const int rows = std::min(list->rowCount(), 12);
    list->setMinimumHeight(list->horizontalHeader()->height() + rows * list->rowHeight(0) + 4);
    list->setMinimumWidth(list->horizontalHeader()->length() + 4);
    return list;
}
