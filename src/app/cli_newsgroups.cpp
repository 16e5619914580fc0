#include "app/cli.h"

#include "app/cli_support.h"
#include "app/console_prompts.h"
#include "model/server_storage.h"
#include "newsgroups/newsgroup_list.h"
#include "newsgroups/retrieval.h"
#include "platform/file_settings_store.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "posting/nntp.h"
#include "posting/nntp_job.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// The status bar of the selection dialog, printed: what is happening on standard output, one
// line per change. The byte and group counts are left out; the final count is printed at the end.
class ConsoleRetrievalObserver : public TRetrievalObserver {
public:
    explicit ConsoleRetrievalObserver(QEventLoop& loop) : m_loop(loop) {}

    void statusChanged(int panel, const QString& text) override {
        if (panel != 0 || text.isEmpty() || text == m_last)
            return;
        m_last = text;
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    }
    void busyChanged(bool busy) override {
        if (!busy)
            m_loop.quit();
    }
    void buttonsChanged(const TRetrievalButtons&) override {}
    void retrievalCompleted() override { m_completed = true; }

    bool completed() const { return m_completed; }

private:
    QEventLoop& m_loop;
    QString m_last;
    bool m_completed = false;
};

int usage(bool updateOnly) {
    std::fprintf(stderr, "usage: kavrin32 %s HOST [--yes]\n",
                 updateOnly ? "--update-newsgroups" : "--get-newsgroups");
    return 2;
}

}  // namespace

int runGetNewsgroups(const std::vector<std::string>& args, bool updateOnly) {
    std::string host;
    bool yes = false;
    if (!parseOperandAndYes(args, host, yes))
        return usage(updateOnly);

    const CommandLineApplication app;

    ConsolePrompts prompts(yes);
    std::unique_ptr<SettingsStore> store = openUserSettings(&prompts);
    if (!store)
        return 1;
    // The server is looked up as stored, so its key and list file keep the stored spelling.
    TServer record;
    for (const std::string& stored : serverNames(*store))
        if (namesEqual(stored, host))
            record.HostName = stored;
    if (record.HostName.empty()) {
        std::fprintf(stderr, "kavrin32: no stored news server named %s\n", host.c_str());
        return 1;
    }
    if (!LoadServer(record, *store, prompts))
        return 1;

    const std::filesystem::path folder = dataDir();
    TNewsgroupList list;
    if (updateOnly)
        loadNewsgroupList(newsgroupListPath(folder, record.HostName), list);

    TNNTP nntp;
    if (const char* ca = std::getenv("KAVRIN32_EXTRA_CA_FILE"))
        nntp.ExtraCaFile = QString::fromLocal8Bit(ca);
    TNNTPJob job;
    QEventLoop loop;
    ConsoleRetrievalObserver observer(loop);
    TRetrievalPolicy policy;
    policy.saveRecord = [&](const TServer& server) { SaveServer(server, *store, prompts); };
    TNewsgroupRetrieval retrieval(nntp, job, record, list, observer, prompts, policy, folder);

    if (updateOnly)
        retrieval.updateNewsgroups();
    else
        retrieval.getNewsgroups();
    if (retrieval.running())
        loop.exec();

    // A failed retrieval may leave the connection open; say goodbye and let it reach the server
    // before the process ends.
    if (nntp.State() != nsDisconnected && nntp.State() != nsNone)
        nntp.Quit();
    QElapsedTimer waited;
    waited.start();
    while (nntp.State() != nsDisconnected && nntp.State() != nsNone && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    if (!observer.completed())
        return 1;
    std::printf("%d newsgroups\n", record.NumberOfNewsgroups);
    std::fflush(stdout);
    return prompts.errorCount() == 0 ? 0 : 1;
}
