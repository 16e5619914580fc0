#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The program's file dialogs. Windows ask through this interface so tests can answer with a
// script; QtFileChooser shows the real dialogs.
//
// Filters are given as the user reads them ("JPEG Images (*.jpg)"); selectedFilter is the index
// of the one chosen at first. startPath is a folder, or a file whose folder is opened and whose
// name is proposed. An empty result (or list) means the user cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;

    virtual QString openFile(QWidget* parent, const QString& title, const QString& startPath,
                             const QStringList& filters, int selectedFilter = 0) = 0;
    virtual QStringList openFiles(QWidget* parent, const QString& title, const QString& startPath,
                                  const QStringList& filters, int selectedFilter = 0) = 0;
    // A name to save under. The file need not exist; when it does and overwritePrompt is set,
    // the dialog asks before returning it. defaultSuffix ("kv32") is added to a name typed
    // without any extension.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& startPath,
                             const QStringList& filters, const QString& defaultSuffix = {},
                             bool overwritePrompt = true) = 0;
};

// The dialogs of the desktop.
class QtFileChooser : public FileChooser {
public:
    QString openFile(QWidget* parent, const QString& title, const QString& startPath,
                     const QStringList& filters, int selectedFilter = 0) override;
    QStringList openFiles(QWidget* parent, const QString& title, const QString& startPath,
                          const QStringList& filters, int selectedFilter = 0) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& startPath,
                     const QStringList& filters, const QString& defaultSuffix = {},
                     bool overwritePrompt = true) override;
};
