#pragma once

#include "model/server.h"
#include "newsgroups/newsgroup_list.h"
#include "newsgroups/parser.h"
#include "platform/user_prompts.h"
#include "posting/nntp.h"
#include "posting/nntp_job.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The status texts of a retrieval, as the dialogs show them.
inline constexpr QLatin1String kStatusRetrievingAll{"Retrieving newsgroups..."};
inline constexpr QLatin1String kStatusRetrievingNew{"Retrieving new newsgroups..."};
inline constexpr QLatin1String kStatusParsing{"Parsing newsgroups..."};
inline constexpr QLatin1String kStatusSorting{"Sorting..."};

// Which of a list dialog's buttons may be used. While a retrieval runs all are off.
struct TRetrievalButtons {
    bool Get = false;     // Get Newsgroups
    bool Update = false;  // Update Newsgroups: only once the list was fetched
    bool Others = false;  // every other button the dialog disables while it fetches
    friend bool operator==(const TRetrievalButtons&, const TRetrievalButtons&) = default;
};

// What the dialog running a retrieval is told. Calls come from the event loop, and from inside
// getNewsgroups and updateNewsgroups as a retrieval starts (or fails to connect at once).
// None of these may destroy the engine except retrievalCompleted.
class TRetrievalObserver {
public:
    virtual ~TRetrievalObserver() = default;
    // Panel 0 of the status bar (what is happening) or panel 1 (byte and group counts).
    virtual void statusChanged(int panel, const QString& text) = 0;
    // The busy (hourglass) cursor on or off.
    virtual void busyChanged(bool busy) = 0;
    virtual void buttonsChanged(const TRetrievalButtons& enabled) = 0;
    // The new list is in the list file, the in-memory list and the record (count and time),
    // and the record was saved if the policy saves it. The dialog shows them; it may close
    // (and destroy the engine) here. Unless it did, the engine then disconnects.
    virtual void retrievalCompleted() {}
};

// Where the two list dialogs differ.
struct TRetrievalPolicy {
    // The host name whose list file decides whether Update Newsgroups can run as an update
    // (else it fetches the whole list). Unset: the record's host name.
    std::function<std::string()> updateFileHost;
    // Called as a retrieval starts, before the record is read (the server properties dialog
    // copies its fields into the record here).
    std::function<void()> beforeStart;
    // The user name and password for a server that asks. Unset: the record's.
    std::function<NntpAuthRequest()> credentials;
    // Stores the record once the new list file is written (the selection dialog does this
    // after every fetch; the server properties dialog leaves it to OK). Unset: not stored.
    std::function<void(const TServer&)> saveRecord;
    // Whether Get Newsgroups may be used when idle. Unset: always.
    std::function<bool()> getAllowed;
};

// Fetches a server's newsgroup list, whole or the groups created since the last fetch, into
// the dialog's in-memory list, the server's list file and the server record.
//
// Owned by the dialog, with the NNTP client, the record and the list it is given, which must
// outlive it. The new list replaces the old one only once it has been written to the list file
// (atomically); only then are the record's count and time set and the record saved. A transfer
// that fails, a list file that cannot be written and a closed dialog leave the list, the file
// and the record as they were.
//
// The parse and the sort run in slices from the event loop, so the window stays live; a
// dialog closed in between must call abandon() (or destroy the engine) as it closes, after
// which nothing of the retrieval reaches the list, the file or the record.
class TNewsgroupRetrieval : public QObject {
    Q_OBJECT
public:
    TNewsgroupRetrieval(TNNTP& nntp, TNNTPJob& job, TServer& record, TNewsgroupList& list,
                        TRetrievalObserver& observer, UserPrompts& prompts, TRetrievalPolicy policy,
                        std::filesystem::path dataDir, QLocale locale = QLocale(),
                        QObject* parent = nullptr);
    ~TNewsgroupRetrieval() override;

    // Get Newsgroups: the whole list.
    void getNewsgroups();
    // Update Newsgroups: the groups created since the record's last-updated time; the whole
    // list when the list file does not exist.
    void updateNewsgroups();
    // Stops listening to the client, drops a parse in progress and closes the connection.
    // Calls no observer method and touches neither the list, the file nor the record. The
    // engine stays usable for a new retrieval.
    void abandon();

    bool running() const { return m_phase != Phase::Idle; }
    // The buttons a dialog enables while no retrieval runs.
    TRetrievalButtons idleButtons() const;
    std::filesystem::path listFile(std::string_view host) const;

private:
    enum class Phase { Idle, Connecting, Receiving, Parsing, Sorting };

    void start(int job);
    void connectClient();
    void disconnectClient();
    void finish(bool completed, bool disconnect);
    void sendCommand();

    void onStateChanged(int state);
    void onProtocolStateChanged(int protocolState);
    void onBanner(const QString& banner);
    void onAuthenticateRequest(NntpAuthRequest* request);
    void onDocOutput();
    void onError(int number, const QString& description);

    void keepReplyPart(QByteArray part);
    void beginParse();
    void startPart();
    void endPart();
    void parseSlice();
    bool parseInPart(const QElapsedTimer& clock);
    void keepOnlyNewNames();
    void sortAndStore();
    void runSlice();
    void showCount(std::size_t n);

    QPointer<TNNTP> m_nntp;
    TNNTPJob& m_job;
    TServer& m_record;
    TNewsgroupList& m_list;
    TRetrievalObserver& m_observer;
    UserPrompts& m_prompts;
    TRetrievalPolicy m_policy;
    std::filesystem::path m_dataDir;
    QLocale m_locale;

    Phase m_phase = Phase::Idle;
    int m_retrievalJob = jobNothing;  // what this retrieval asked for
    bool m_commandSent = false;
    bool m_replacing = false;  // an old connection is being dropped to make a new one
    std::vector<QMetaObject::Connection> m_connections;

    std::vector<QByteArray> m_reply;  // the reply as it arrives, piece by piece
    // The parse in progress: the parser walks the reply, the names taken so far are views into
    // its front.
    std::optional<TParser> m_parser;
    std::vector<std::string_view> m_taken;
    std::size_t m_part = 0;   // the piece of the reply being parsed
    char* m_names = nullptr;  // where the names gathered from it begin: the piece's start
    std::size_t m_namesSize = 0;
    std::size_t m_partTaken = 0;  // the first of m_taken that came from this piece
    std::int32_t m_lastLine = 0;
    std::size_t m_count = 0;
    QTimer m_slice;
};

// Date-times of the server record: days since 30 December 1899, local time.
double toRecordDateTime(const QDateTime& moment);
QDateTime fromRecordDateTime(double days);
