#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QTcpSocket;

// The program's NNTP client: one connection to one news server, driven by calls that start
// work and reporting through signals, on the thread that owns it (the GUI thread). Callers
// wait by running the event loop while polling State(), ProtocolState() and Busy().
//
// Event order for a connection: OnStateChanged 1 (connecting), 2 (resolving host), 3 (host
// resolved), 4 (connected; with TLS on connect, once the handshake succeeded); OnBanner(the
// whole greeting line); with STARTTLS the upgrade follows; then OnAuthenticateRequest once:
// when its handler gives a user name, AUTHINFO USER/PASS is sent and OnAuthenticateResponse
// tells the outcome (a refused login is also an OnError and drops the connection); then
// OnProtocolStateChanged 1 (ready for commands). A later 480 to a command raises
// OnAuthenticateRequest again, logs in and repeats the command. Quit, Cancel or a lost
// connection: OnStateChanged 5 and 6, then OnProtocolStateChanged 0; a failed connect gives
// only 6 and 0. A server closing an idle connection raises no OnError.
//
// Documents: SendDocument raises OnDocInput with DocInput().State 1 (transfer begins),
// 2 (headers), 3 (body data: once per MiB handed to the socket and once when the whole body
// is), then 5 (complete: the server answered 240) or 4 (aborted). BytesTotal and
// BytesTransferred count the article as the source gives it, headers included, before
// dot-stuffing; BytesTotal is 0 when the body's size is unknown. A refused article, a lost
// connection or a time-out raises OnError and ends with state 4, never 5. Received multi-line
// replies (LIST, NEWGROUPS) raise OnDocOutput with DocOutput().State 1, 3 (each time data lines are
// ready: GetData() hands them over) and 5 at the end (4 when aborted).

enum class NntpReply : int {
    PostingAllowed = 200,
    NoPosting = 201,
    Closing = 205,
    ListFollows = 215,
    NewGroupsFollow = 231,
    ArticlePosted = 240,
    AuthAccepted = 281,
    SendArticle = 340,
    PasswordRequired = 381,
    ContinueTls = 382,
    ServiceUnavailable = 400,
    PostingNotPermitted = 440,
    PostingFailed = 441,
    AuthRequired = 480,
    AuthRejected = 481,
    AuthOutOfSequence = 482,
    EncryptionRequired = 483,
    UnknownCommand = 500,
    SyntaxError = 501,
    PermissionDenied = 502,
};

// Connection states (State()).
enum NntpState : int {
    nsNone = 0,
    nsConnecting = 1,
    nsResolvingHost = 2,
    nsHostResolved = 3,
    nsConnected = 4,
    nsDisconnecting = 5,
    nsDisconnected = 6,
};
// Protocol states (ProtocolState()).
enum NntpProtocolState : int { prcNoConnection = 0, prcReady = 1 };
// Document states (DocInput().State, DocOutput().State).
enum NntpDocState : int {
    docNoActivity = 0,
    docBegin = 1,
    docHeaders = 2,
    docData = 3,
    docAborted = 4,
    docComplete = 5,
};

// A document body produced on demand, so a large article is never held whole in memory.
class NntpBodySource {
public:
    virtual ~NntpBodySource() = default;
    // The body's size in bytes as sent before dot-stuffing (CR LF line ends), for BytesTotal;
    // 0 when unknown.
    virtual std::uint64_t size() const = 0;
    // Appends the next piece of the body to out, not yet dot-stuffed; the pieces make lines,
    // each ending in CR LF, though a piece may end inside a line. Returns false when the body
    // has ended (out untouched). Raises std::runtime_error when the body cannot be produced (a
    // file that reads short): the transfer is then aborted without the terminating "." so no
    // truncated article is posted.
    virtual bool next(std::string& out) = 0;
    // The next piece of the body when the source keeps it in memory already, so the client
    // sends it from there rather than from a copy: a view that stays valid until the next call
    // of held or next. Empty when next is to produce the next piece. May raise as next does.
    virtual std::string_view held() { return {}; }
    // False when no line of the body can begin with "." (a yEnc part escapes one), so the
    // client need not look for one.
    virtual bool mayBeginLinesWithDot() const { return true; }
};

