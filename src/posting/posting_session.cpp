#include "posting/posting_session.h"

#include "platform/paths.h"
#include "posting/server_connection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <ctime>
#include <exception>

namespace {

// Unwinds the article builder when Stop was confirmed. Not a std::exception, so nothing on the
// way that handles the builder's own errors mistakes it for one.
struct PostingStopped {};

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

TPostingSession::TPostingSession(TNNTP& nntp, TNNTPJob& job, TAdvanced& advanced,
                                 UserPrompts& prompts, PostingObserver& observer, QObject* parent)
    : QObject(parent),
      m_nntp(nntp),
      m_job(job),
      m_prompts(prompts),
      m_observer(observer),
      m_advanced(advanced),
      m_log(advanced, prompts, [this](const QString& line) { m_observer.MemoLine(line); }) {
    connect(&m_nntp, &TNNTP::OnStateChanged, this, &TPostingSession::stateChanged);
    connect(&m_nntp, &TNNTP::OnProtocolStateChanged, this, &TPostingSession::protocolStateChanged);
    connect(&m_nntp, &TNNTP::OnBanner, this, &TPostingSession::banner);
    connect(&m_nntp, &TNNTP::OnAuthenticateRequest, this, &TPostingSession::authenticateRequest,
            Qt::DirectConnection);
    connect(&m_nntp, &TNNTP::OnAuthenticateResponse, this, &TPostingSession::authenticateResponse);
    connect(&m_nntp, &TNNTP::OnDocInput, this, &TPostingSession::docInput);
    connect(&m_nntp, &TNNTP::OnError, this, &TPostingSession::error);
}

TPostingSession::~TPostingSession() = default;

bool TPostingSession::Post(const TProject& project, PostingPlan& plan) {
    if (m_running)
        return false;
    m_running = true;
    m_result = PostingResult{};
    m_nzb.Clear();
    m_server = project.Server;

    m_observer.BusyCursor(true);
    m_stopRequested = false;
    m_job.Value = jobPosting;
    m_observer.PostingCommands(true);
    m_log.Start(fromUtf8(project.Name));

    if (!connectToServer()) {
        m_job.Value = jobNothing;
        endSession();
        return true;
    }
    m_result.Connected = true;

    const int batches = plan.BatchCount();
    m_observer.ProgressValue(0);
    const PostingSend send = [this](PostingDocument& document) { sendArticle(document); };
    try {
        for (int b = 0; b < batches; ++b) {
            if (m_stopRequested)
                break;
            plan.ComposeBatch(b, send);
            m_observer.ProgressValue((b + 1) * 100 / batches);
        }
    } catch (const PostingStopped&) {
    } catch (const std::exception& e) {
        m_result.Error = e.what();
        if (m_result.Error.empty())
            m_result.Error = "Unable to build the article";
    }
    m_current = nullptr;
    saveNzb(project);

    m_job.Value = jobNothing;
    disconnect();
    if (m_log.Active())
        waitUntil([this] {
            return m_nntp.State() == nsDisconnected && m_nntp.ProtocolState() == prcNoConnection;
        });
    m_log.End();
    m_observer.ProgressValue(0);
    endSession();

    if (!m_result.Error.empty()) {
        std::string text = withoutPassword(fromUtf8(m_result.Error)).toStdString();
        if (!text.ends_with('.'))
            text += '.';
        m_prompts.show(PromptKind::Error, PromptButtons::Ok, text, kApplicationTitle);
    }
    return true;
}

void TPostingSession::RequestStop() {
    if (!m_running)
        return;
    // The session may have ended while the question was open.
    if (m_prompts.confirm("Stop posting?") != PromptAnswer::Yes)
        return;
    StopNow();
}

void TPostingSession::StopNow() {
    if (!m_running)
        return;
    m_stopRequested = true;
    m_result.Stopped = true;
    m_ownDisconnect = true;
    m_nntp.Cancel();
    m_log.MemoLine(QStringLiteral("User cancelled posting..."));
}

bool TPostingSession::connectToServer() {
    const auto ready = [this] {
        return m_nntp.State() == nsConnected && m_nntp.ProtocolState() == prcReady;
    };
    // A connection still open from before serves only the same server reached the same way,
    // and only when nobody has begun to close it.
    if (!m_ownDisconnect && holdsConnectionTo(m_nntp, m_server))
        return true;
    if (m_nntp.State() != nsNone && m_nntp.State() != nsDisconnected) {
        disconnect();
        waitUntil([this] { return m_nntp.State() == nsNone || m_nntp.State() == nsDisconnected; });
    }
    if (m_stopRequested)
        return false;
    // The end of an earlier connection may have just come in and reset the job.
    m_job.Value = jobPosting;
    m_ownDisconnect = false;
    aimAt(m_nntp, m_server);
    m_nntp.Connect(m_nntp.RemoteHost, m_nntp.RemotePort);
    waitUntil([&] { return ready() || m_nntp.State() == nsDisconnected; });
    if (ready())
        return true;
    m_observer.StatusText(QString());
    return false;
}

void TPostingSession::sendArticle(PostingDocument& document) {
    if (m_stopRequested)
        throw PostingStopped{};
    m_transferFailed = false;
    m_transferComplete = false;
    m_current = &document;
    ++m_result.Articles;
    m_nntp.DocInput().Headers = document.Headers;
    m_nntp.SendDocument(std::move(document.Body));
    waitUntil([this] { return !m_nntp.Busy(); });
    const bool accepted = m_transferComplete && !m_transferFailed;
    if (accepted)
        ++m_result.Posted;
    m_nzb.Add(document.Files, document.From, document.Newsgroups, document.SentSubject,
              document.SentMessageId,
              static_cast<std::uint64_t>(m_nntp.DocInput().BytesTransferred),
              QDateTime::currentSecsSinceEpoch(), accepted);
    m_current = nullptr;
}

void TPostingSession::saveNzb(const TProject& project) {
    if (m_nzb.Empty() || (m_nzbFile.empty() && !m_advanced.SaveNzbFile))
        return;
    std::filesystem::path path = m_nzbFile;
    if (path.empty()) {
        // A project without a file of its own keeps its NZB files in the data folder.
        if (project.Name.find('/') == std::string::npos)
            ensureDir(dataDir());
        path = NzbPathForProject(project.Name, dataDir(), std::time(nullptr));
    }
    const std::vector<NzbFile> files = m_nzb.Files();
    bool anyPosted = false;
    for (const NzbFile& file : files) {
        anyPosted = anyPosted || !file.segments.empty();
        if (!file.complete())
            progress(QStringLiteral("NZB file: %1 is incomplete (%2 of %3 parts posted)")
                         .arg(fromUtf8(file.name))
                         .arg(file.segments.size())
                         .arg(file.parts));
    }
    const QString shownPath = QString::fromStdString(path.string());
    if (!anyPosted) {
        m_result.NzbError = "no part of an attached file was posted";
        progress(QStringLiteral("No NZB file saved: no part of an attached file was posted"));
        return;
    }
    try {
        WriteNzbFile(path, NzbXml(files));
        m_result.NzbFile = path.string();
        progress(QStringLiteral("Saved NZB file \"%1\"").arg(shownPath));
    } catch (const std::exception& e) {
        const std::string text = "Unable to save NZB file \"" + path.string() + "\": " + e.what();
        m_result.NzbError = text;
        m_prompts.error(text);
        m_log.LogLine(QString::fromStdString(text));
    }
}

void TPostingSession::disconnect() {
    m_ownDisconnect = true;
    if (m_nntp.State() == nsDisconnected || m_nntp.State() == nsNone)
        return;
    if (m_nntp.Busy())
        m_nntp.Cancel();
    m_nntp.Quit();
}

void TPostingSession::waitUntil(const std::function<bool()>& done) {
    // Every change of the client's state arrives through the event loop; the timer only makes
    // sure a wait never sleeps through a change made without an event.
    QTimer wake;
    wake.start(100);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TPostingSession::endSession() {
    m_observer.BusyCursor(false);
    m_observer.PostingCommands(false);
    if (m_log.Active())
        m_log.End();
    m_running = false;
}

QString TPostingSession::serverName() const {
    return fromUtf8(m_server.HostName);
}

QString TPostingSession::withoutPassword(const QString& text) const {
    const QString password = fromUtf8(m_server.Password);
    if (password.size() < 3)
        return text;
    QString clean = text;
    return clean.replace(password, QStringLiteral("********"));
}

void TPostingSession::progress(const QString& text) {
    m_log.ProgressLine(text);
}

void TPostingSession::stateChanged(int state) {
    const bool serversDoing = m_job.Value == jobPosting && !m_ownDisconnect;
    switch (state) {
        case nsConnecting:
            progress(QStringLiteral("Connecting to NNTP server: ") + serverName() +
                     QStringLiteral("..."));
            m_observer.StatusText(connectionStateText(state));
            break;
        case nsResolvingHost:
            progress(QStringLiteral("Resolving Host..."));
            m_observer.StatusText(connectionStateText(state));
            break;
        case nsHostResolved:
            progress(QStringLiteral("Host Resolved"));
            m_observer.StatusText(connectionStateText(state));
            break;
        case nsConnected:
            progress(QStringLiteral("Connected to NNTP server: ") + serverName());
            progress(QStringLiteral("Waiting for banner..."));
            m_observer.StatusText(connectionStateText(state));
            break;
        case nsDisconnecting:
            if (serversDoing)
                progress(
                    QStringLiteral("NNTP server initiated disconnect before posting completed"));
            progress(QStringLiteral("Disconnecting from NNTP server: ") + serverName() +
                     QStringLiteral("..."));
            m_observer.StatusText(connectionStateText(state));
            break;
        case nsDisconnected: {
            if (serversDoing)
                progress(QStringLiteral("NNTP server disconnected before posting completed"));
            const QString line = QStringLiteral("Disconnected from NNTP server: ") + serverName();
            m_log.ProgressLine(line, line + QStringLiteral("..."));
            m_observer.StatusText(connectionStateText(state));
            break;
        }
        default:
            break;
    }
}

void TPostingSession::protocolStateChanged(int state) {
    if (state == prcNoConnection) {
        progress(QStringLiteral("No connection to NNTP server"));
        m_job.Value = jobNothing;
    } else if (state == prcReady) {
        progress(QStringLiteral("Connection to NNTP server established"));
    }
}

void TPostingSession::banner(const QString& text) {
    progress(withoutPassword(text));
    if (!passesBannerCheck(m_nntp, m_server.HostName, m_prompts)) {
        m_ownDisconnect = true;
        m_nntp.Cancel();
    }
}

void TPostingSession::authenticateRequest(NntpAuthRequest* request) {
    request->UserId = fromUtf8(m_server.UserName);
    request->Password = fromUtf8(m_server.Password);
}

void TPostingSession::authenticateResponse(bool authenticated) {
    if (authenticated)
        m_log.ProgressLine(QStringLiteral("Authenticated"),
                           QStringLiteral("Authenticated ") + fromUtf8(m_server.UserName));
    else
        progress(QStringLiteral("Authentication failed"));
}

void TPostingSession::docInput() {
    const NntpDocInput& doc = m_nntp.DocInput();
    switch (doc.State) {
        case docNoActivity:
            progress(QStringLiteral("No activity"));
            break;
        case docBegin: {
            static const PostingDocument none;
            const PostingDocument& d = m_current ? *m_current : none;
            progress(QStringLiteral("Initiating document transfer for Message ID ") +
                     fromUtf8(d.SentMessageId));
            progress(QStringLiteral("Subject: ") + fromUtf8(d.SentSubject));
            progress(QStringLiteral("From: ") + fromUtf8(d.From));
            progress(QStringLiteral("Newsgroups: ") + fromUtf8(d.Newsgroups));
            break;
        }
        case docHeaders:
            progress(QStringLiteral("Sending headers"));
            break;
        case docData:
            if (doc.BytesTotal > 0)
                progress(QStringLiteral("Sending message: %1 of %2 bytes (%3%)")
                             .arg(doc.BytesTransferred)
                             .arg(doc.BytesTotal)
                             .arg(doc.BytesTransferred * 100 / doc.BytesTotal));
            else
                progress(QStringLiteral("Sending message..."));
            break;
        case docAborted:
            progress(QStringLiteral("Transfer aborted"));
            break;
        case docComplete:
            m_transferComplete = true;
            if (!m_transferFailed)
                progress(QStringLiteral("Message posted (%1 bytes)").arg(doc.BytesTransferred));
            break;
        default:
            break;
    }
}

void TPostingSession::error(int, const QString& description) {
    m_transferFailed = true;
    m_observer.BusyCursor(false);
    // While a session runs its commands stay as the session set them: giving them back here
    // would let a second "Post It!" start inside this one and take Stop away.
    if (!m_running)
        m_observer.PostingCommands(false);
    const QString text = withoutPassword(description);
    if (!text.isEmpty()) {
        m_prompts.error(text.toStdString());
        m_log.LogLine(text);
    }
    const QString reply = withoutPassword(m_nntp.ReplyString());
    if (!reply.isEmpty() && reply != text) {
        m_prompts.error(reply.toStdString());
        m_log.LogLine(reply);
    }
}
