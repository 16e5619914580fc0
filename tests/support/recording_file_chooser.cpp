#include "support/recording_file_chooser.h"

QStringList RecordingFileChooser::next() {
    if (m_script.empty())
        return {};
    QStringList answer = std::move(m_script.front());
    m_script.pop_front();
    return answer;
}

QString RecordingFileChooser::openFile(QWidget*, const QString& title, const QString& startPath,
                                       const QStringList& filters, int selectedFilter) {
    m_asked.push_back({Kind::Open, title, startPath, filters, selectedFilter, {}, false});
    const QStringList answer = next();
    return answer.isEmpty() ? QString() : answer.front();
}

QStringList RecordingFileChooser::openFiles(QWidget*, const QString& title,
                                            const QString& startPath, const QStringList& filters,
                                            int selectedFilter) {
    m_asked.push_back({Kind::OpenMany, title, startPath, filters, selectedFilter, {}, false});
    return next();
}

QString RecordingFileChooser::saveFile(QWidget*, const QString& title, const QString& startPath,
                                       const QStringList& filters, const QString& defaultSuffix,
                                       bool overwritePrompt) {
    m_asked.push_back({Kind::Save, title, startPath, filters, 0, defaultSuffix, overwritePrompt});
    const QStringList answer = next();
    return answer.isEmpty() ? QString() : answer.front();
}
