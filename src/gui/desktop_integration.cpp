#include "gui/desktop_integration.h"

#include "gui/program_pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtGlobal>

namespace {

const QString kEntryName = QStringLiteral("kavrin32.desktop");
const QString kExecPlaceholder = QStringLiteral("@KAVRIN32_DESKTOP_EXEC@ %f");
// Marks the per-user entries the program writes itself, the only ones it ever removes.
const QString kWrittenMark = QStringLiteral("X-Kavrin32-Written-At-Start=true");

QByteArray resource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The raw value of the main group's Exec key, empty when there is none.
QString execValueOf(const QByteArray& entry) {
    bool inMainGroup = false;
    for (const QByteArray& raw : entry.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        } else if (inMainGroup && line.startsWith(QStringLiteral("Exec"))) {
            const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
            if (key == QStringLiteral("Exec"))
                return line.section(QLatin1Char('='), 1).trimmed();
        }
    }
    return {};
}

// The same file, whatever way of writing its path: a bare name is looked up on the PATH.
bool namesProgram(const QString& named, const QString& program) {
    if (named.isEmpty())
        return false;
    const QString found =
        named.contains(QLatin1Char('/')) ? named : QStandardPaths::findExecutable(named);
    const QString a = QFileInfo(found).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(program).canonicalFilePath();
}

bool writeFile(const QString& path, const QByteArray& bytes, DesktopIntegrationReport& report) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        report.problems << QStringLiteral("Cannot create the folder of %1").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        report.problems << QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    report.written << path;
    return true;
}

// A file the program owns outright: written whenever it is missing or differs.
bool keepFile(const QString& path, const QByteArray& bytes, DesktopIntegrationReport& report) {
    if (readFile(path) == bytes)
        return false;
    return writeFile(path, bytes, report);
}

// A database built from the files in a folder, missing or older than the file it must know.
bool staleDatabase(const QString& database, const QString& source) {
    const QFileInfo db(database);
    return !db.exists() || db.lastModified() < QFileInfo(source).lastModified();
}

void refresh(const QString& tool, const QString& folder, const DesktopToolRunner& runTool,
             DesktopIntegrationReport& report) {
    if (runTool(tool, {folder}))
        report.refreshed << tool + QLatin1Char(' ') + folder;
}

}  // namespace

QString desktopExecLine(const QString& program) {
    // Field codes take "%" as "%%"; an argument holding a reserved character goes in double
    // quotes with \ " ` $ escaped; the file's own string escaping then doubles every backslash.
    QString arg = program;
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : arg)
        quote = quote || reserved.contains(c);
    if (quote) {
        QString quoted;
        for (QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        arg = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    QString line;
    for (QChar c : arg) {
        if (c == QLatin1Char('\\'))
            line += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            line += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            line += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            line += QStringLiteral("\\r");
        else
            line += c;
    }
    return line + QStringLiteral(" %f");
}

QString programOfExecLine(const QString& exec) {
    QString value;  // after the file's string escapes
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c != QLatin1Char('\\') || i + 1 == exec.size()) {
            value += c;
            continue;
        }
        const QChar e = exec.at(++i);
        value += e == QLatin1Char('s')   ? QChar(QLatin1Char(' '))
                 : e == QLatin1Char('n') ? QChar(QLatin1Char('\n'))
                 : e == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                 : e == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                         : e;
    }
    QString program;
    if (value.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < value.size() && value.at(i) != QLatin1Char('"'); ++i) {
            if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size())
                ++i;
            program += value.at(i);
        }
    } else {
        program = value.section(QLatin1Char(' '), 0, 0);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

DesktopPlaces DesktopPlaces::ofThisRun() {
    DesktopPlaces places;
    places.programPath = QCoreApplication::applicationFilePath();
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    places.dataHome =
        QDir::isAbsolutePath(home) ? home : QDir::homePath() + QStringLiteral("/.local/share");
    for (const QString& dir :
         qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
             .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            places.dataDirs << dir;
    }
    return places;
}

DesktopToolRunner detachedToolRunner() {
    return [](const QString& tool, const QStringList& arguments) {
        const QString path = QStandardPaths::findExecutable(tool);
        if (path.isEmpty())
            return false;
        QProcess process;
        process.setProgram(path);
        process.setArguments(arguments);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        return process.startDetached();
    };
}

DesktopIntegrationReport integrateWithDesktop(const DesktopPlaces& places,
                                              const DesktopToolRunner& runTool) {
    DesktopIntegrationReport report;
    const QString applications = places.dataHome + QStringLiteral("/applications");
    const QString userEntry = applications + QLatin1Char('/') + kEntryName;
    const QByteArray existing = readFile(userEntry);

    bool systemInstalled = false;
    for (const QString& dir : places.dataDirs) {
        const QByteArray entry = readFile(dir + QStringLiteral("/applications/") + kEntryName);
        if (namesProgram(programOfExecLine(execValueOf(entry)), places.programPath))
            systemInstalled = true;
    }

    if (systemInstalled) {
        // Our own per-user entry for another copy would hide the system's entry from the desktop.
        if (!existing.isEmpty() && existing.contains(kWrittenMark.toUtf8()) &&
            !namesProgram(programOfExecLine(execValueOf(existing)), places.programPath)) {
            if (QFile::remove(userEntry)) {
                report.removed << userEntry;
                refresh(QStringLiteral("update-desktop-database"), applications, runTool, report);
            } else {
                report.problems << QStringLiteral("Cannot remove %1").arg(userEntry);
            }
        }
        return report;
    }

    QString entry = QString::fromUtf8(resource(QStringLiteral(":/desktop/kavrin32.desktop.in")));
    entry.replace(kExecPlaceholder, desktopExecLine(places.programPath));
    entry += kWrittenMark + QLatin1Char('\n');
    // An entry the user made for this program is theirs to keep; one the program wrote is
    // brought up to date.
    const bool ours = existing.contains(kWrittenMark.toUtf8());
    if (existing.isEmpty() ||
        !namesProgram(programOfExecLine(execValueOf(existing)), places.programPath) ||
        (ours && existing != entry.toUtf8()))
        writeFile(userEntry, entry.toUtf8(), report);
    const QString mime = places.dataHome + QStringLiteral("/mime");
    const QString mimeType = mime + QStringLiteral("/packages/kavrin32.xml");
    keepFile(mimeType, resource(QStringLiteral(":/desktop/kavrin32-mime.xml")), report);
    keepFile(places.dataHome + QStringLiteral("/icons/hicolor/scalable/apps/kavrin32.svg"),
             resource(QStringLiteral(":/kavrin32.svg")), report);

    if (QFileInfo::exists(userEntry) &&
        staleDatabase(applications + QStringLiteral("/mimeinfo.cache"), userEntry))
        refresh(QStringLiteral("update-desktop-database"), applications, runTool, report);
    if (QFileInfo::exists(mimeType) &&
        staleDatabase(mime + QStringLiteral("/mime.cache"), mimeType))
        refresh(QStringLiteral("update-mime-database"), mime, runTool, report);
    return report;
}

void integrateWithDesktop() {
    const DesktopIntegrationReport report =
        integrateWithDesktop(DesktopPlaces::ofThisRun(), detachedToolRunner());
    for (const QString& problem : report.problems)
        qWarning("kavrin32: %s", qUtf8Printable(problem));
}

void setDesktopIdentity() {
    QGuiApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("kavrin32"));
}
