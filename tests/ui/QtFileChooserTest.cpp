// The real file dialogs open in the folder they are given, offering "Default.cfg" there.
#include "ui/QtFileChooser.h"

#include "support/TempFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Puts the folder that the dialog opening next shows into `folder`, then cancels the dialog.
void readFolderOfNextDialog(QString& folder) {
    QTimer::singleShot(0, [&folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
}

TEST(QtFileChooser, BothDialogsOpenInTheGivenFolder) {
    TempFolder folder;
    const QString expected = QDir(QString::fromStdString(folder.path().string())).absolutePath();
    QtFileChooser files;
    QString load;
    readFolderOfNextDialog(load);
    EXPECT_FALSE(files.chooseFileToLoad(folder.path().string()));
    QString save;
    readFolderOfNextDialog(save);
    EXPECT_FALSE(files.chooseFileToSave(folder.path().string()));
    EXPECT_EQ(load, expected);
    EXPECT_EQ(save, expected);
}

} // namespace
