#include "posting/nntp.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <exception>
#include <string_view>
#include <typeinfo>

namespace {

#if defined(__x86_64__)
const bool haveAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

// As findLineStartDot from place i (at least 1) on, 32 bytes at a time: the place of the first
// "\n." pair's dot, or where fewer than 32 bytes are left.
__attribute__((target("avx2"))) std::size_t findLineStartDotAvx2(const char* data, std::size_t size,
                                                                 std::size_t i) {
    const __m256i dot = _mm256_set1_epi8('.'), lf = _mm256_set1_epi8('\n');
    for (; i + 32 <= size; i += 32) {
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - 1));
        const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(here, dot), _mm256_cmpeq_epi8(before, lf))));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return i;
}
#endif

// The first "." from place `from` on that begins a line: one after "\n", or the first byte of
// the piece when the piece starts a line. size when there is none. yEnc data holds a "." every
// 256 bytes or so, never at a line's start, so the search looks at "\n." pairs, 16 bytes at a
// time, rather than stopping at every dot.
std::size_t findLineStartDot(const char* data, std::size_t size, std::size_t from,
                             bool pieceStartsLine) {
    if (from == 0) {
        if (size > 0 && data[0] == '.' && pieceStartsLine)
            return 0;
        from = 1;
    }
    std::size_t i = from;
#if defined(__x86_64__)
    if (haveAvx2)
        i = findLineStartDotAvx2(data, size, i);
    if (i < size && data[i] == '.' && data[i - 1] == '\n')
        return i;
#endif
#if defined(__SSE2__)
    const __m128i dot = _mm_set1_epi8('.'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 1));
        const int mask =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, dot), _mm_cmpeq_epi8(before, lf)));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < size; ++i)
        if (data[i] == '.' && data[i - 1] == '\n')
            return i;
    return size;
}

// A status line longer than this is not NNTP (the protocol allows 512 bytes); a data line of a
// multi-line reply may be longer, but not without bound.
constexpr std::size_t kMaxStatusLine = 4096;
constexpr std::size_t kMaxDataLine = 1 << 20;
// Keeps a large article out of memory: the body is pulled from its source in pieces of about
// this size and only written while the socket holds less than the high-water mark. Written
// straight to the system, a body goes in turns of the event loop of about as many bytes, so
// replies (a server that answers before the article ends) and the window are looked at.
constexpr std::size_t kBodyPiece = 256 * 1024;
constexpr qint64 kHighWater = 1024 * 1024;
// What Qt's socket buffer gets of a piece the system would not take yet: enough for the socket
// to say when the system takes more, little enough that copying it costs nothing.
constexpr std::size_t kHandOver = 16 * 1024;
// Progress events for a body, at most one per this many bytes (and one at its end).
constexpr std::int64_t kProgressStep = 1024 * 1024;
constexpr int kQuitTimeoutMs = 5000;

// A reply line as it may be shown to the user: no control characters, bounded length.
QString printable(const char* data, std::size_t size) {
    constexpr std::size_t kShown = 512;
    QByteArray text(data, static_cast<qsizetype>(std::min(size, kShown)));
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127)
            c = '?';
    }
    return QString::fromUtf8(text);
}

// Reading the system's certificate store is slow (seconds on some machines), so it is done once
// per process, and only when an extra authority has to be added to it.
const QList<QSslCertificate>& systemAuthorities() {
    static const QList<QSslCertificate> certificates = QSslConfiguration::systemCaCertificates();
    return certificates;
}

// Whether the socket descriptor is connected to that address and port.
bool leadsTo(int fd, const QHostAddress& address, quint16 port) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return false;
    const QHostAddress peerAddress(reinterpret_cast<const sockaddr*>(&peer));
    quint16 peerPort = 0;
    if (peer.ss_family == AF_INET)
        peerPort = ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
    else if (peer.ss_family == AF_INET6)
        peerPort = ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port);
    return peerPort == port && peerAddress.isEqual(address, QHostAddress::TolerantConversion);
}

bool validHeaderName(const std::string& name) {
    if (name.empty())
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 32 || u >= 127 || c == ':')
            return false;
    }
    return true;
}

