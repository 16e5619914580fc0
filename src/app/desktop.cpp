#include "app/cli.h"

#include "app/cli_support.h"
#include "gui/accessibility.h"
#include "gui/desktop_integration.h"
#include "gui/file_chooser.h"
#include "gui/gui_context.h"
#include "gui/main_window.h"
#include "gui/qt_prompts.h"
#include "gui/splash.h"
#include "gui/termination_signals.h"
#include "model/program_start.h"
#include "platform/file_settings_store.h"
#include "platform/paths.h"

#include <QApplication>
#include <QPointer>
#include <QSessionManager>

#include <cstdlib>
#include <memory>

int runDesktop(int argc, char** argv) {
    setPostingAllocatorThresholds();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavrin32"));
    QApplication::setApplicationVersion(QStringLiteral(KAVRIN32_VERSION));

    setDesktopIdentity();
    ContextMenuKeys contextMenuKeys;
    app.installEventFilter(&contextMenuKeys);
    // Closing destroys it; the main window closes it two seconds after it is first shown.
    QPointer<TfrmSplash> splash = new TfrmSplash;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->showAndDraw();

    // The desktop's menu entry and file type name this copy of the program; nothing there may
    // stop the start.
    integrateWithDesktop();

    QtPrompts prompts;
    QtFileChooser files;
    const std::unique_ptr<SettingsStore> store = openUserSettings(&prompts);
    ProgramSettings settings;
    LoadProgramSettings(settings, *store, prompts);
    TNNTPJob job;
    const char* extraCa = std::getenv("KAVRIN32_EXTRA_CA_FILE");
    GuiContext context{*store, prompts,   files,
                       job,    dataDir(), extraCa ? QString::fromLocal8Bit(extraCa) : QString()};

    TfrmKavrin window(context, settings.Advanced, std::move(settings.Lists),
                      QApplication::arguments().mid(1));
    prompts.setParent(&window);
    window.setSplash(splash);

    // A logout asks about unsaved work where the session manager lets the program ask; a
    // termination signal stores everything without asking.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         const bool mayAsk = manager.allowsInteraction();
                         if (!window.saveSessionState(mayAsk))
                             manager.cancel();
                         if (mayAsk)
                             manager.release();
                     });
    // The program ends with its main window, also while the help window is open.
    QObject::connect(&window, &TfrmKavrin::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     &TfrmKavrin::endOnSignal);

    window.show();
    const int status = app.exec();
    delete splash;
    return status;
}
