#pragma once

#include "model/advanced.h"
#include "model/project.h"
#include "platform/user_prompts.h"
#include "posting/nntp.h"
#include "posting/nntp_job.h"
#include "posting/nzb.h"
#include "posting/posting_plan.h"
#include "posting/progress_log.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

// What a posting session shows. The main window implements it with its memo, status panel,
// progress bar, cursor and commands; the command line prints the memo lines.
class PostingObserver {
public:
    virtual ~PostingObserver() = default;
    // A line appended to the progress memo.
    virtual void MemoLine(const QString& line) = 0;
    virtual void StatusText(const QString&) {}
    // 0 to 100.
    virtual void ProgressValue(int) {}
    // The hourglass on or off. An error box gives the normal cursor back in the middle of a
    // session, so off may come twice in a row.
    virtual void BusyCursor(bool) {}
    // true while a session runs: the tool bar and the File, Edit and Help menus are disabled,
    // Stop Posting is enabled and the progress page is shown. false gives the idle window back.
    virtual void PostingCommands(bool) {}
};

// How the last session went.
struct PostingResult {
    bool Connected = false;  // the server was reached and ready for commands
    bool Stopped = false;    // the user stopped it
    int Articles = 0;        // transfers started
    int Posted = 0;          // transfers the server accepted with 240
    std::string Error;       // the builder's error that ended it, if any
    std::string NzbFile;     // the NZB file saved, if any
    std::string NzbError;    // why an NZB file that was due could not be saved
    // Every article the posting meant to send reached the server.
    bool Complete() const { return Connected && !Stopped && Error.empty() && Posted == Articles; }
};

// The "Post It!" command without the window: connects the client to the project's server, lets
// the plan build the articles batch by batch, transmits each one, and reports every step as
// progress lines, status text, progress bar and questions. It runs on the GUI thread and waits
// by running the event loop, so the client's events and Stop are served meanwhile.
class TPostingSession : public QObject {
    Q_OBJECT
public:
    TPostingSession(TNNTP& nntp, TNNTPJob& job, TAdvanced& advanced, UserPrompts& prompts,
                    PostingObserver& observer, QObject* parent = nullptr);
    ~TPostingSession() override;

    // Runs a whole session and returns when it has ended. Returns false, doing nothing, when a
    // session is already running (a second "Post It!" from inside the first one's waits).
    bool Post(const TProject& project, PostingPlan& plan);
    // "Stop Posting": asks, and on Yes lets no further article start and cancels the transfer
    // in progress.
    void RequestStop();
    // Stops at once, as a Yes to that question does: for callers whose user has already said
    // so (Ctrl+C on the command line).
    void StopNow();

    // Where the NZB file of the next postings goes, whatever "Save NZB File" says; empty to
    // leave it to that setting.
    void SetNzbFile(std::string path) { m_nzbFile = std::move(path); }
    // The attached files of the last posting and what the server accepted of them.
    const TNzbRecord& Nzb() const { return m_nzb; }

    bool Running() const { return m_running; }
    const PostingResult& Result() const { return m_result; }
    TProgressLog& Log() { return m_log; }

private:
    void stateChanged(int state);
    void protocolStateChanged(int state);
    void banner(const QString& text);
    void authenticateRequest(NntpAuthRequest* request);
    void authenticateResponse(bool authenticated);
    void docInput();
    void error(int number, const QString& description);

    bool connectToServer();
    void sendArticle(PostingDocument& document);
    void disconnect();
    void waitUntil(const std::function<bool()>& done);
    void endSession();
    // After the articles: saves the NZB file of the attached files, when one is due, and says
    // in the memo which files the server did not take whole.
    void saveNzb(const TProject& project);
    QString serverName() const;
    // Server replies and error texts pass through here, so a password a server echoes back is
    // never shown or logged.
    QString withoutPassword(const QString& text) const;
    void progress(const QString& text);

    TNNTP& m_nntp;
    TNNTPJob& m_job;
    UserPrompts& m_prompts;
    PostingObserver& m_observer;
    TAdvanced& m_advanced;
    TProgressLog m_log;
    std::string m_nzbFile;
    TNzbRecord m_nzb;

    bool m_running = false;
    bool m_stopRequested = false;
    bool m_transferFailed = false;
    // Set while the program itself ends the connection, so that is not reported as the
    // server's doing.
    bool m_ownDisconnect = false;
    bool m_transferComplete = false;
    TServer m_server;
    const PostingDocument* m_current = nullptr;
    PostingResult m_result;
};
