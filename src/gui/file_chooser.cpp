#include "gui/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>

namespace {

// "*.*" as Windows meant it: every file, also one whose name has no dot.
QStringList unixFilters(QStringList filters) {
    for (QString& filter : filters)
        filter.replace(QRegularExpression(QStringLiteral("(^|[ (;])\\*\\.\\*(?=[ );]|$)")),
                       QStringLiteral("\\1*"));
    return filters;
}

QStringList runDialog(QWidget* parent, const QString& title, const QString& startPath,
                      const QStringList& filters, int selectedFilter, QFileDialog::FileMode mode,
                      QFileDialog::AcceptMode accept, const QString& defaultSuffix,
                      bool overwritePrompt) {
    QFileDialog dialog(parent, title, startPath);
    // Filters match whatever the letter case ("*.jpg" shows PHOTO.JPG), as users of the
    // program expect. The desktops' own dialogs match case-sensitively and cannot be told
    // otherwise, so the program's dialog is Qt's.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(accept);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    const QStringList shown = unixFilters(filters);
    dialog.setNameFilters(shown);
    if (selectedFilter >= 0 && selectedFilter < shown.size())
        dialog.selectNameFilter(shown[selectedFilter]);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix);
    if (!overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

}  // namespace

QString QtFileChooser::openFile(QWidget* parent, const QString& title, const QString& startPath,
                                const QStringList& filters, int selectedFilter) {
    const QStringList files =
        runDialog(parent, title, startPath, filters, selectedFilter, QFileDialog::ExistingFile,
                  QFileDialog::AcceptOpen, {}, false);
    return files.isEmpty() ? QString() : files.front();
}

QStringList QtFileChooser::openFiles(QWidget* parent, const QString& title,
                                     const QString& startPath, const QStringList& filters,
                                     int selectedFilter) {
    return runDialog(parent, title, startPath, filters, selectedFilter, QFileDialog::ExistingFiles,
                     QFileDialog::AcceptOpen, {}, false);
}

QString QtFileChooser::saveFile(QWidget* parent, const QString& title, const QString& startPath,
                                const QStringList& filters, const QString& defaultSuffix,
                                bool overwritePrompt) {
    const QStringList files = runDialog(parent, title, startPath, filters, 0, QFileDialog::AnyFile,
                                        QFileDialog::AcceptSave, defaultSuffix, overwritePrompt);
    return files.isEmpty() ? QString() : files.front();
}
