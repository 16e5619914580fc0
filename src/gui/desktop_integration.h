#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// How the desktop learns about the program: a menu entry (kavrin32.desktop) that opens project
// files, the "Kavrin/32 project" file type for *.kv32 and the program's icon. A system
// installation brings them along; a program run from anywhere else writes them for the user at
// every start, so double-clicking a project file opens the copy of the program that last ran.

// The folders and the program the desktop files are about.
struct DesktopPlaces {
    QString programPath;   // the running program, as it is to be started
    QString dataHome;      // $XDG_DATA_HOME, else ~/.local/share
    QStringList dataDirs;  // $XDG_DATA_DIRS, else /usr/local/share and /usr/share

    // This run's program and the desktop's folders from the environment.
    static DesktopPlaces ofThisRun();
};

// What one integration did, for the log and for tests. Paths are absolute.
struct DesktopIntegrationReport {
    QStringList written;    // files written or replaced
    QStringList removed;    // per-user entries of an earlier copy of the program
    QStringList refreshed;  // the desktop database tools started, with their folder
    QStringList problems;   // what could not be done; the program starts all the same
};

// Starts a desktop database tool (update-desktop-database, update-mime-database) on a folder
// without waiting for it; false when it cannot be started. The default finds the tool on the
// PATH and runs it detached with its output discarded.
using DesktopToolRunner = std::function<bool(const QString& tool, const QStringList& arguments)>;
DesktopToolRunner detachedToolRunner();

// Writes the per-user menu entry, file type and icon under places.dataHome when they are
// missing or the entry names another program, removes a per-user entry an earlier copy wrote
// when the program runs from a system installation whose own entry names it (it would shadow
// that entry), and starts the database tools for what changed. Never throws, never waits for
// the tools.
DesktopIntegrationReport integrateWithDesktop(const DesktopPlaces& places,
                                              const DesktopToolRunner& runTool);

// The program entry's call: this run's places and tools; problems go to the log.
void integrateWithDesktop();

// The application's name, icon and desktop entry, which task bars and window switchers use to
// show the program's windows. Call once the application object exists.
void setDesktopIdentity();

// The Exec value that starts program with a file: the program quoted as desktop entries
// require, followed by " %f"; and the program such a value names.
QString desktopExecLine(const QString& program);
QString programOfExecLine(const QString& exec);
