#pragma once

#include "compose/attachment.h"
#include "compose/carried_file.h"
#include "compose/compose_error.h"
#include "compose/identity.h"
#include "compose/yenc.h"
#include "model/advanced_storage.h"
#include "model/project.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class UserPrompts;

inline constexpr const char* kNeedNameOrAddress =
    "A name or e-mail address is reqired to post a message";
inline constexpr const char* kNeedNewsgroup = "A newsgroup is reqired to post a message";
inline constexpr const char* kNeedSubject = "A subject is reqired to post a message";

// An article's body: text lines and attached files, in order. A UUEncoded or Base64 file counts
// as its encoded lines, which are known by number before any byte is encoded. A yEnc file is
// sent by parts, one per document, and counts no lines.
class ArticleBody {
public:
    void clear() {
        m_items.clear();
        m_lines = 0;
        m_yencFiles = 0;
    }
    void addLine(std::string line);
    void addLines(const std::vector<std::string>& lines);
    void addAttachment(std::shared_ptr<AttachedFile> file);
    void addYEnc(std::shared_ptr<YEncFile> file);
    // Replaces the text of a text line (by its place among the items).
    void replaceLine(std::size_t item, std::string line);
    std::uint64_t lineCount() const { return m_lines; }
    bool hasYEnc() const { return m_yencFiles != 0; }
    // The text lines and the attached files' lines, attached files encoded now, a yEnc file's
    // parts one after the other (tests only).
    std::vector<std::string> allLines() const;

    struct Item {
        std::string line;                    // when file and yenc are null
        std::shared_ptr<AttachedFile> file;  // an attached file's lines
        std::shared_ptr<YEncFile> yenc;      // a yEnc file
    };
    const std::vector<Item>& items() const { return m_items; }

private:
    std::vector<Item> m_items;
    std::uint64_t m_lines = 0;
    std::size_t m_yencFiles = 0;
};

// A stretch of a document's body: lines first..last-1 of a body item (a text line has one), or
// for a yEnc file its part number first.
struct BodySpan {
    std::size_t item = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// The article being built, reused for every article of a run.
struct TArticle {
    std::string From;
    std::string Date;
    std::string Newsgroups;  // joined by ","
    std::string Subject;     // with the attachment decoration, without part numbers
    std::string MessageId;
    std::string ReplyTo;
    std::string Organization;
    std::string FollowupTo;
    std::string XNoArchive;
    ArticleBody Body;
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One document to transmit: the header lines in order (name, value) and a body produced on
// demand. Valid only during the send callback that receives it.
class OutgoingDocument {
public:
    // Lines firstLine..endLine-1 of the body.
    OutgoingDocument(HeaderList headers, const ArticleBody& body, std::uint64_t firstLine,
                     std::uint64_t endLine, EncodeProgress* progress);
    OutgoingDocument(HeaderList headers, const ArticleBody& body, std::vector<BodySpan> spans,
                     EncodeProgress* progress);

    const HeaderList& headers() const { return m_headers; }
    // The Subject and Message-Id header values.
    const std::string& subject() const { return m_subject; }
    const std::string& messageId() const { return m_messageId; }

    // The attached files this document carries a share of.
    const std::vector<CarriedFile>& carriedFiles() const { return m_carried; }
    void setCarriedFiles(std::vector<CarriedFile> files) { m_carried = std::move(files); }

    // Bytes of the body, every line ending in CR LF, not dot-stuffed: exact before anything is
    // read. A yEnc part is encoded to know it (and then kept for the reading, when moderate).
    std::uint64_t bodySize();

    // Appends the next piece of the body to out, stopping once at least maxBytes were
    // appended: the body as a whole is lines each ending in CR LF, but a piece may end inside
    // a line. Returns false, out untouched, when the body has ended. Raises ComposeError when
    // an attached file reads short or has changed; the body's end is then never reached, so a
    // caller that stops on the error sends no truncated article.
    bool readBody(std::string& out, std::size_t maxBytes = std::size_t{1} << 20);
    // The next stretch of the body when the document holds it encoded already (a yEnc part
    // that bodySize encoded and kept), as a view valid until the next read: the caller sends it
    // from there rather than from a copy. Empty when readBody is to give the next piece; a
    // readBody that has appended something stops before such a stretch.
    std::string_view heldBody();
    // Starts the body again from its first line (for a caller that must resend).
    void restartBody();
    // False when the body is yEnc parts alone, whose lines never begin with "." (the encoder
    // escapes one there); text and the other encodings may have such lines.
    bool mayBeginLinesWithDot() const;

