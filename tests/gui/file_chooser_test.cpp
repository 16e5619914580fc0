#include "gui/file_chooser.h"

#include "support/gui_test.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The names the open dialog lists under each of its filters, read while it is up (the folder is
// read and filtered in the background: until they are the expected ones or time runs out); then
// it is cancelled.
std::vector<QStringList> listedUnderEachFilter(const QString& folder, const QStringList& filters,
                                               const std::vector<QStringList>& expected) {
    std::vector<QStringList> listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int f = 0; view && types && f < types->count(); ++f) {
            types->setCurrentIndex(f);
            emit types->activated(f);
            QStringList names;
            static_cast<void>(QTest::qWaitFor(
                [&] {
                    names.clear();
                    const QModelIndex root = view->rootIndex();
                    for (int r = 0; r < view->model()->rowCount(root); ++r)
                        names.append(view->model()->index(r, 0, root).data().toString());
                    names.sort();
                    return std::size_t(f) < expected.size() && names == expected[std::size_t(f)];
                },
                5000));
            listed.push_back(names);
        }
        dialog->reject();
    });
    QtFileChooser chooser;
    EXPECT_EQ(chooser.openFile(nullptr, QStringLiteral("Attach"), folder, filters), QString());
    return listed;
}

}  // namespace

// Users of the program come from a system where "*.jpg" also shows PHOTO.JPG and "*.*" shows
// every file.
TEST(QtFileChooser, FiltersIgnoreLetterCaseAndStarDotStarShowsEveryFile) {
    TempDir dir;
    for (const char* name : {"PHOTO.JPG", "holiday.jpg", "Mixed.Jpg", "notes.txt", "README"})
        writeFile(dir / name, "x");
    const std::vector<QStringList> expected{
        {QStringLiteral("Mixed.Jpg"), QStringLiteral("PHOTO.JPG"), QStringLiteral("holiday.jpg")},
        {QStringLiteral("Mixed.Jpg"), QStringLiteral("PHOTO.JPG"), QStringLiteral("README"),
         QStringLiteral("holiday.jpg"), QStringLiteral("notes.txt")}};
    EXPECT_EQ(
        listedUnderEachFilter(
            QString::fromStdString(dir.path().string()),
            {QStringLiteral("JPEG Images (*.jpg)"), QStringLiteral("All Files (*.*)")}, expected),
        expected);
}
