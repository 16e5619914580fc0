#include "posting/progress_log.h"

#include "compose/attachment.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <vector>

namespace {

const char* const kStartFailed = "Unable to start progress log";
const char* const kWriteFailed = "Unable to write progress log";

std::unique_ptr<QIODevice> openForAppend(const QString& fileName) {
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return nullptr;
    return file;
}

// Qt's long time format names the time zone ("t"); the user's long time format of a desktop
// does not, and the heading shows that. The field goes with the blanks, comma and brackets that
// only set it off; quoted text stays as it is.
QString withoutTimeZone(const QString& format) {
    std::vector<bool> quoted(std::size_t(format.size()), false);
    bool inQuote = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) == QLatin1Char('\''))
            inQuote = !inQuote;
        quoted[std::size_t(i)] = inQuote || format.at(i) == QLatin1Char('\'');
    }
    const auto plain = [&](qsizetype i, QLatin1StringView set) {
        return !quoted[std::size_t(i)] && set.contains(format.at(i));
    };
    QString out = format;
    // From the end, so what is removed never moves what is still to be looked at.
    qsizetype limit = format.size();
    for (qsizetype i = format.size() - 1; i >= 0; --i) {
        if (!plain(i, QLatin1StringView("t")))
            continue;
        qsizetype begin = i;
        while (begin > 0 && plain(begin - 1, QLatin1StringView("t")))
            --begin;
        while (begin > 0 && plain(begin - 1, QLatin1StringView(" ,([")))
            --begin;
        qsizetype end = i + 1;
        while (end < limit && plain(end, QLatin1StringView(")] ")))
            ++end;
        out.remove(begin, end - begin);
        limit = begin;
        i = begin;
    }
    return out.trimmed();
}

}  // namespace

TProgressLog::TProgressLog(TAdvanced& advanced, UserPrompts& prompts, MemoSink memo)
    : m_advanced(advanced), m_prompts(prompts), m_memo(std::move(memo)), m_opener(openForAppend) {}

TProgressLog::~TProgressLog() = default;

QString TProgressLog::SessionFileName(const TAdvanced& advanced, const QString& projectName) {
    if (!advanced.UseProjectNameAsLogFile)
        return QString::fromStdString(advanced.LogFile);
    // Only the last component: a project name never puts the log outside the current folder.
    return QString::fromStdString(FileNameOfPath(projectName.toStdString())) +
           QStringLiteral(".txt");
}

QString shortDateLongTime(const QLocale& locale, const QDateTime& at) {
    return locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(at.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString TProgressLog::Heading(const QLocale& locale, const QDateTime& at) {
    return QStringLiteral("Log started ") + shortDateLongTime(locale, at);
}

void TProgressLog::Start(const QString& projectName) {
    m_file.reset();
    m_fileName.clear();
    if (!m_advanced.SaveLogFile)
        return;
    // The project's name serves this session only; the name in the settings stays the user's.
    const QString name = SessionFileName(m_advanced, projectName);
    MemoLine(QStringLiteral("Opening log file \"") + name + QLatin1Char('"'));
    m_file = m_opener(name);
    if (!m_file) {
        fail(kStartFailed);
        return;
    }
    m_fileName = name;
    const QString heading = Heading(QLocale::system(), QDateTime::currentDateTime());
    if (!writeLine(heading) || !writeLine(QString(52, QLatin1Char('-'))))
        fail(kStartFailed);
}

void TProgressLog::ProgressLine(const QString& text) {
    ProgressLine(text, text);
}

void TProgressLog::ProgressLine(const QString& memoText, const QString& logText) {
    MemoLine(memoText);
    LogLine(logText);
}

void TProgressLog::MemoLine(const QString& text) {
    if (m_memo)
        m_memo(text);
}

void TProgressLog::LogLine(const QString& text) {
    if (m_file && !writeLine(text))
        fail(kWriteFailed);
}

void TProgressLog::End() {
    if (!m_file)
        return;
    if (writeLine(QString()) && writeLine(QString()))
        m_file->close();  // a failure to close is of no consequence to anyone
    else
        fail(kWriteFailed);
    m_file.reset();
    m_fileName.clear();
}

bool TProgressLog::writeLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.append("\r\n", 2);
    if (m_file->write(bytes) != bytes.size())
        return false;
    // Written through at once, so a full disk shows up on the line that hit it and a crash
    // loses nothing already reported.
    if (auto* file = qobject_cast<QFile*>(m_file.get()))
        return file->flush();
    return true;
}

// A log that fails is given up for the rest of the run, with one warning; the session goes on
// with the memo alone.
void TProgressLog::fail(const char* warning) {
    m_file.reset();
    m_fileName.clear();
    m_advanced.SaveLogFile = false;
    m_prompts.warning(warning);
}
