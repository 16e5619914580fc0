#include "app/cli.h"

#include "app/cli_support.h"
#include "app/console_prompts.h"
#include "compose/article.h"
#include "compose/identity.h"
#include "posting/nntp.h"
#include "posting/posting_session.h"
#include "posting/project_plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <filesystem>

namespace {

// The memo is standard output; nothing else of a window exists here.
class ConsoleObserver : public PostingObserver {
public:
    void MemoLine(const QString& line) override {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
        std::fputc('\n', stdout);
    }
};

// A Ctrl+C is the Stop button already answered Yes: pressing it is the user's answer, so it is
// not asked about again. No further article starts, the transfer in progress is cancelled and
// the session ends with its normal disconnect.
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

int usage() {
    std::fputs("usage: kavrin32 --post PROJECT.kv32 [--yes] [--nzb FILE]\n", stderr);
    return 2;
}

}  // namespace

int runPost(const std::vector<std::string>& args) {
    // "--nzb FILE" may stand anywhere; the rest is the project and --yes.
    std::vector<std::string> rest;
    std::string nzbFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--nzb") {
            rest.push_back(args[i]);
        } else if (i + 1 < args.size() && !args[i + 1].empty() && nzbFile.empty()) {
            nzbFile = args[++i];
        } else {
            return usage();
        }
    }
    std::string file;
    bool yes = false;
    if (!parseOperandAndYes(rest, file, yes))
        return usage();

    setPostingAllocatorThresholds();

    const CommandLineApplication app;

    ConsolePrompts prompts(yes);
    CommandLineProject loaded;
    if (!loadCommandLineProject(file, prompts, loaded))
        return 1;
    TProject& project = loaded.project;
    TAdvanced& advanced = loaded.advanced;

    // The run's MIME record comes before any random pick, as in the window.
    const TMIME mime;
    ComposeEnvironment env;
    env.hostName = advanced.HostName;
    ArticleBuilder builder(project, loaded.lists, mime, env, prompts);
    ProjectPostingPlan plan(project, builder);

    TNNTP nntp;
    if (const char* ca = std::getenv("KAVRIN32_EXTRA_CA_FILE"))
        nntp.ExtraCaFile = QString::fromLocal8Bit(ca);
    TNNTPJob job;
    ConsoleObserver observer;
    TPostingSession session(nntp, job, advanced, prompts, observer);
    if (!nzbFile.empty())
        session.SetNzbFile(std::filesystem::absolute(nzbFile).string());

    QTimer interruptPoll;
    QObject::connect(&interruptPoll, &QTimer::timeout, [&] {
        if (g_interrupted) {
            g_interrupted = 0;
            session.StopNow();
        }
    });
    interruptPoll.start(100);
    auto* previous = std::signal(SIGINT, onInterrupt);

    session.Post(project, plan);

    // The session does not wait for the goodbye when no log is kept; a command about to exit
    // does, briefly, so the server sees a clean QUIT.
    QElapsedTimer waited;
    waited.start();
    while (nntp.State() != nsDisconnected && nntp.State() != nsNone && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    std::signal(SIGINT, previous);
    std::fflush(stdout);
    const PostingResult& result = session.Result();
    if (!nzbFile.empty() && result.Connected && session.Nzb().Empty())
        prompts.warning("No NZB file saved: no attached file was posted");
    return result.Complete() && result.NzbError.empty() ? 0 : 1;
}