bool validHeaderValue(const std::string& value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

QByteArray NntpDocOutput::GetData() {
    QByteArray data;
    data.swap(pending);
    return data;
}

struct TNNTP::Impl {
    enum class Phase {
        Idle,        // no connection
        Connecting,  // TCP (and TLS on connect) under way
        Banner,      // waiting for the greeting
        StartTls,    // STARTTLS sent
        Handshake,   // TLS handshake after STARTTLS
        ModeReader,  // MODE READER sent
        AuthUser,    // AUTHINFO USER sent
        AuthPass,    // AUTHINFO PASS sent
        Ready,       // idle connection
        PostSent,    // POST sent, waiting for 340
        Body,        // article being written
        PostReply,   // article written, waiting for 240
        ListSent,    // LIST or NEWGROUPS sent, waiting for 215 / 231
        ListData,    // receiving the lines of a multi-line reply
        QuitSent,    // QUIT sent
    };
    enum class Command { None, Post, List };

    explicit Impl(TNNTP* owner) : q(owner) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, q, [this] { onTimeout(); });
        resume.setSingleShot(true);
        resume.setInterval(0);
        QObject::connect(&resume, &QTimer::timeout, q, [this] {
            if (phase == Phase::Body)
                pumpBody();
        });
    }

    TNNTP* q;
    std::unique_ptr<QTcpSocket> socket;
    QSslSocket* ssl = nullptr;  // the same socket when TLS may be used
    QList<QSslError> sslErrors;
    QTimer timer;
    Phase phase = Phase::Idle;
    int state = nsNone;
    int protocolState = prcNoConnection;
    QString replyString;
    int replyCode = 0;
    int bannerCode = 0;
    NntpDocInput docIn;
    NntpDocOutput docOut;
    // Every teardown or finished step moves the generation on, so code that raised an event
    // can tell whether a handler started or ended something meanwhile.
    std::uint64_t generation = 0;
    bool processing = false;

    std::string in;  // received bytes not yet taken as lines
    std::size_t inPos = 0;

    Command command = Command::None;
    QByteArray commandLine;  // repeated after a login asked for by 480
    int expectCode = 0;
    bool authForCommand = false;
    QByteArray password;  // held only between AUTHINFO USER and PASS

    // The system's descriptor of a plain TCP connection, written to directly (-1: every write
    // goes through the socket). QAbstractSocket copies each write into a buffer of its own and
    // hands it to the system on a later turn of the event loop; for an article body that copy
    // and those turns cost as much as the encoding. TLS goes through QSslSocket.
    int directFd = -1;
    // Bytes already handed out for the connection that the system has not taken yet: the rest
    // of a piece, in the buffer it was written from. Nothing else is written before them.
    std::string_view unsent;
    QTimer resume;  // the next turn of a body written straight to the system

    std::unique_ptr<NntpBodySource> body;
    std::string headerBlock;
    std::string stage;
    std::string stuffed;  // a piece with the dots that begin its lines doubled
    bool bodyEnded = false;
    bool atLineStart = true;
    std::int64_t lastReported = 0;

    bool alive(const QPointer<TNNTP>& self, std::uint64_t gen) const {
        return !self.isNull() && gen == generation;
    }

    void setState(int s) {
        if (state == s)
            return;
        state = s;
        emit q->OnStateChanged(s);
    }

    void startTimer(int ms) { timer.start(std::max(ms, 1)); }

    void send(const QByteArray& line) {
        put(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        // A command is short and its bytes are the caller's: never left waiting in unsent.
        handOverUnsent();
        startTimer(q->ReplyTimeoutMs);
    }

    // Writes bytes to the connection after everything written before. With a descriptor to
    // write to, what the system takes goes to it at once; the rest stays in unsent and must
    // stay valid until it has gone.
    void put(std::string_view bytes) {
        if (bytes.empty())
            return;
        if (directFd < 0 || !unsent.empty() || socket->bytesToWrite() > 0) {
            // Behind bytes that wait: in order, through the socket's buffer.
            handOverUnsent();
            socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
            return;
        }
        unsent = bytes;
        flushUnsent();
    }

    // Lets the socket's buffer take all that waits in unsent, for a caller whose bytes must not
    // be left pointing into its own memory.
    void handOverUnsent() {
        if (!unsent.empty())
            socket->write(unsent.data(), static_cast<qint64>(unsent.size()));
        unsent = {};
    }

    // True when nothing is left in unsent. Otherwise the system takes no more for now: a little
    // of the rest goes to the socket's buffer, whose bytesWritten signal says when to go on.
    bool flushUnsent() {
        while (!unsent.empty()) {
            if (socket->bytesToWrite() > 0)
                return false;
            const ssize_t n =
                ::send(directFd, unsent.data(), unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                unsent.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // A connection that failed is the socket's to report, as for any write of its own:
            // it gets all that is left and finds the error when it writes.
            const bool full = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            const std::size_t k = full ? std::min(unsent.size(), kHandOver) : unsent.size();
            socket->write(unsent.data(), static_cast<qint64>(k));
            unsent.remove_prefix(k);
        }
        return true;
    }

    // ----- connection -----

    void connectTo(const QString& host, int port) {
        QPointer<TNNTP> self(q);
        if (phase != Phase::Idle)
            finish(0, {}, true, false);
        if (!self)
            return;
        const std::uint64_t gen = ++generation;
        bannerCode = 0;
        replyString.clear();
        replyCode = 0;
        in.clear();
        inPos = 0;
        sslErrors.clear();
        phase = Phase::Connecting;
        // A connection that ends inside an event handler which starts this one never gets to
        // report its end; the new one begins from nothing, and is not ready before its greeting.
        state = nsNone;
        protocolState = prcNoConnection;
        setState(nsConnecting);
        if (!alive(self, gen))
            return;
        if (host.isEmpty() || port <= 0 || port > 65535) {
            finish(nerConnectFailed,
                   QStringLiteral("Cannot connect to \"%1\" on port %2: no such address")
                       .arg(host)
                       .arg(port),
                   true, true);
            return;
        }
        if (q->Security != NntpSecurity::None && !QSslSocket::supportsSsl()) {
            finish(nerTls, QStringLiteral("No TLS library is available to secure the connection"),
                   true, true);
            return;
        }
        if (q->Security != NntpSecurity::None) {
            auto* s = new QSslSocket;
            ssl = s;
            socket.reset(s);
            QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
            conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
            const QString caFile = q->ExtraCaFile.isEmpty() ? q->CaFile : q->ExtraCaFile;
            if (!caFile.isEmpty()) {
                const auto extra = QSslCertificate::fromPath(caFile, QSsl::Pem);
                if (extra.isEmpty()) {
                    finish(nerTls,
                           QStringLiteral("Cannot read the certificate authorities in \"%1\"")
                               .arg(caFile),
                           true, true);
                    return;
                }
                conf.setCaCertificates(systemAuthorities() + extra);
            }
            s->setSslConfiguration(conf);
            QObject::connect(s, &QSslSocket::sslErrors, q,
                             [this](const QList<QSslError>& errors) { sslErrors = errors; });
            QObject::connect(s, &QSslSocket::encrypted, q, [this] { onEncrypted(); });
        } else {
            ssl = nullptr;
            socket = q->createSocket();
        }
        QTcpSocket* s = socket.get();
        QObject::connect(s, &QAbstractSocket::stateChanged, q,
                         [this](QAbstractSocket::SocketState st) { onSocketState(st); });
        QObject::connect(s, &QAbstractSocket::connected, q, [this] { onConnected(); });
        QObject::connect(s, &QIODevice::readyRead, q, [this] { processInput(); });
        QObject::connect(s, &QIODevice::bytesWritten, q, [this](qint64) { onBytesWritten(); });
        QObject::connect(s, &QAbstractSocket::errorOccurred, q,
                         [this](QAbstractSocket::SocketError e) { onSocketError(e); });
        QObject::connect(s, &QAbstractSocket::disconnected, q,
                         [this] { onSocketError(QAbstractSocket::RemoteHostClosedError); });
        startTimer(q->ConnectTimeoutMs);
        const auto p = static_cast<quint16>(port);
        if (q->Security == NntpSecurity::TlsOnConnect)
            ssl->connectToHostEncrypted(host, p);
        else
            s->connectToHost(host, p);
    }

    void onSocketState(QAbstractSocket::SocketState st) {
        if (phase != Phase::Connecting)
            return;
        if (st == QAbstractSocket::HostLookupState)
            setState(nsResolvingHost);
        else if (st == QAbstractSocket::ConnectingState)
            setState(nsHostResolved);
    }

    void onConnected() {
        if (phase != Phase::Connecting)
            return;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Only Qt's own plain socket is written around, and only when its descriptor is the
        // connection to the server itself: another transport (a test's) may do something else
        // with what it is given, and through a proxy the descriptor leads to the proxy, whose
        // own socket may still hold bytes.
        QTcpSocket& plain = *socket;
        const auto fd = static_cast<int>(socket->socketDescriptor());
        if (!ssl && typeid(plain) == typeid(QTcpSocket) &&
            leadsTo(fd, socket->peerAddress(), socket->peerPort()))
            directFd = fd;
        if (q->Security == NntpSecurity::TlsOnConnect)
            return;  // wait for the handshake
        connectedAndWaitBanner();
    }

    void connectedAndWaitBanner() {
        phase = Phase::Banner;
        startTimer(q->ReplyTimeoutMs);
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = generation;
        setState(nsConnected);
        if (!alive(self, gen))
            return;
        processInput();  // a greeting may already be waiting
    }

    void onEncrypted() {
        if (phase == Phase::Connecting) {
            connectedAndWaitBanner();
        } else if (phase == Phase::Handshake) {
            sendModeReader();
        }
    }

    QString tlsFailure() const {
        QStringList reasons;
        for (const auto& e : sslErrors)
            reasons << e.errorString();
        if (reasons.isEmpty() && socket)
            reasons << socket->errorString();
        return QStringLiteral("Secure connection to %1 failed: %2")
            .arg(q->RemoteHost, reasons.join(QStringLiteral("; ")));
    }

    void onSocketError(QAbstractSocket::SocketError e) {
        if (phase == Phase::Idle || !socket)
            return;
        // Replies that arrived with the close are still read first (a 441 before the server
        // hung up says more than the hang-up).
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = generation;
        if (socket->bytesAvailable() > 0)
            processInput();
        if (!alive(self, gen) || phase == Phase::Idle)
            return;
        const bool tlsPhase =
            phase == Phase::Handshake ||
            (phase == Phase::Connecting && ssl && q->Security == NntpSecurity::TlsOnConnect);
        if (e == QAbstractSocket::SslHandshakeFailedError ||
            e == QAbstractSocket::SslInvalidUserDataError ||
            e == QAbstractSocket::SslInternalError || (tlsPhase && !sslErrors.isEmpty())) {
            finish(nerTls, tlsFailure(), true, true);
        } else if (phase == Phase::Connecting) {
            finish(nerConnectFailed,
                   QStringLiteral("Cannot connect to %1 on port %2: %3")
                       .arg(q->RemoteHost)
                       .arg(q->RemotePort)
                       .arg(socket->errorString()),
                   true, true);
        } else if (phase == Phase::QuitSent || phase == Phase::Ready) {
            finish(0, {}, true, false);
        } else if (tlsPhase) {
            finish(nerTls, tlsFailure(), true, true);
        } else {
            const QString why = e == QAbstractSocket::RemoteHostClosedError
                                    ? QStringLiteral("the server closed the connection")
                                    : socket->errorString();
            finish(nerConnectionLost,
                   QStringLiteral("Connection to %1 lost: %2").arg(q->RemoteHost, why), true, true);
        }
    }

    void onTimeout() {
        if (phase == Phase::Idle)
            return;
        QString what;
        switch (phase) {
            case Phase::Connecting:
                what = QStringLiteral("Timed out connecting to %1 on port %2")
                           .arg(q->RemoteHost)
                           .arg(q->RemotePort);
                break;
            case Phase::Handshake:
                what = QStringLiteral("Timed out setting up the secure connection to %1")
                           .arg(q->RemoteHost);
                break;
            case Phase::Body:
                what = QStringLiteral("Timed out sending the article to %1").arg(q->RemoteHost);
                break;
            case Phase::QuitSent:
                finish(0, {}, true, false);
                return;
            default:
                what = QStringLiteral("Timed out waiting for a reply from %1").arg(q->RemoteHost);
                break;
        }
        finish(nerTimeout, what, true, true);
    }

    // Closes the socket without raising any event. A QUIT still in the socket's buffer is
    // handed to the system first (a new Connect right after Quit must not swallow it);
    // anything else unsent is thrown away, so a cancelled body never gets its end.
    void closeSocket() {
        timer.stop();
        if (!socket)
            return;
        QObject::disconnect(socket.get(), nullptr, q, nullptr);
        resume.stop();
        directFd = -1;
        unsent = {};
        if (phase == Phase::QuitSent)
            socket->flush();
        socket->abort();
        // This may run inside one of the socket's own signals.
        socket.release()->deleteLater();
        ssl = nullptr;
    }

    // Ends the step in progress: raises OnError (when number is not 0), ends a document in
    // transfer with "aborted", and, when drop is set, closes the connection (states 5 and 6,
    // protocol state 0).
    void finish(int number, const QString& description, bool drop, bool localFailure) {
        const bool inDocIn = phase == Phase::PostSent || phase == Phase::Body ||
                             phase == Phase::PostReply ||
                             (authForCommand && command == Command::Post);
        const bool inDocOut = phase == Phase::ListData;
        const bool wasConnected = state >= nsConnected && state <= nsDisconnecting;
        const bool hadConnection = phase != Phase::Idle;
        // What waits may point into the body; a connection that is kept gets it in order.
        if (!drop && socket)
            handOverUnsent();
        body.reset();
        password.fill('\0');
        password.clear();
        command = Command::None;
        authForCommand = false;
        timer.stop();
        if (drop) {
            closeSocket();
            phase = Phase::Idle;
            // The events say so in their turn; whoever asks meanwhile is told the truth.
            protocolState = prcNoConnection;
        } else {
            phase = Phase::Ready;
        }
        if (localFailure) {
            replyString.clear();
            replyCode = 0;
        }
        const std::uint64_t gen = ++generation;
        if (inDocIn)
            owed |= owedDocIn;
        if (inDocOut)
            owed |= owedDocOut;
        if (drop && hadConnection)
            owed |= (wasConnected ? owedDisconnecting : 0u) | owedDisconnected | owedNoConnection;
        QPointer<TNNTP> self(q);
        if (number != 0) {
            emit q->OnError(number, description);
            if (!alive(self, gen))
                return;
        }
        settle();
    }

    // The events that end a step, raised in this order. A handler of one of them may start or
    // end something else: every operation first raises what is still owed, so a document still
    // ends once and a connection still reports its end before anything new begins.
    enum Owed : unsigned {
        owedDocIn = 1,
        owedDocOut = 2,
        owedDisconnecting = 4,
        owedDisconnected = 8,
        owedNoConnection = 16,
    };
    unsigned owed = 0;

    // Raises what is owed before an operation of the caller begins; false when a handler
    // destroyed the client.
    bool settleBefore() {
        QPointer<TNNTP> self(q);
        settle();
        return !self.isNull();
    }

    void settle() {
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = generation;
        // Alive first: a handler may have destroyed the client, and owed with it.
        while (alive(self, gen) && owed != 0) {
            if (owed & owedDocIn) {
                owed &= ~owedDocIn;
                docIn.State = docAborted;
                emit q->OnDocInput();
            } else if (owed & owedDocOut) {
                owed &= ~owedDocOut;
                docOut.State = docAborted;
                emit q->OnDocOutput();
            } else if (owed & owedDisconnecting) {
                owed &= ~owedDisconnecting;
                setState(nsDisconnecting);
            } else if (owed & owedDisconnected) {
                owed &= ~owedDisconnected;
                setState(nsDisconnected);
            } else {
                owed &= ~owedNoConnection;
                emit q->OnProtocolStateChanged(prcNoConnection);
            }
        }
    }

    // ----- replies -----

    void processInput() {
        if (processing || !socket)
            return;
        processing = true;
        QPointer<TNNTP> self(q);
        // Re-read until nothing is left: data may arrive while a handler runs a nested loop.
        while (!self.isNull() && socket && phase != Phase::Idle) {
            const qint64 avail = socket->bytesAvailable();
            if (avail > 0) {
                const std::size_t old = in.size();
                in.resize(old + static_cast<std::size_t>(avail));
                const qint64 got = socket->read(in.data() + old, avail);
                in.resize(old + static_cast<std::size_t>(std::max<qint64>(got, 0)));
            }
            const std::size_t before = inPos;
            takeLines();
            if (self.isNull())
                return;
            if (inPos == before && (!socket || socket->bytesAvailable() <= 0))
                break;
        }
        if (self.isNull())
            return;
        processing = false;
        if (inPos > 0) {
            in.erase(0, inPos);
            inPos = 0;
        }
    }

    void takeLines() {
        QPointer<TNNTP> self(q);
        while (phase != Phase::Idle && inPos < in.size()) {
            if (phase == Phase::ListData) {
                takeDataLines();
                if (self.isNull() || phase == Phase::ListData)
                    return;
                continue;
            }
            const char* start = in.data() + inPos;
            const std::size_t left = in.size() - inPos;
            const void* nl = std::memchr(start, '\n', left);
            if (!nl) {
                if (left > kMaxStatusLine)
                    finish(nerProtocol,
                           QStringLiteral("The server sent a reply line that is too long"), true,
                           true);
                return;
            }
            std::size_t len = static_cast<const char*>(nl) - start;
            inPos += len + 1;
            if (len > 0 && start[len - 1] == '\r')
                --len;
            if (len > kMaxStatusLine) {
                finish(nerProtocol, QStringLiteral("The server sent a reply line that is too long"),
                       true, true);
                return;
            }
            handleStatus(start, len);
            if (self.isNull())
                return;
        }
    }

    void takeDataLines() {
        const std::size_t from = inPos;
        bool ended = false;
        while (inPos < in.size()) {
            const char* start = in.data() + inPos;
            const std::size_t left = in.size() - inPos;
            const void* nl = std::memchr(start, '\n', left);
            if (!nl) {
                if (left > kMaxDataLine) {
                    finish(nerProtocol,
                           QStringLiteral("The server sent a list line that is too long"), true,
                           true);
                    return;
                }
                break;
            }
            std::size_t len = static_cast<const char*>(nl) - start;
            inPos += len + 1;
            if (len > 0 && start[len - 1] == '\r')
                --len;
            if (len == 1 && start[0] == '.') {
                ended = true;
                break;
            }
            const char* text = start;
            if (len > 0 && text[0] == '.') {
                ++text;
                --len;
            }
            docOut.pending.append(text, static_cast<qsizetype>(len));
            docOut.pending.append("\r\n", 2);
        }
        docOut.BytesTransferred += static_cast<std::int64_t>(inPos - from);
        startTimer(q->ReplyTimeoutMs);
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = generation;
        if (!docOut.pending.isEmpty()) {
            docOut.State = docData;
            emit q->OnDocOutput();
            if (!alive(self, gen))
                return;
        }
        if (ended) {
            commandDone();
            docOut.State = docComplete;
            emit q->OnDocOutput();
        }
    }

    void handleStatus(const char* line, std::size_t len) {
        const bool wellFormed = len >= 3 && line[0] >= '1' && line[0] <= '5' && line[1] >= '0' &&
                                line[1] <= '9' && line[2] >= '0' && line[2] <= '9' &&
                                (len == 3 || line[3] == ' ');
        replyString = printable(line, len);
        if (!wellFormed) {
            replyCode = 0;
            finish(nerProtocol, QStringLiteral("The server sent a reply that is not NNTP"), true,
                   false);
            return;
        }
        replyCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        const int code = replyCode;
        switch (phase) {
            case Phase::Banner:
                onBanner(code);
                break;
            case Phase::StartTls:
                if (code == static_cast<int>(NntpReply::ContinueTls)) {
                    // Anything the server sent after 382 and before the handshake could have
                    // been injected by a third party: it is thrown away.
                    in.clear();
                    inPos = 0;
                    phase = Phase::Handshake;
                    startTimer(q->ConnectTimeoutMs);
                    ssl->startClientEncryption();
                } else {
                    finish(nerTls, QStringLiteral("%1 does not offer STARTTLS").arg(q->RemoteHost),
                           true, false);
                }
                break;
            case Phase::ModeReader:
                startAuth(false);
                break;
            case Phase::AuthUser:
                if (code == static_cast<int>(NntpReply::AuthAccepted)) {
                    authDone(true);
                } else if (code == static_cast<int>(NntpReply::PasswordRequired)) {
                    phase = Phase::AuthPass;
                    QByteArray cmd = QByteArrayLiteral("AUTHINFO PASS ") + password + "\r\n";
                    send(cmd);
                    cmd.fill('\0');
                    password.fill('\0');
                    password.clear();
                } else {
                    authDone(false);
                }
                break;
            case Phase::AuthPass:
                authDone(code == static_cast<int>(NntpReply::AuthAccepted));
                break;
            case Phase::PostSent:
                if (code == static_cast<int>(NntpReply::SendArticle)) {
                    startBody();
                } else if (code == static_cast<int>(NntpReply::AuthRequired) && !authForCommand) {
                    startAuth(true);
                } else {
                    finish(code, QStringLiteral("%1 does not accept articles").arg(q->RemoteHost),
                           false, false);
                }
                break;
            case Phase::Body:
                // The server answered before the terminating "." was even queued: what it
                // stored (if anything) is not the whole article, and the rest of the body
                // would be read as commands, so the connection cannot be used any further.
                finish(nerProtocol,
                       QStringLiteral("%1 answered before the article was complete")
                           .arg(q->RemoteHost),
                       true, false);
                break;
            case Phase::PostReply:
                if (code == static_cast<int>(NntpReply::ArticlePosted)) {
                    commandDone();
                    docIn.State = docComplete;
                    emit q->OnDocInput();
                } else {
                    finish(code, QStringLiteral("%1 refused the article").arg(q->RemoteHost), false,
                           false);
                }
                break;
            case Phase::ListSent:
                if (code == expectCode) {
                    phase = Phase::ListData;
                    docOut.State = docBegin;
                    docOut.BytesTotal = 0;
                    docOut.BytesTransferred = 0;
                    docOut.pending.clear();
                    startTimer(q->ReplyTimeoutMs);
                    emit q->OnDocOutput();
                } else if (code == static_cast<int>(NntpReply::AuthRequired) && !authForCommand) {
                    startAuth(true);
                } else {
                    finish(code, QStringLiteral("%1 refused the newsgroup list").arg(q->RemoteHost),
                           false, false);
                }
                break;
            case Phase::QuitSent:
                finish(0, {}, true, false);
                break;
            default:
                // An unasked reply on an idle connection (a server saying goodbye before it
                // closes): kept as the last reply, the close itself is what counts.
                break;
        }
    }

    void onBanner(int code) {
        if (code != static_cast<int>(NntpReply::PostingAllowed) &&
            code != static_cast<int>(NntpReply::NoPosting)) {
            finish(code, QStringLiteral("%1 refused the connection").arg(q->RemoteHost), true,
                   false);
            return;
        }
        bannerCode = code;
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        timer.stop();
        emit q->OnBanner(replyString);
        if (!alive(self, gen))
            return;
        if (q->Security == NntpSecurity::StartTls) {
            phase = Phase::StartTls;
            send(QByteArrayLiteral("STARTTLS\r\n"));
        } else {
            sendModeReader();
        }
    }

    void sendModeReader() {
        phase = Phase::ModeReader;
        send(QByteArrayLiteral("MODE READER\r\n"));
    }

    void startAuth(bool forCommand) {
        NntpAuthRequest request;
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        timer.stop();
        emit q->OnAuthenticateRequest(&request);
        if (!alive(self, gen))
            return;
        const QByteArray user = request.UserId.toUtf8();
        QByteArray pass = request.Password.toUtf8();
        request.Password.fill(QLatin1Char('\0'));
        if (user.isEmpty()) {
            if (forCommand) {
                finish(nerAuthentication,
                       QStringLiteral("%1 asks for a user name and password").arg(q->RemoteHost),
                       false, false);
            } else {
                becomeReady();
            }
            return;
        }
        if (user.contains('\r') || user.contains('\n') || pass.contains('\r') ||
            pass.contains('\n')) {
            pass.fill('\0');
            finish(nerAuthentication,
                   QStringLiteral("The user name or password holds a line break"), !forCommand,
                   true);
            return;
        }
        authForCommand = forCommand;
        password = pass;
        pass.fill('\0');
        phase = Phase::AuthUser;
        send(QByteArrayLiteral("AUTHINFO USER ") + user + "\r\n");
    }

    void authDone(bool ok) {
        password.fill('\0');
        password.clear();
        const bool forCommand = authForCommand;
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        timer.stop();
        emit q->OnAuthenticateResponse(ok);
        if (!alive(self, gen))
            return;
        if (!ok) {
            // A refused login is not retried: the command (or the connection) ends here.
            finish(
                nerAuthentication,
                QStringLiteral("%1 did not accept the user name and password").arg(q->RemoteHost),
                !forCommand, false);
            return;
        }
        if (!forCommand) {
            becomeReady();
            return;
        }
        // Logged in on a 480: the command is asked again.
        phase = command == Command::Post ? Phase::PostSent : Phase::ListSent;
        send(commandLine);
    }

    // The command ran its course: the connection is idle again. Callers raise the closing
    // event after this, so its handler may start the next command.
    void commandDone() {
        command = Command::None;
        phase = Phase::Ready;
        timer.stop();
        ++generation;
    }

    void becomeReady() {
        phase = Phase::Ready;
        timer.stop();
        ++generation;
        protocolState = prcReady;
        emit q->OnProtocolStateChanged(prcReady);
    }

    // ----- commands -----

    // On refusal raises OnError, then the events the refused operation owes (a document's
    // "aborted").
    bool readyFor(const char* what, unsigned owedOnRefusal = 0) {
        if (phase == Phase::Ready && socket)
            return true;
        const QString text = phase == Phase::Idle ? QStringLiteral("Not connected to a news server")
                                                  : QStringLiteral("The connection is busy");
        refuse(nerNotReady, QStringLiteral("%1: cannot %2").arg(text, QLatin1String(what)),
               owedOnRefusal);
        return false;
    }

    void refuse(int number, const QString& description, unsigned owes) {
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        owed |= owes;
        emit q->OnError(number, description);
        if (alive(self, gen))
            settle();
    }

    void startList(const QByteArray& line, NntpReply expect) {
        if (!readyFor("list newsgroups"))
            return;
        command = Command::List;
        commandLine = line;
        expectCode = static_cast<int>(expect);
        authForCommand = false;
        phase = Phase::ListSent;
        send(line);
    }

    void sendDocument(std::unique_ptr<NntpBodySource> source) {
        QPointer<TNNTP> self(q);
        if (!readyFor("post an article", owedDocIn))
            return;
        std::string block;
        for (const auto& [name, value] : docIn.Headers) {
            if (!validHeaderName(name) || !validHeaderValue(value)) {
                refuse(nerBadArticle,
                       QStringLiteral("The header \"%1\" cannot be sent")
                           .arg(printable(name.data(), name.size())),
                       owedDocIn);
                return;
            }
            block += name;
            block += ": ";
            block += value;
            block += "\r\n";
        }
        block += "\r\n";
        headerBlock = std::move(block);
        body = std::move(source);
        const std::uint64_t bodySize = body ? body->size() : 0;
        docIn.BytesTotal =
            bodySize > 0 ? static_cast<std::int64_t>(headerBlock.size() + bodySize) : 0;
        docIn.BytesTransferred = 0;
        command = Command::Post;
        commandLine = QByteArrayLiteral("POST\r\n");
        authForCommand = false;
        phase = Phase::PostSent;
        const std::uint64_t gen = ++generation;
        docIn.State = docBegin;
        emit q->OnDocInput();
        if (!alive(self, gen))
            return;
        send(commandLine);
    }

    void startBody() {
        phase = Phase::Body;
        bodyEnded = !body;
        atLineStart = true;
        lastReported = 0;
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        docIn.State = docHeaders;
        emit q->OnDocInput();
        if (!alive(self, gen))
            return;
        writeStuffed(headerBlock);
        docIn.BytesTransferred = static_cast<std::int64_t>(headerBlock.size());
        docIn.State = docData;
        startTimer(q->ReplyTimeoutMs);
        pumpBody();
    }

    // Writes a piece of the article with every line that begins with "." given a second ".":
    // as it is when it has none (the usual case), else from a copy with the dots added. The
    // piece must stay valid while it waits in unsent.
    void writeStuffed(std::string_view piece) {
        if (piece.empty())
            return;
        std::size_t at = findLineStartDot(piece.data(), piece.size(), 0, atLineStart);
        if (at < piece.size()) {
            stuffed.clear();
            std::size_t segment = 0;
            for (; at < piece.size();
                 at = findLineStartDot(piece.data(), piece.size(), at + 1, atLineStart)) {
                stuffed.append(piece, segment, at - segment + 1);
                segment = at;  // the dot goes out again with what follows
            }
            stuffed.append(piece, segment);
            put(stuffed);
        } else {
            put(piece);
        }
        atLineStart = piece.back() == '\n';
    }

    void onBytesWritten() {
        // Whatever of a piece waited for the system goes first, in any phase.
        if (!flushUnsent() || phase != Phase::Body)
            return;
        startTimer(q->ReplyTimeoutMs);
        pumpBody();
    }

    void pumpBody() {
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = generation;
        // Bytes written straight to the system in this turn of the event loop.
        qint64 turn = 0;
        while (phase == Phase::Body && flushUnsent()) {
            if (directFd < 0 ? socket->bytesToWrite() >= kHighWater : socket->bytesToWrite() > 0)
                return;  // bytesWritten comes back here
            if (directFd >= 0 && turn >= kHighWater) {
                startTimer(q->ReplyTimeoutMs);
                resume.start();
                return;
            }
            if (bodyEnded) {
                put(atLineStart ? ".\r\n" : "\r\n.\r\n");
                phase = Phase::PostReply;
                body.reset();
                startTimer(q->ReplyTimeoutMs);
                lastReported = docIn.BytesTransferred;
                emit q->OnDocInput();
                if (!alive(self, gen))
                    return;
                break;
            }
            // A piece the source holds goes out as it is; anything else is gathered in stage.
            std::string_view piece;
            try {
                piece = body->held();
                if (piece.empty()) {
                    stage.clear();
                    while (!bodyEnded && stage.size() < kBodyPiece) {
                        if (!body->next(stage))
                            bodyEnded = true;
                    }
                    piece = stage;
                }
            } catch (const std::exception& e) {
                finish(nerBadArticle,
                       QStringLiteral("The article could not be read: %1")
                           .arg(QString::fromUtf8(e.what())),
                       true, true);
                return;
            }
            if (body->mayBeginLinesWithDot()) {
                writeStuffed(piece);
            } else if (!piece.empty()) {
                put(piece);
                atLineStart = piece.back() == '\n';
            }
            turn += static_cast<qint64>(piece.size());
            docIn.BytesTransferred += static_cast<std::int64_t>(piece.size());
            if (docIn.BytesTransferred - lastReported >= kProgressStep) {
                lastReported = docIn.BytesTransferred;
                emit q->OnDocInput();
                if (!alive(self, gen))
                    return;
            }
        }
        // Large pieces are not kept between articles.
        if (phase != Phase::Body && unsent.empty()) {
            if (stage.capacity() > 4 * kBodyPiece)
                std::string().swap(stage);
            if (stuffed.capacity() > 4 * kBodyPiece)
                std::string().swap(stuffed);
        }
    }

    void quit() {
        if (phase == Phase::Idle)
            return;
        if (phase != Phase::Ready) {
            finish(0, {}, true, false);
            return;
        }
        QPointer<TNNTP> self(q);
        const std::uint64_t gen = ++generation;
        phase = Phase::QuitSent;
        setState(nsDisconnecting);
        if (!alive(self, gen))
            return;
        send(QByteArrayLiteral("QUIT\r\n"));
        // Nothing depends on the goodbye: a server that does not answer QUIT is not waited for
        // as long as for a reply that matters.
        startTimer(std::min(q->ReplyTimeoutMs, kQuitTimeoutMs));
    }

    void cancel() {
        if (phase == Phase::Idle || phase == Phase::Ready)
            return;
        finish(0, {}, true, false);
    }
};

TNNTP::TNNTP(QObject* parent) : QObject(parent), m_impl(std::make_unique<Impl>(this)) {}

std::unique_ptr<QTcpSocket> TNNTP::createSocket() {
    return std::make_unique<QTcpSocket>();
}

TNNTP::~TNNTP() {
    m_impl->timer.stop();
    m_impl->closeSocket();
}

int TNNTP::State() const {
    return m_impl->state;
}
int TNNTP::ProtocolState() const {
    return m_impl->protocolState;
}
bool TNNTP::Busy() const {
    return m_impl->phase != Impl::Phase::Idle && m_impl->phase != Impl::Phase::Ready;
}
QString TNNTP::ReplyString() const {
    return m_impl->replyString;
}
int TNNTP::ReplyCode() const {
    return m_impl->replyCode;
}
int TNNTP::BannerCode() const {
    return m_impl->bannerCode;
}
NntpDocInput& TNNTP::DocInput() {
    return m_impl->docIn;
}
NntpDocOutput& TNNTP::DocOutput() {
    return m_impl->docOut;
}

void TNNTP::Connect(const QString& host, int port) {
    RemoteHost = host;
    RemotePort = port;
    if (m_impl->settleBefore())
        m_impl->connectTo(host, port);
}

void TNNTP::Cancel() {
    if (m_impl->settleBefore())
        m_impl->cancel();
}
void TNNTP::Quit() {
    if (m_impl->settleBefore())
        m_impl->quit();
}

void TNNTP::SendDocument(std::unique_ptr<NntpBodySource> body) {
    if (m_impl->settleBefore())
        m_impl->sendDocument(std::move(body));
}

void TNNTP::ListGroups() {
    if (m_impl->settleBefore())
        m_impl->startList(QByteArrayLiteral("LIST\r\n"), NntpReply::ListFollows);
}

void TNNTP::ListNewGroups(const QDateTime& since) {
    if (!m_impl->settleBefore())
        return;
    const QByteArray when = since.toUTC().toString(QStringLiteral("yyyyMMdd HHmmss")).toLatin1();
    m_impl->startList(QByteArrayLiteral("NEWGROUPS ") + when + " GMT\r\n",
                      NntpReply::NewGroupsFollow);
}
