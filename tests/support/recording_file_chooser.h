#pragma once

#include "gui/file_chooser.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

// Records every file dialog a window opens and answers from a script: each answer is the list
// of chosen paths (one for the single-file dialogs), an empty list for Cancel. With the script
// empty every dialog is cancelled.
class RecordingFileChooser : public FileChooser {
public:
    enum class Kind { Open, OpenMany, Save };
    struct Asked {
        Kind kind;
        QString title;
        QString startPath;
        QStringList filters;
        int selectedFilter;
        QString defaultSuffix;
        bool overwritePrompt;
    };

    QString openFile(QWidget* parent, const QString& title, const QString& startPath,
                     const QStringList& filters, int selectedFilter = 0) override;
    QStringList openFiles(QWidget* parent, const QString& title, const QString& startPath,
                          const QStringList& filters, int selectedFilter = 0) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& startPath,
                     const QStringList& filters, const QString& defaultSuffix = {},
                     bool overwritePrompt = true) override;

    void answerNext(QStringList paths) { m_script.push_back(std::move(paths)); }
    void answerNext(const QString& path) { m_script.push_back(QStringList{path}); }
    void cancelNext() { m_script.push_back({}); }

    const std::vector<Asked>& asked() const { return m_asked; }
    void clear() { m_asked.clear(); }

private:
    QStringList next();

    std::vector<Asked> m_asked;
    std::deque<QStringList> m_script;
};
