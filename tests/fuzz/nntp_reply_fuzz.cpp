// The NNTP client against a server that sends anything: replies in arbitrary pieces, closes
// and socket errors at any moment, commands asked for at any time, and handlers that start,
// cancel, quit, reconnect or destroy the client from inside its own events.
//
// The transport is a stand-in for a connected socket that hands the client what the input
// says and keeps what the client writes. Whatever happens, the events come in the documented
// order, every document ends once (complete or aborted), a reply shown is printable, and what
// went out on the wire is well-formed commands and articles: an article that was ended with
// "." is exactly one that was handed over, whole.

#include "fuzz_support.h"
#include "posting/nntp.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every article handed to the client during this input, as it must appear once unstuffed.
std::set<std::string> g_articles;

// Checks one connection's outgoing bytes: command lines, and after POST either the next
// command or an article. An article cut off by the end of the stream was abandoned, which is
// allowed; one ended with "." must be a whole article that was handed over.
void checkWire(const std::string& wire) {
    std::size_t pos = 0;
    auto nextLine = [&](std::string& line) {
        const std::size_t end = wire.find("\r\n", pos);
        if (end == std::string::npos)
            return false;
        line = wire.substr(pos, end - pos);
        pos = end + 2;
        return true;
    };
    std::string line;
    bool afterPost = false;
    while (pos < wire.size()) {
        if (afterPost && wire.compare(pos, 6, "From: ") == 0) {
            std::string article;
            bool ended = false;
            while (nextLine(line)) {
                if (line == ".") {
                    ended = true;
                    break;
                }
                // Every line that begins with "." went out with a second one.
                FUZZ_CHECK(line.empty() || line[0] != '.' || line.size() >= 2);
                article += (line.starts_with('.') ? line.substr(1) : line) + "\r\n";
            }
            if (!ended)
                return;  // cut off: the connection was dropped without the end
            FUZZ_CHECK(g_articles.count(article) == 1);
            afterPost = false;
            continue;
        }
        FUZZ_CHECK(nextLine(line));  // commands go out whole
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        afterPost = line == "POST";
        const bool known =
            line == "MODE READER" || line == "POST" || line == "LIST" || line == "QUIT" ||
            line == "AUTHINFO USER fuzzer" || line == "AUTHINFO PASS secret" ||
            (line.starts_with("NEWGROUPS ") && line.ends_with(" GMT") && line.size() == 29);
        FUZZ_CHECK(known);
    }
}

// Stands in for a connected TCP socket: the connection is made, refused or lost when the input
// says, bytes arrive as the input hands them over, and what the client writes is kept.
class FakeSocket : public QTcpSocket {
public:
    ~FakeSocket() override { checkWire(m_written); }

    void connectToHost(const QString&, quint16, OpenMode, NetworkLayerProtocol) override {
        setSocketState(HostLookupState);
        emit stateChanged(HostLookupState);
    }
    qint64 bytesAvailable() const override {
        return static_cast<qint64>(m_in.size() - m_read) + QIODevice::bytesAvailable();
    }
    qint64 bytesToWrite() const override { return 0; }

    bool connecting() const { return state() == HostLookupState; }
    bool connectedNow() const { return state() == ConnectedState && isOpen(); }

    void establish() {
        setSocketState(ConnectingState);
        emit stateChanged(ConnectingState);
        setOpenMode(ReadWrite);
        setSocketState(ConnectedState);
        emit stateChanged(ConnectedState);
        emit connected();
    }
    void receive(std::string_view bytes) {
        m_in.append(bytes);
        emit readyRead();
    }
    void fail(SocketError error) {
        setSocketState(UnconnectedState);
        emit errorOccurred(error);
    }
    void serverCloses() {
        setSocketState(UnconnectedState);
        emit stateChanged(UnconnectedState);
        emit disconnected();
    }

protected:
    qint64 readData(char* data, qint64 max) override {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(max), m_in.size() - m_read);
        std::memcpy(data, m_in.data() + m_read, n);
        m_read += n;
        return static_cast<qint64>(n);
    }
    qint64 writeData(const char* data, qint64 size) override {
        // Taken at once, so bytesToWrite() stays 0 and no bytesWritten is due.
        m_written.append(data, static_cast<std::size_t>(size));
        return size;
    }

