#include "gui/file_chooser.h"

#include <QFileDialog>

namespace {

QStringList runDialog(QWidget* parent, const QString& title, const QString& startPath,
                      const QStringList& filters, int selectedFilter, QFileDialog::FileMode mode,
                      QFileDialog::AcceptMode accept, const QString& defaultSuffix,
                      bool overwritePrompt) {
    QFileDialog dialog(parent, title, startPath);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(accept);
    dialog.setNameFilters(filters);
    if (selectedFilter >= 0 && selectedFilter < filters.size())
        dialog.selectNameFilter(filters[selectedFilter]);
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