    // Header lines "Name: value" each with CR LF, an empty line and the whole body: the
    // document as written to a file (tests and small documents only).
    std::string wholeText();

private:
    HeaderList m_headers;
    std::string m_subject;
    std::string m_messageId;
    const ArticleBody& m_body;
    std::vector<BodySpan> m_spans;
    std::vector<CarriedFile> m_carried;
    std::optional<std::uint64_t> m_size;
    // Read position: the span, and the next line within it (a yEnc part: whether it began).
    std::size_t m_span = 0;
    std::uint64_t m_spanLine = 0;
    EncodeProgress* m_progress;
};

// Transmits one document and returns when its transmission has ended. An exception thrown
// here (a read error from readBody included) ends the composing and travels to the caller.
using SendArticle = std::function<void(OutgoingDocument&)>;

// The newsgroup batches of a posting, in order: one per group, all groups in one, or groups
// in runs of CrosspostingLimit. Empty lines are skipped and blanks around names trimmed.
std::vector<std::vector<std::string>> BuildBatches(const TProject& project);

// The program's value lists, the pools of the random header picks.
using RandomPickLists = ValueLists;

// Turns the project into documents. Holds the one article of the run; reads the project's
// fields each time it needs them (so a GUI may refresh them between batches) and writes the
// random picks back into it.
class ArticleBuilder {
public:
    ArticleBuilder(TProject& project, const RandomPickLists& lists, const TMIME& mime,
                   ComposeEnvironment env, UserPrompts& prompts,
                   EncodeProgress* progress = nullptr);

    // Every message of one batch, each handed to send (once per part when split).
    void ComposeBatch(const std::vector<std::string>& batch, const SendArticle& send);

    // The steps of one message, in the order ComposeBatch calls them.
    void BuildArticleHeaders(const std::vector<std::string>& batch, const std::string& path,
                             int count);
    void BuildArticleText();
    void AttachFile(const std::string& path);
    void AppendSignature();
    // A message with yEnc files goes out as one document per part of each file.
    void EmitArticle(const SendArticle& send);
    void EmitArticleInParts(const SendArticle& send);

    // The attached file paths as listed (empty lines skipped).
    std::vector<std::string> AttachedPaths() const;

    const TArticle& Article() const { return m_article; }
    // Subject and Message-Id of the document handed out last.
    const std::string& SentSubject() const { return m_sentSubject; }
    const std::string& SentMessageId() const { return m_sentMessageId; }

    // The items the follow-up pick draws from; the project's newsgroups unless set.
    void SetFollowUpItems(std::vector<std::string> items) {
        m_followUpItems = std::move(items);
        m_ownFollowUp = true;
    }
    ComposeEnvironment& Environment() { return m_env; }

private:
    HeaderList commonHeaders(const std::string& subject, const std::string& messageId) const;
    void send(const SendArticle& send, OutgoingDocument& document);
    // The message's yEnc files, each part in a document of its own.
    void emitYEncParts(const SendArticle& send);
    // The UUEncoded and Base64 files among lines first..end-1, as the document of those lines
    // carries them; segments counts the documents of chunk lines each (0: one document).
    std::vector<CarriedFile> filesInLines(std::uint64_t first, std::uint64_t end,
                                          std::uint64_t chunk) const;
    void addTextPartHeaders(const std::vector<std::string>& lines);
    // A MIME delimiter line ("--" and the boundary), noted so the boundary can still change.
    void addDelimiter();
    // Settles the message's boundary once its text is complete: the run's boundary, unless a
    // text line begins with "--" and it, which would end the multipart there for a reader; then
    // the first of it + "_1", "_2", ... that no text line begins with. The delimiter lines are
    // written with it.
    void settleBoundary();
    bool isMime() const;

    TProject& m_project;
    const RandomPickLists& m_lists;
    const TMIME& m_mime;
    ComposeEnvironment m_env;
    UserPrompts& m_prompts;
    EncodeProgress* m_progress;
    TArticle m_article;
    std::vector<std::size_t> m_delimiters;  // body items that are MIME delimiter lines
    std::string m_boundary;                 // the message's boundary, once settled
    LocalMoment m_articleMoment;
    std::string m_sentSubject;
    std::string m_sentMessageId;
    std::uint64_t m_message = 0;
    std::vector<std::string> m_followUpItems;
    bool m_ownFollowUp = false;
};