private:
    std::string m_in;
    std::size_t m_read = 0;
    std::string m_written;
};

class FuzzClient : public TNNTP {
public:
    QPointer<FakeSocket> socket;

protected:
    std::unique_ptr<QTcpSocket> createSocket() override {
        auto s = std::make_unique<FakeSocket>();
        socket = s.get();
        return s;
    }
};

// A body of whole lines that may fail to read half-way, as a file that shrank does.
class LinesBody : public NntpBodySource {
public:
    LinesBody(std::vector<std::string> lines, std::size_t failAt)
        : m_lines(std::move(lines)), m_failAt(failAt) {}
    std::uint64_t size() const override {
        std::uint64_t n = 0;
        for (const auto& l : m_lines)
            n += l.size() + 2;
        return n;
    }
    bool next(std::string& out) override {
        if (m_next == m_failAt)
            throw std::runtime_error("the file changed");
        if (m_next == m_lines.size())
            return false;
        out += m_lines[m_next++] + "\r\n";
        return true;
    }

private:
    std::vector<std::string> m_lines;
    std::size_t m_failAt;
    std::size_t m_next = 0;
};

// What the client must have done by the end, gathered from its events.
struct Observed {
    int state = nsNone;
    int docInOpen = 0;  // SendDocument calls not yet ended
    bool docOutOpen = false;
};

class Run {
public:
    explicit Run(FuzzedDataProvider& in) : m_in(in) {
        m_client = new FuzzClient;
        m_withLogin = m_in.ConsumeBool();
        m_onError = m_in.ConsumeIntegralInRange(0, 4);
        m_onDocEnd = m_in.ConsumeIntegralInRange(0, 2);
        m_onReady = m_in.ConsumeIntegralInRange(0, 2);
        wire(m_client);
    }

