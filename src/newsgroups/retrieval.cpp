#include "newsgroups/retrieval.h"

#include "platform/paths.h"
#include "posting/server_connection.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstring>
#include <unordered_set>

namespace {

constexpr double kMsPerDay = 86400000.0;
// How long one slice of the parse may hold the event loop, in milliseconds.
constexpr qint64 kSliceMs = 20;

QDate recordEpoch() {
    return QDate(1899, 12, 30);
}

QString fromStd(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

double toRecordDateTime(const QDateTime& moment) {
    const QDateTime local = moment.toLocalTime();
    const auto days = static_cast<double>(recordEpoch().daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before the epoch the fraction still counts forward from midnight, as the stored form has
    // it: -1.25 is 29 December 1899, 06:00.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime fromRecordDateTime(double days) {
    const double whole = std::trunc(days);
    const double fraction = std::fabs(days - whole);
    const int ms = static_cast<int>(std::min(std::llround(fraction * kMsPerDay), 86399999LL));
    return QDateTime(recordEpoch().addDays(static_cast<qint64>(whole)),
                     QTime::fromMSecsSinceStartOfDay(ms), Qt::LocalTime);
}

TNewsgroupRetrieval::TNewsgroupRetrieval(TNNTP& nntp, TNNTPJob& job, TServer& record,
                                         TNewsgroupList& list, TRetrievalObserver& observer,
                                         UserPrompts& prompts, TRetrievalPolicy policy,
                                         std::filesystem::path dataDir, QLocale locale,
                                         QObject* parent)
    : QObject(parent),
      m_nntp(&nntp),
      m_job(job),
      m_record(record),
      m_list(list),
      m_observer(observer),
      m_prompts(prompts),
      m_policy(std::move(policy)),
      m_dataDir(std::move(dataDir)),
      m_locale(std::move(locale)) {
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &TNewsgroupRetrieval::runSlice);
}

TNewsgroupRetrieval::~TNewsgroupRetrieval() {
    abandon();
}

std::filesystem::path TNewsgroupRetrieval::listFile(std::string_view host) const {
    return newsgroupListPath(m_dataDir, host);
}

TRetrievalButtons TNewsgroupRetrieval::idleButtons() const {
    TRetrievalButtons b;
    b.Get = m_policy.getAllowed ? m_policy.getAllowed() : true;
    b.Update = m_record.LastUpdated != 0.0;
    b.Others = true;
    return b;
}

void TNewsgroupRetrieval::getNewsgroups() {
    start(jobAllNewsgroups);
}

void TNewsgroupRetrieval::updateNewsgroups() {
    if (running())
        return;
    const std::string host =
        m_policy.updateFileHost ? m_policy.updateFileHost() : m_record.HostName;
    std::error_code ec;
    start(std::filesystem::exists(listFile(host), ec) ? jobNewNewsgroups : jobAllNewsgroups);
}

void TNewsgroupRetrieval::start(int job) {
    if (running() || !m_nntp)
        return;
    if (m_policy.beforeStart)
        m_policy.beforeStart();
    if (m_record.HostName.empty())
        return;
    m_phase = Phase::Connecting;
    m_retrievalJob = job;
    m_commandSent = false;
    m_reply.clear();
    m_observer.busyChanged(true);
    m_observer.buttonsChanged(TRetrievalButtons{});
    m_job.Value = job;
    connectClient();
}

void TNewsgroupRetrieval::connectClient() {
    TNNTP& nntp = *m_nntp;
    if (m_connections.empty()) {
        m_connections = {
            connect(&nntp, &TNNTP::OnStateChanged, this, &TNewsgroupRetrieval::onStateChanged),
            connect(&nntp, &TNNTP::OnProtocolStateChanged, this,
                    &TNewsgroupRetrieval::onProtocolStateChanged),
            connect(&nntp, &TNNTP::OnBanner, this, &TNewsgroupRetrieval::onBanner),
            connect(&nntp, &TNNTP::OnAuthenticateRequest, this,
                    &TNewsgroupRetrieval::onAuthenticateRequest, Qt::DirectConnection),
            connect(&nntp, &TNNTP::OnDocOutput, this, &TNewsgroupRetrieval::onDocOutput),
            connect(&nntp, &TNNTP::OnError, this, &TNewsgroupRetrieval::onError),
        };
    }
    // A connection to the same server left open by an earlier attempt that failed after login
    // is used as it is: it will not announce "ready" a second time.
    if (holdsConnectionTo(nntp, m_record)) {
        sendCommand();
        return;
    }
    aimAt(nntp, m_record);
    // Connect drops whatever the client still has open (a goodbye still on its way, say); the
    // end of that old connection is not the end of this retrieval.
    m_replacing = true;
    nntp.Connect(nntp.RemoteHost, nntp.RemotePort);
    m_replacing = false;
    // A connection that cannot even be tried (a port out of range, no TLS library) has
    // reported "no connection" inside Connect, while the events were held back above: act on
    // it now, or the job would stay taken and the dialog busy.
    if (m_nntp && m_nntp->ProtocolState() == prcNoConnection &&
        (m_nntp->State() == nsDisconnected || m_nntp->State() == nsNone)) {
        m_job.Value = jobNothing;
        if (running())
            finish(false, false);
    }
}

void TNewsgroupRetrieval::sendCommand() {
    if (m_commandSent || !m_nntp)
        return;
    m_commandSent = true;
    m_phase = Phase::Receiving;
    if (m_retrievalJob == jobNewNewsgroups)
        m_nntp->ListNewGroups(fromRecordDateTime(m_record.LastUpdated));
    else
        m_nntp->ListGroups();
}

void TNewsgroupRetrieval::disconnectClient() {
    if (!m_nntp)
        return;
    const int state = m_nntp->State();
    if (state != nsDisconnected && state != nsNone)
        m_nntp->Quit();
}

void TNewsgroupRetrieval::finish(bool completed, bool disconnect) {
    m_phase = Phase::Idle;
    m_slice.stop();
    m_parser.reset();
    m_taken = {};
    m_reply = {};
    QPointer<TNewsgroupRetrieval> self(this);
    m_observer.busyChanged(false);
    m_observer.buttonsChanged(idleButtons());
    if (completed) {
        m_observer.retrievalCompleted();
        if (!self)
            return;
    }
    if (disconnect)
        disconnectClient();
}

void TNewsgroupRetrieval::abandon() {
    for (const QMetaObject::Connection& c : m_connections)
        disconnect(c);
    m_connections.clear();
    const bool wasRunning = running();
    m_phase = Phase::Idle;
    m_slice.stop();
    m_parser.reset();
    m_taken = {};
    m_reply = {};
    if (wasRunning) {
        if (m_job.Value == m_retrievalJob)
            m_job.Value = jobNothing;
        disconnectClient();
    }
}

void TNewsgroupRetrieval::onStateChanged(int state) {
    m_observer.statusChanged(0, connectionStateText(state));
    if (m_replacing)
        return;
    // A connection that fails or drops before the reply is complete ends the retrieval here,
    // whether or not an error event comes with it.
    if (state == nsDisconnected && (m_phase == Phase::Connecting || m_phase == Phase::Receiving))
        finish(false, false);
}

void TNewsgroupRetrieval::onProtocolStateChanged(int protocolState) {
    if (m_replacing)
        return;
    if (protocolState == prcNoConnection) {
        m_job.Value = jobNothing;
        if (m_phase == Phase::Connecting || m_phase == Phase::Receiving)
            finish(false, false);
    } else if (protocolState == prcReady && m_phase == Phase::Connecting) {
        sendCommand();
    }
}

void TNewsgroupRetrieval::onBanner(const QString&) {
    if (!m_nntp || m_phase != Phase::Connecting)
        return;
    QPointer<TNewsgroupRetrieval> self(this);
    const bool goOn = passesBannerCheck(*m_nntp, m_record.HostName, m_prompts);
    if (self && !goOn && m_nntp)
        m_nntp->Cancel();
}

void TNewsgroupRetrieval::onAuthenticateRequest(NntpAuthRequest* request) {
    if (m_policy.credentials) {
        *request = m_policy.credentials();
        return;
    }
    request->UserId = fromStd(m_record.UserName);
    request->Password = fromStd(m_record.Password);
}

void TNewsgroupRetrieval::onDocOutput() {
    if (!m_nntp || (m_phase != Phase::Connecting && m_phase != Phase::Receiving))
        return;
    NntpDocOutput& doc = m_nntp->DocOutput();
    m_observer.statusChanged(
        1, QStringLiteral("%1 bytes read      ").arg(static_cast<qlonglong>(doc.BytesTransferred)));
    switch (doc.State) {
        case docBegin:
            m_observer.statusChanged(0, m_retrievalJob == jobNewNewsgroups ? kStatusRetrievingNew
                                                                           : kStatusRetrievingAll);
            m_reply.clear();
            break;
        case docData:
            keepReplyPart(doc.GetData());
            break;
        case docComplete:
            // Lines handed over with the end of the reply are part of it.
            keepReplyPart(doc.GetData());
            beginParse();
            break;
        default:
            break;
    }
}

void TNewsgroupRetrieval::onError(int, const QString& description) {
    QPointer<TNewsgroupRetrieval> self(this);
    // Nothing but the buttons and the cursor change: the list, the file and the record keep
    // what they held. A reply already received is parsed to the end.
    if (m_phase == Phase::Connecting || m_phase == Phase::Receiving)
        finish(false, false);
    if (!self)
        return;
    if (!description.isEmpty())
        m_prompts.error(description.toStdString());
    if (!self || !m_nntp)
        return;
    const QString reply = m_nntp->ReplyString();
    if (!reply.isEmpty())
        m_prompts.error(reply.toStdString());
}

void TNewsgroupRetrieval::showCount(std::size_t n) {
    m_observer.statusChanged(1, QStringLiteral(" %1 newsgroups      ").arg(n));
}

void TNewsgroupRetrieval::keepReplyPart(QByteArray part) {
    if (part.isEmpty())
        return;
    // The reply is kept in the pieces it came in rather than appended to one buffer, which
    // would be copied as it grows. A piece that does not end a line is joined with the next,
    // so no name is split between two.
    if (!m_reply.empty() && !m_reply.back().endsWith('\n') && !m_reply.back().endsWith('\r'))
        m_reply.back().append(part);
    else
        m_reply.push_back(std::move(part));
}

void TNewsgroupRetrieval::beginParse() {
    m_phase = Phase::Parsing;
    m_count = m_retrievalJob == jobNewNewsgroups ? m_list.size() : 0;
    m_observer.statusChanged(0, kStatusParsing);
    showCount(m_count);
    m_taken.clear();
    // One name a line: room for them all up front, so the list never grows by copying itself.
    std::size_t lines = 1;
    for (const QByteArray& part : m_reply)
        lines += static_cast<std::size_t>(part.count('\n'));
    m_taken.reserve(lines);
    m_part = 0;
    startPart();
    m_slice.start();
}

void TNewsgroupRetrieval::startPart() {
    m_parser.reset();
    if (m_part >= m_reply.size())
        return;
    // The names are gathered at the front of the piece itself as it is parsed (each is written
    // over bytes the parser has passed), so the other fields can be given back after the parse
    // without a second buffer. Every piece starts on a new line.
    QByteArray& part = m_reply[m_part];
    m_names = part.data();
    m_namesSize = 0;
    m_partTaken = m_taken.size();
    m_lastLine = 0;
    m_parser.emplace(std::string_view(m_names, static_cast<std::size_t>(part.size())), true);
}

void TNewsgroupRetrieval::endPart() {
    QByteArray& part = m_reply[m_part];
    part.truncate(static_cast<qsizetype>(m_namesSize));
    part.squeeze();
    if (part.constData() != m_names) {
        const char* base = part.constData();
        for (std::size_t i = m_partTaken; i < m_taken.size(); ++i)
            m_taken[i] = std::string_view(base + (m_taken[i].data() - m_names), m_taken[i].size());
    }
    m_names = nullptr;
    ++m_part;
    startPart();
}

void TNewsgroupRetrieval::runSlice() {
    if (m_phase == Phase::Parsing)
        parseSlice();
    else if (m_phase == Phase::Sorting)
        sortAndStore();
}

void TNewsgroupRetrieval::parseSlice() {
    QElapsedTimer clock;
    clock.start();
    for (; m_parser; endPart()) {
        if (!parseInPart(clock))
            return;
    }
    if (m_retrievalJob == jobNewNewsgroups) {
        // The count shown last is the one the list and the record will hold.
        keepOnlyNewNames();
        m_count = m_list.size() + m_taken.size();
    }
    showCount(m_count);
    m_observer.statusChanged(0, kStatusSorting);
    m_phase = Phase::Sorting;
    m_slice.start();  // let "Sorting..." show before the sort holds the loop
}

bool TNewsgroupRetrieval::parseInPart(const QElapsedTimer& clock) {
    TParser& parser = *m_parser;
    while (parser.TokenKind != TParser::tkEndOfText) {
        // The first field of each line is the group's name; the article numbers and flags
        // after it stand on the same line and are passed over, as is the closing ".".
        if (parser.Line != m_lastLine && parser.Token != ".") {
            char* name = m_names + m_namesSize;
            std::memmove(name, parser.Token.data(), parser.Token.size());
            m_namesSize += parser.Token.size();
            m_taken.emplace_back(name, parser.Token.size());
            m_lastLine = parser.Line;
            if (++m_count % 100 == 0) {
                showCount(m_count);
                if (clock.elapsed() >= kSliceMs) {
                    parser.NextToken();
                    m_slice.start();
                    return false;
                }
            }
        }
        parser.NextToken();
    }
    return true;
}

void TNewsgroupRetrieval::keepOnlyNewNames() {
    // An update adds the groups the list does not hold yet, each once.
    std::unordered_set<std::string_view> added(m_taken.begin(), m_taken.end());
    for (std::string_view name : m_list.names())
        added.erase(name);
    std::size_t kept = 0;
    for (std::string_view name : m_taken)
        if (added.erase(name))
            m_taken[kept++] = name;
    m_taken.resize(kept);
}

void TNewsgroupRetrieval::sortAndStore() {
    TNewsgroupList fresh;
    std::size_t sortedPrefix = 0;
    if (m_retrievalJob == jobNewNewsgroups) {
        // The list, sorted by the last fetch, is merged with the new groups rather than
        // sorted again.
        fresh = m_list;
        sortedPrefix = fresh.size();
        for (std::string_view name : m_taken)
            fresh.append(name);
    } else {
        fresh.appendViews(std::move(m_taken));
        // The names are views into the reply: keep it, do not copy them.
        for (QByteArray& part : m_reply)
            fresh.adopt(std::move(part));
    }
    m_taken = {};
    fresh.sort(m_locale, sortedPrefix);

    const std::filesystem::path file = listFile(m_record.HostName);
    QString reason;
    const bool written = ensureDir(m_dataDir) && writeNewsgroupList(file, fresh, &reason);
    QPointer<TNewsgroupRetrieval> self(this);
    m_observer.statusChanged(1, QString());
    if (!written) {
        finish(false, false);
        if (!self)
            return;
        std::string text = "Unable to write the newsgroup list file " + file.string();
        if (!reason.isEmpty())
            text += ": " + reason.toStdString();
        m_prompts.error(text);
        if (self)
            disconnectClient();
        return;
    }
    m_list = std::move(fresh);
    m_record.NumberOfNewsgroups = static_cast<std::int32_t>(m_list.size());
    m_record.LastUpdated = toRecordDateTime(QDateTime::currentDateTime());
    if (m_policy.saveRecord) {
        m_policy.saveRecord(m_record);
        if (!self)
            return;
    }
    finish(true, true);
}
