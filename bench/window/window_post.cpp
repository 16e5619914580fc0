// Posts a project from the main window, offscreen, as a user's click on Post It does, and
// measures how long the event loop went without a turn meanwhile: a 10 ms timer notes how late
// each of its ticks comes.
//
//   window_post CONFIG_DIR PROJECT.kv32
//
// Prints one line: posting seconds, the longest gap between two ticks in milliseconds, the
// ticks later than 50 ms and the articles the memo reports as posted.

#include "app/cli_support.h"
#include "app/console_prompts.h"
#include "gui/file_chooser.h"
#include "gui/gui_context.h"
#include "gui/main_window.h"
#include "model/program_start.h"
#include "platform/file_settings_store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: window_post CONFIG_DIR PROJECT.kv32\n", stderr);
        return 2;
    }
    setPostingAllocatorThresholds();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    ConsolePrompts prompts;
    QtFileChooser files;
    FileSettingsStore store(std::filesystem::path(argv[1]) / "settings.reg", &prompts);
    ProgramSettings settings;
    LoadProgramSettings(settings, store, prompts);
    TNNTPJob job;
    GuiContext context{store, prompts, files, job, std::filesystem::path(argv[1]), {}};
    TfrmKavrin window(context, settings.Advanced, std::move(settings.Lists),
                      {QString::fromLocal8Bit(argv[2])});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    int lateTicks = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - lastTick;
        lastTick = now;
        longestGap = std::max(longestGap, gap);
        if (gap > 50'000'000) {
            ++lateTicks;
            // When it happened, for whoever looks into it.
            std::fprintf(stderr, "late tick: %.1f ms after %.1f ms\n", double(gap) / 1e6,
                         double(now - gap) / 1e6);
        }
    });

    auto* postIt = window.findChild<QAbstractButton*>(QStringLiteral("btnPostIt"));
    if (!postIt || !postIt->isEnabled()) {
        std::fputs("window_post: Post It is not available for this project\n", stderr);
        return 1;
    }
    clock.start();
    ticks.start(10);
    postIt->click();  // returns when the session has ended
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    ticks.stop();

    const QString memo =
        window.findChild<QPlainTextEdit*>(QStringLiteral("memProgress"))->toPlainText();
    const int posted = int(memo.count(QStringLiteral("\nMessage posted")));
    std::printf("%.6f %.3f %d %d\n", seconds, double(longestGap) / 1e6, lateTicks, posted);
    return posted > 0 ? 0 : 1;
}