    // The owner goes away: whatever runs is stopped first, and every document has ended.
    ~Run() {
        m_ending = true;
        if (m_client) {
            m_client->Quit();
            m_client->Cancel();
            FUZZ_CHECK(m_seen.docInOpen == 0 && !m_seen.docOutOpen);
            FUZZ_CHECK(!m_client->Busy());
            delete m_client.data();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Whatever else is pending is delivered too, so nothing reaches the next input. Only
        // a delivery of every kind clears the spent entries out of Qt's queue: without it they
        // pile up by a few per input, and every later delivery scans them all.
        QCoreApplication::sendPostedEvents();
    }

    void play() {
        m_client->Connect(QStringLiteral("news.example.com"), 119);
        while (m_client && m_in.remaining_bytes() > 0 && m_steps < kMaxSteps) {
            ++m_steps;
            // Between two events the event loop deletes what was let go with deleteLater (a
            // closed socket), so a client that kept using one is caught.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            checkConsistent();
            FakeSocket* s = m_client->socket;
            switch (m_in.ConsumeIntegralInRange(0, 11)) {
                case 0:
                case 1:
                case 2:
                case 3:
                    if (s && s->connectedNow())
                        s->receive(m_in.ConsumeBytesAsString(m_in.ConsumeIntegralInRange(1, 80)));
                    break;
                case 4:
                    if (s && s->connecting())
                        s->establish();
                    break;
                case 5:
                    m_client->ListGroups();
                    break;
                case 6:
                    m_client->ListNewGroups(QDateTime::fromSecsSinceEpoch(
                        m_in.ConsumeIntegralInRange<qint64>(0, 4102444800), Qt::UTC));
                    break;
                case 7:
                    sendDocument();
                    break;
                case 8:
                    if (s && s->state() != QAbstractSocket::UnconnectedState)
                        s->serverCloses();
                    break;
                case 9:
                    if (s && s->state() != QAbstractSocket::UnconnectedState)
                        s->fail(m_in.ConsumeBool() ? QAbstractSocket::ConnectionRefusedError
                                                   : QAbstractSocket::NetworkError);
                    break;
                case 10:
                    m_in.ConsumeBool() ? m_client->Quit() : m_client->Cancel();
                    break;
                case 11:
                    m_client->Connect(QStringLiteral("news.example.com"), 119);
                    break;
            }
        }
    }

private:
    static constexpr int kMaxSteps = 400;

    void wire(FuzzClient* c) {
        QObject::connect(c, &TNNTP::OnStateChanged, [this](int s) { onState(s); });
        QObject::connect(c, &TNNTP::OnProtocolStateChanged, [this](int p) {
            FUZZ_CHECK(p == m_client->ProtocolState());
            FUZZ_CHECK(p == prcNoConnection ? m_seen.state == nsDisconnected
                                            : m_seen.state == nsConnected);
            if (p == prcReady)
                react(m_onReady);
        });
        QObject::connect(c, &TNNTP::OnBanner, [this](const QString& banner) {
            FUZZ_CHECK(m_seen.state == nsConnected);
            checkPrintable(banner);
        });
        QObject::connect(
            c, &TNNTP::OnAuthenticateRequest, c,
            [this](NntpAuthRequest* request) {
                if (m_withLogin) {
                    request->UserId = QStringLiteral("fuzzer");
                    request->Password = QStringLiteral("secret");
                }
            },
            Qt::DirectConnection);
        QObject::connect(c, &TNNTP::OnDocInput, [this] { onDocInput(); });
        QObject::connect(c, &TNNTP::OnDocOutput, [this] { onDocOutput(); });
        QObject::connect(c, &TNNTP::OnError, [this](int number, const QString& text) {
            FUZZ_CHECK(number != 0);
            checkPrintable(text);
            checkPrintable(m_client->ReplyString());
            switch (m_ending ? 0 : m_onError) {
                case 1:
                    m_client->Quit();
                    break;
                case 2:
                    m_client->Cancel();
                    break;
                case 3:
                    if (m_steps < kMaxSteps && m_nested < 3) {
                        ++m_steps;
                        ++m_nested;
                        m_client->Connect(QStringLiteral("news.example.com"), 119);
                        --m_nested;
                    }
                    break;
                case 4:
                    // The window that owned the client closed.
                    delete m_client.data();
                    break;
            }
        });
    }

    // A connection's states come in order; a Connect may start the next one at any time.
    void onState(int s) {
        FUZZ_CHECK(s == m_client->State());
        static constexpr int kAllowed[7][7] = {
            // to: 0  1  2  3  4  5  6
            {0, 1, 0, 0, 0, 0, 0},  // from none
            {0, 0, 1, 1, 1, 0, 1},  // connecting
            {0, 1, 0, 1, 1, 0, 1},  // resolving
            {0, 1, 0, 0, 1, 0, 1},  // resolved
            {0, 1, 0, 0, 0, 1, 0},  // connected
            {0, 1, 0, 0, 0, 0, 1},  // disconnecting
            {0, 1, 0, 0, 0, 0, 0},  // disconnected
        };
        FUZZ_CHECK(s >= 0 && s <= 6 && kAllowed[m_seen.state][s]);
        m_seen.state = s;
        checkConsistent();
    }

    // Ready for commands only on a connection that is up (or saying goodbye).
    void checkConsistent() {
        if (m_client && m_client->ProtocolState() == prcReady)
            FUZZ_CHECK(m_client->State() == nsConnected || m_client->State() == nsDisconnecting);
    }

    void onDocInput() {
        const int state = m_client->DocInput().State;
        FUZZ_CHECK(state >= docBegin && state <= docComplete);
        if (state == docAborted || state == docComplete) {
            FUZZ_CHECK(m_seen.docInOpen > 0);
            --m_seen.docInOpen;
            if (m_onDocEnd == 1 || (m_onDocEnd == 2 && state == docComplete))
                react(2);
        }
    }

    void onDocOutput() {
        NntpDocOutput& out = m_client->DocOutput();
        switch (out.State) {
            case docBegin:
                FUZZ_CHECK(!m_seen.docOutOpen);
                m_seen.docOutOpen = true;
                break;
            case docData: {
                FUZZ_CHECK(m_seen.docOutOpen);
                const QByteArray data = out.GetData();
                FUZZ_CHECK(data.endsWith("\r\n"));
                // Whole lines: every LF ends one, with its CR.
                for (qsizetype i = data.indexOf('\n'); i >= 0; i = data.indexOf('\n', i + 1))
                    FUZZ_CHECK(i > 0 && data[i - 1] == '\r');
                break;
            }
            case docAborted:
            case docComplete:
                FUZZ_CHECK(m_seen.docOutOpen);
                m_seen.docOutOpen = false;
                if (out.State == docComplete && m_onDocEnd != 0)
                    react(1);
                break;
            default:
                FUZZ_CHECK(false);
        }
    }

    // What a handler starts from inside an event: nothing, a list, or a document.
    // Nested a few levels deep at most: deeper only repeats the same paths, slowly.
    void react(int what) {
        if (m_ending || m_steps >= kMaxSteps || m_nested >= 3)
            return;
        ++m_steps;
        ++m_nested;
        if (what == 1)
            m_client->ListGroups();
        else if (what == 2)
            sendDocument();
        --m_nested;
    }

    void sendDocument() {
        std::vector<std::pair<std::string, std::string>> headers = {
            {"From", "Fuzzer <fuzz@example.com>"},
            {"Newsgroups", "alt.test"},
            {m_in.ConsumeBool() ? "Subject" : m_in.ConsumeRandomLengthString(8),
             m_in.ConsumeRandomLengthString(16)}};
        std::vector<std::string> lines;
        const int count = m_in.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            std::string line = m_in.ConsumeRandomLengthString(12);
            std::erase_if(line, [](char c) { return c == '\r' || c == '\n'; });
            lines.push_back(std::move(line));
        }
        const std::size_t failAt =
            m_in.ConsumeBool() ? m_in.ConsumeIntegralInRange<std::size_t>(0, lines.size()) : ~0u;

        bool sendable = true;
        std::string article;
        for (const auto& [name, value] : headers) {
            sendable = sendable && !name.empty() &&
                       value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
            for (char c : name)
                sendable = sendable && c > 32 && c < 127 && c != ':';
            article += name + ": " + value + "\r\n";
        }
        article += "\r\n";
        for (const auto& l : lines)
            article += l + "\r\n";
        // A body that fails never goes out whole, so it is not among the articles allowed to end.
        if (sendable && failAt == ~0u)
            g_articles.insert(article);

        m_client->DocInput().Headers = headers;
        ++m_seen.docInOpen;
        m_client->SendDocument(std::make_unique<LinesBody>(std::move(lines), failAt));
    }

    static void checkPrintable(const QString& text) {
        FUZZ_CHECK(text.size() <= 1024);
        for (QChar c : text)
            FUZZ_CHECK(c.unicode() >= 32 && c.unicode() != 127);
    }

    FuzzedDataProvider& m_in;
    QPointer<FuzzClient> m_client;
    Observed m_seen;
    bool m_withLogin = false;
    int m_onError = 0;
    int m_onDocEnd = 0;
    int m_onReady = 0;
    int m_steps = 0;
    int m_nested = 0;
    bool m_ending = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    g_articles.clear();
    {
        Run run(in);
        run.play();
    }
    return 0;
}
