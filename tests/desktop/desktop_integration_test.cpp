#include "gui/desktop_integration.h"

#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray entryNaming(const QString& program, bool writtenByTheProgram) {
    QByteArray entry = "[Desktop Entry]\nType=Application\nName=Kavrin/32\nExec=" +
                       desktopExecLine(program).toUtf8() + "\n";
    if (writtenByTheProgram)
        entry += "X-Kavrin32-Written-At-Start=true\n";
    return entry;
}

// A temporary desktop: the user's data folder, one system data folder, and a program file in a
// build folder (its path holds a blank, as build folders often do).
class DesktopIntegration : public testing::Test {
protected:
    DesktopIntegration() {
        places.programPath = makeProgram(tmp / "my build" / "kavrin32");
        places.dataHome = q(tmp / "home-share");
        places.dataDirs = {q(tmp / "system-share")};
    }

    QString makeProgram(const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, "#!/bin/sh\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return q(path);
    }
    DesktopIntegrationReport run() {
        ran.clear();
        return integrateWithDesktop(places, [this](const QString& tool, const QStringList& args) {
            ran.emplace_back(tool, args.join(QLatin1Char(' ')));
            return true;
        });
    }
    QString userEntry() const {
        return places.dataHome + QStringLiteral("/applications/kavrin32.desktop");
    }
    QString systemEntry() const {
        return places.dataDirs.front() + QStringLiteral("/applications/kavrin32.desktop");
    }
    QString execOf(const QString& entry) const {
        for (const QByteArray& line : contentOf(entry).split('\n'))
            if (line.startsWith("Exec="))
                return programOfExecLine(QString::fromUtf8(line.mid(5)));
        return {};
    }
    // The databases the tools would have built, newer than what they were built from.
    void toolsDidTheirWork() {
        QTest::qWait(20);
        put(places.dataHome + QStringLiteral("/applications/mimeinfo.cache"), "x");
        put(places.dataHome + QStringLiteral("/mime/mime.cache"), "x");
    }

    TempDir tmp;
    DesktopPlaces places;
    std::vector<std::pair<QString, QString>> ran;
};

}  // namespace

TEST_F(DesktopIntegration, WritesEntryTypeAndIconWhenMissingAndNothingOnceTheyAreThere) {
    const DesktopIntegrationReport first = run();
    const QStringList expected{
        userEntry(), places.dataHome + QStringLiteral("/mime/packages/kavrin32.xml"),
        places.dataHome + QStringLiteral("/icons/hicolor/scalable/apps/kavrin32.svg")};
    EXPECT_EQ(first.written, expected);
    EXPECT_TRUE(first.problems.isEmpty()) << first.problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(execOf(userEntry()), places.programPath);
    EXPECT_TRUE(contentOf(expected[1]).contains("<glob pattern=\"*.kv32\""));
    EXPECT_TRUE(contentOf(expected[2]).contains("<svg"));
    EXPECT_EQ(
        ran,
        (std::vector<std::pair<QString, QString>>{
            {QStringLiteral("update-desktop-database"),
             places.dataHome + QStringLiteral("/applications")},
            {QStringLiteral("update-mime-database"), places.dataHome + QStringLiteral("/mime")}}));

    toolsDidTheirWork();
    const DesktopIntegrationReport second = run();
    EXPECT_TRUE(second.written.isEmpty()) << second.written.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(ran.empty());
}

