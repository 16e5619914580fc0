#pragma once

#include "compose/attachment.h"
#include "compose/compose_error.h"
#include "compose/identity.h"
#include "model/advanced_storage.h"
#include "model/project.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class UserPrompts;

inline constexpr const char* kNeedNameOrAddress =
    "A name or e-mail address is reqired to post a message";
inline constexpr const char* kNeedNewsgroup = "A newsgroup is reqired to post a message";
inline constexpr const char* kNeedSubject = "A subject is reqired to post a message";

// An article's body: text lines and attached files, in order. An attached file counts as its
// encoded lines, which are known by number before any byte is encoded.
class ArticleBody {
public:
    void clear() {
        m_items.clear();
        m_lines = 0;
    }
    void addLine(std::string line);
    void addLines(const std::vector<std::string>& lines);
    void addAttachment(std::shared_ptr<AttachedFile> file);
    std::uint64_t lineCount() const { return m_lines; }
    // The text lines and the attached files' lines, attached files encoded now (tests only).
    std::vector<std::string> allLines() const;

    struct Item {
        std::string line;                    // when file is null
        std::shared_ptr<AttachedFile> file;  // an attached file's lines
    };
    const std::vector<Item>& items() const { return m_items; }

private:
    std::vector<Item> m_items;
    std::uint64_t m_lines = 0;
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
    OutgoingDocument(HeaderList headers, const ArticleBody& body, std::uint64_t firstLine,
                     std::uint64_t endLine, EncodeProgress* progress);

    const HeaderList& headers() const { return m_headers; }
    // The Subject and Message-Id header values.
    const std::string& subject() const { return m_subject; }
    const std::string& messageId() const { return m_messageId; }

    // Bytes of the body, every line ending in CR LF, not dot-stuffed. Exact before anything
    // is read.
    std::uint64_t bodySize() const { return m_size; }
    std::uint64_t bodyLineCount() const { return m_end - m_first; }

    // Appends the next whole lines of the body (each ending in CR LF) to out, stopping once
    // at least maxBytes were appended. Returns false, out untouched, when the body has ended.
    // Raises ComposeError when an attached file reads short or has changed size; the body's
    // end is then never reached, so a caller that stops on the error sends no truncated
    // article.
    bool readBody(std::string& out, std::size_t maxBytes = std::size_t{1} << 20);
    // Starts the body again from its first line (for a caller that must resend).
    void restartBody();

    // Header lines "Name: value" each with CR LF, an empty line and the whole body: the
    // document as written to a file (tests and small documents only).
    std::string wholeText();

private:
    HeaderList m_headers;
    std::string m_subject;
    std::string m_messageId;
    const ArticleBody& m_body;
    std::uint64_t m_first;
    std::uint64_t m_end;
    std::uint64_t m_size = 0;
    // Read position: item index, line within the item, and body line number.
    std::size_t m_item = 0;
    std::uint64_t m_itemLine = 0;
    std::uint64_t m_line = 0;
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
    void send(const SendArticle& send, HeaderList headers, std::uint64_t first, std::uint64_t end);
    void addTextPartHeaders(const std::vector<std::string>& lines);
    bool isMime() const;

    TProject& m_project;
    const RandomPickLists& m_lists;
    const TMIME& m_mime;
    ComposeEnvironment m_env;
    UserPrompts& m_prompts;
    EncodeProgress* m_progress;
    TArticle m_article;
    LocalMoment m_articleMoment;
    std::string m_sentSubject;
    std::string m_sentMessageId;
    std::vector<std::string> m_followUpItems;
    bool m_ownFollowUp = false;
};