struct NntpDocument {
    int State = docNoActivity;
    std::int64_t BytesTotal = 0;
    std::int64_t BytesTransferred = 0;
};

// What a received multi-line reply delivers.
struct NntpDocOutput : NntpDocument {
    // Hands over the data lines received since the last call (never the status line, never the
    // final "."), each ending in CR LF, dot-stuffing removed.
    QByteArray GetData();
    QByteArray pending;
};

struct NntpDocInput : NntpDocument {
    // Header lines of the next SendDocument, in order: name and value (bytes, UTF-8).
    std::vector<std::pair<std::string, std::string>> Headers;
};

// Filled by the handler of OnAuthenticateRequest.
struct NntpAuthRequest {
    QString UserId;
    QString Password;
};

enum class NntpSecurity : int { None = 0, TlsOnConnect = 1, StartTls = 2 };

// The number OnError carries: a server's refusal carries its reply code (ReplyCode()); the
// client's own failures carry one of these.
enum NntpErrorNumber : int {
    nerConnectFailed = 1,   // the TCP connection could not be made
    nerTimeout = 2,         // connect or reply time limit ran out
    nerConnectionLost = 3,  // the server closed the connection while an operation ran
    nerTls = 4,             // TLS could not be set up or the certificate was refused
    nerProtocol = 5,        // a reply that is not NNTP, or one that came out of turn
    nerNotReady = 6,        // an operation asked for while not connected or busy
    nerBadArticle = 7,      // a header that cannot be sent, or a body that could not be read
    nerAuthentication = 8,  // the server wants a login, or refused it
};

class TNNTP : public QObject {
    Q_OBJECT
public:
    explicit TNNTP(QObject* parent = nullptr);
    ~TNNTP() override;

    // Written before connecting.
    QString RemoteHost;
    int RemotePort = 119;
    NntpSecurity Security = NntpSecurity::None;
    // The server's own trusted certificate authorities (a PEM file), trusted besides the
    // system's: for private servers. Empty for none.
    QString CaFile;
    // When set, trusted in place of CaFile for every server (KAVRIN32_EXTRA_CA_FILE): for tests
    // and for a machine whose servers all share one private authority.
    QString ExtraCaFile;
    // Time limits in milliseconds: for the connection (TCP and TLS) and for each reply.
    int ConnectTimeoutMs = 30000;
    int ReplyTimeoutMs = 60000;

    int State() const;
    int ProtocolState() const;
    bool Busy() const;
    // The server's last reply line, without CR LF; emptied when a failure of the connection
    // itself (time-out, lost connection, TLS) is reported, so no stale reply is shown with it.
    QString ReplyString() const;
    int ReplyCode() const;   // the numeric code of that reply (0 when none)
    int BannerCode() const;  // 200 or 201 from the greeting of this connection (0 before)
    NntpDocInput& DocInput();
    NntpDocOutput& DocOutput();

    void Connect(const QString& host, int port);
    // Abandons the operation in progress: a document in transfer is aborted and the connection
    // dropped without the terminating ".", so no partial article is posted. Raises no OnError;
    // ends with OnStateChanged 5, 6 and OnProtocolStateChanged 0. An idle connection (ready,
    // nothing running) is left open.
    void Cancel();
    // Sends QUIT and closes; while an operation runs it first does what Cancel does.
    void Quit();
    // Posts one article: DocInput().Headers, then the body.
    void SendDocument(std::unique_ptr<NntpBodySource> body);
    void ListGroups();
    // Groups created since the given moment (sent as UTC "yyyymmdd hhmmss GMT").
    void ListNewGroups(const QDateTime& since);

signals:
    void OnStateChanged(int state);
    void OnProtocolStateChanged(int protocolState);
    void OnBanner(const QString& banner);
    // Connect with Qt::DirectConnection; the handler fills request->UserId and Password.
    void OnAuthenticateRequest(NntpAuthRequest* request);
    void OnAuthenticateResponse(bool authenticated);
    void OnDocInput();
    void OnDocOutput();
    void OnError(int number, const QString& description);

protected:
    // The socket of a connection without TLS. A subclass may hand out another transport that
    // behaves as a connected QTcpSocket does: the fuzz tests feed server bytes through one.
    virtual std::unique_ptr<QTcpSocket> createSocket();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
