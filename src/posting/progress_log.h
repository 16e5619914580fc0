#pragma once

#include "model/advanced.h"
#include "platform/user_prompts.h"

#include <QDateTime>
#include <QIODevice>
#include <QLocale>
#include <QString>

#include <functional>
#include <memory>

// A moment as the user's desktop writes it: the locale's short date, a space and its long time
// (without the time zone Qt's long format adds).
QString shortDateLongTime(const QLocale& locale, const QDateTime& at);

// The progress lines of a posting session: every line goes to the progress memo and, while the
// log is active, to the log file as well. The log file is UTF-8 with CR LF line ends and is only
// ever appended to, so it keeps a record across sessions and runs.
class TProgressLog {
public:
    using MemoSink = std::function<void(const QString& line)>;
    // Opens the log file for appending; tests hand in a device that fails on purpose.
    using FileOpener = std::function<std::unique_ptr<QIODevice>(const QString& fileName)>;

    TProgressLog(TAdvanced& advanced, UserPrompts& prompts, MemoSink memo);
    ~TProgressLog();

    void setFileOpener(FileOpener opener) { m_opener = std::move(opener); }

    // Called once when a session starts, before the connection is made. projectName is the
    // current project's name, which names the log file when the settings ask for that.
    void Start(const QString& projectName);
    // Memo and log.
    void ProgressLine(const QString& text);
    // The memo and the log may word one event differently.
    void ProgressLine(const QString& memoText, const QString& logText);
    void MemoLine(const QString& text);
    // Log only (error texts).
    void LogLine(const QString& text);
    // Called once when a session has ended, after the disconnection has completed.
    void End();

    bool Active() const { return m_file != nullptr; }
    // The file this session logs to (empty while the log is not active).
    QString FileName() const { return m_fileName; }

    // The log file name a session uses: the project's name with ".txt" when the settings ask
    // for it, else the name in the settings.
    static QString SessionFileName(const TAdvanced& advanced, const QString& projectName);
    // "Log started " and the moment in the locale's short date and long time formats.
    static QString Heading(const QLocale& locale, const QDateTime& at);

private:
    bool writeLine(const QString& text);
    void fail(const char* warning);

    TAdvanced& m_advanced;
    UserPrompts& m_prompts;
    MemoSink m_memo;
    FileOpener m_opener;
    std::unique_ptr<QIODevice> m_file;
    QString m_fileName;
};