TEST_F(DesktopIntegration, ReplacesAnEntryForAnotherProgramAndKeepsTheUsersOwnForThisOne) {
    const QString elsewhere = makeProgram(tmp / "old build" / "kavrin32");
    struct Case {
        const char* name;
        QByteArray existing;
        bool replaced;
    };
    const Case cases[] = {
        {"its own, for another copy", entryNaming(elsewhere, true), true},
        {"the user's, for another copy", entryNaming(elsewhere, false), true},
        {"for a program that is gone", entryNaming(QStringLiteral("/nowhere/kavrin32"), false),
         true},
        {"its own, for this copy but out of date", entryNaming(places.programPath, true), true},
        {"the user's, for this copy", entryNaming(places.programPath, false) + "Name=My poster\n",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put(userEntry(), c.existing);
        const DesktopIntegrationReport report = run();
        EXPECT_EQ(report.written.contains(userEntry()), c.replaced);
        if (c.replaced) {
            EXPECT_EQ(execOf(userEntry()), places.programPath);
        } else {
            EXPECT_EQ(contentOf(userEntry()), c.existing);
        }
    }
}

// The packaged entry names the program; a per-user entry of the same name would hide it.
TEST_F(DesktopIntegration, ASystemInstallationWritesNoPerUserCopyAndRemovesItsOwnStaleOne) {
    const QString elsewhere = makeProgram(tmp / "old build" / "kavrin32");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFileInfo(places.programPath).absolutePath().toUtf8() + ":" + oldPath);
    struct Case {
        const char* name;
        QByteArray system;  // the system's entry
        QByteArray user;    // the per-user entry before the start
        bool systemInstalled;
        bool userEntryStays;
    };
    const Case cases[] = {
        {"by full path, own stale entry", entryNaming(places.programPath, false),
         entryNaming(elsewhere, true), true, false},
        {"by name on the PATH, own stale entry",
         "[Desktop Entry]\nType=Application\nExec=kavrin32 %f\n", entryNaming(elsewhere, true),
         true, false},
        {"by full path, the user's own entry", entryNaming(places.programPath, false),
         entryNaming(elsewhere, false), true, true},
        {"the system's entry is another program's", entryNaming(elsewhere, false), QByteArray(),
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(places.dataHome).removeRecursively();
        put(systemEntry(), c.system);
        if (!c.user.isEmpty())
            put(userEntry(), c.user);
        const DesktopIntegrationReport report = run();
        EXPECT_EQ(report.written.isEmpty(), c.systemInstalled);
        EXPECT_EQ(QFileInfo::exists(userEntry()), c.userEntryStays);
        EXPECT_EQ(report.removed.contains(userEntry()), !c.userEntryStays);
        if (c.systemInstalled && !c.userEntryStays) {
            EXPECT_EQ(ran, (std::vector<std::pair<QString, QString>>{
                               {QStringLiteral("update-desktop-database"),
                                places.dataHome + QStringLiteral("/applications")}}));
        }
        if (!c.systemInstalled) {
            EXPECT_EQ(execOf(userEntry()), places.programPath);
        }
    }
    qputenv("PATH", oldPath);
}

// Build folders hold blanks, quotes, dollars and percent signs; the entry must still start
// this very program, and the desktop's own checker must accept it.
TEST_F(DesktopIntegration, ProgramPathsThatNeedQuotingStartTheProgramAndPassTheValidator) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (desktop-file-utils) is missing";
    const char* const folders[] = {"plain",     "with blank",  "it's \"quoted\"", "cost $HOME",
                                   "100% done", "back\\slash", "tick`s",          "semi;colon&(x)"};
    for (const char* folder : folders) {
        SCOPED_TRACE(folder);
        QDir(places.dataHome).removeRecursively();
        places.programPath = makeProgram(tmp / folder / "kavrin32");
        EXPECT_EQ(programOfExecLine(desktopExecLine(places.programPath)), places.programPath);
        run();
        EXPECT_EQ(execOf(userEntry()), places.programPath);
        QProcess check;
        check.start(validator, {userEntry()});
        ASSERT_TRUE(check.waitForFinished(30000));
        EXPECT_EQ(check.exitCode(), 0)
            << check.readAllStandardOutput().toStdString() << contentOf(userEntry()).toStdString();
        toolsDidTheirWork();
        EXPECT_TRUE(run().written.isEmpty());
    }
}

TEST_F(DesktopIntegration, AFolderItCannotWriteIsReportedAndTheStartGoesOn) {
    put(places.dataHome, "a file where the folder should be");
    const DesktopIntegrationReport report = run();
    EXPECT_TRUE(report.written.isEmpty());
    EXPECT_EQ(report.problems.size(), 3) << report.problems.join(QLatin1Char('\n')).toStdString();
}

// The real tools, as a start runs them: detached, the start does not wait for them.
TEST_F(DesktopIntegration, TheDesktopsToolsLearnTheFileTypeAndTheEntryThatOpensIt) {
    for (const char* tool : {"update-desktop-database", "update-mime-database"})
        ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) << tool;
    const DesktopIntegrationReport report = integrateWithDesktop(places, detachedToolRunner());
    EXPECT_EQ(report.refreshed.size(), 2);
    const QString mimeinfo = places.dataHome + QStringLiteral("/applications/mimeinfo.cache");
    const QString globs = places.dataHome + QStringLiteral("/mime/globs2");
    const QString magic = places.dataHome + QStringLiteral("/mime/magic");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return contentOf(mimeinfo).contains(
                       "application/x-kavrin32-project=kavrin32.desktop;") &&
                   contentOf(globs).contains("application/x-kavrin32-project:*.kv32") &&
                   contentOf(magic).contains("[Kavrin/32]");
        },
        30000))
        << contentOf(mimeinfo).toStdString() << contentOf(globs).toStdString();
}
