#pragma once

#include "posting/nntp.h"
#include "support/nntp_test_support.h"

#include <QTest>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A body held in memory, handed out in pieces of a chosen size (to put line starts and dots
// on piece boundaries), copied by next() or, when `held`, as views of its own memory; it can
// fail after a number of pieces like a file that reads short.
class StringBody : public NntpBodySource {
public:
    explicit StringBody(std::string text, std::size_t piece = 1 << 16, int failAfter = -1,
                        bool held = false)
        : m_text(std::move(text)), m_piece(piece), m_failAfter(failAfter), m_held(held) {}
    std::uint64_t size() const override { return m_text.size(); }
    bool next(std::string& out) override {
        const std::string_view piece = take();
        out.append(piece);
        return !piece.empty();
    }
    std::string_view held() override { return m_held ? take() : std::string_view(); }

private:
    std::string_view take() {
        if (m_failAfter >= 0 && m_pieces >= m_failAfter)
            throw std::runtime_error("read failed");
        const std::size_t n = std::min(m_piece, m_text.size() - m_pos);
        const std::string_view piece = std::string_view(m_text).substr(m_pos, n);
        m_pos += n;
        m_pieces += n != 0 ? 1 : 0;
        return piece;
    }

    std::string m_text;
    std::size_t m_piece;
    int m_failAfter;
    bool m_held;
    std::size_t m_pos = 0;
    int m_pieces = 0;
};

// Drives a TNNTP and records every event as a short text, in order.
struct TestClient {
    TNNTP nntp;
    std::vector<std::string> events;
    std::vector<int> docInStates;
    std::vector<std::int64_t> progress;  // BytesTransferred at each body data event
    std::vector<int> errors;
    QString errorTexts;
    QString user;
    QString password;
    QByteArray received;  // GetData of every OnDocOutput

    TestClient() {
        QObject::connect(&nntp, &TNNTP::OnStateChanged,
                         [this](int s) { events.push_back("state " + std::to_string(s)); });
        QObject::connect(&nntp, &TNNTP::OnProtocolStateChanged,
                         [this](int s) { events.push_back("protocol " + std::to_string(s)); });
        QObject::connect(&nntp, &TNNTP::OnBanner, [this](const QString& b) {
            events.push_back("banner " + b.toStdString());
        });
        QObject::connect(
            &nntp, &TNNTP::OnAuthenticateRequest, &nntp,
            [this](NntpAuthRequest* r) {
                events.push_back("auth?");
                r->UserId = user;
                r->Password = password;
            },
            Qt::DirectConnection);
        QObject::connect(&nntp, &TNNTP::OnAuthenticateResponse,
                         [this](bool ok) { events.push_back(ok ? "auth ok" : "auth failed"); });
        QObject::connect(&nntp, &TNNTP::OnDocInput, [this] {
            docInStates.push_back(nntp.DocInput().State);
            if (nntp.DocInput().State == docData)
                progress.push_back(nntp.DocInput().BytesTransferred);
            events.push_back("doc " + std::to_string(nntp.DocInput().State));
        });
        QObject::connect(&nntp, &TNNTP::OnDocOutput, [this] {
            if (nntp.DocOutput().State == docData)
                received += nntp.DocOutput().GetData();
            events.push_back("out " + std::to_string(nntp.DocOutput().State));
        });
        QObject::connect(&nntp, &TNNTP::OnError, [this](int n, const QString& d) {
            errors.push_back(n);
            errorTexts += d + QLatin1Char('\n') + nntp.ReplyString() + QLatin1Char('\n');
            events.push_back("error " + std::to_string(n));
        });
    }

    bool has(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    bool settled() const { return !nntp.Busy(); }

    // Connect and wait, as the callers do: until ready or disconnected.
    bool connectTo(const QString& host, int port) {
        nntp.Connect(host, port);
        return QTest::qWaitFor(
                   [this] {
                       return nntp.State() == nsDisconnected ||
                              (nntp.State() == nsConnected && nntp.ProtocolState() == prcReady);
                   },
                   20000) &&
               nntp.ProtocolState() == prcReady;
    }

    // Send and wait while busy; true when the server answered 240.
    bool post(const std::vector<std::pair<std::string, std::string>>& headers, std::string body,
              std::size_t piece = 1 << 16, bool held = false) {
        docInStates.clear();
        nntp.DocInput().Headers = headers;
        nntp.SendDocument(std::make_unique<StringBody>(std::move(body), piece, -1, held));
        if (!QTest::qWaitFor([this] { return !nntp.Busy(); }, 30000))
            return false;
        return !docInStates.empty() && docInStates.back() == docComplete;
    }

    bool waitDisconnected() {
        return QTest::qWaitFor([this] { return nntp.State() == nsDisconnected; }, 20000);
    }
};
