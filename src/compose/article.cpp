#include "compose/article.h"

#include "platform/text.h"
#include "platform/user_prompts.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::string trimBlanks(std::string_view s) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

bool hasHighBytes(const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        for (char c : l)
            if (static_cast<unsigned char>(c) > 127)
                return true;
    return false;
}

// Writes a random pick from list into field, when the list has entries.
void pick(const std::vector<std::string>& list, std::string& field) {
    if (!list.empty())
        field = list[static_cast<std::size_t>(
            RandomBelow(static_cast<std::int32_t>(std::min<std::size_t>(list.size(), INT32_MAX))))];
}

// NNTP forbids NUL in an article, and servers and readers cut or refuse one that holds it; in
// text it becomes a blank, as control characters in header values do.
std::vector<std::string> withoutNul(std::vector<std::string> lines) {
    for (auto& line : lines)
        std::replace(line.begin(), line.end(), '\0', ' ');
    return lines;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

// ---- ArticleBody --------------------------------------------------------------------------

void ArticleBody::addLine(std::string line) {
    m_items.push_back({std::move(line), nullptr, nullptr});
    ++m_lines;
}

void ArticleBody::addLines(const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        addLine(l);
}

void ArticleBody::addAttachment(std::shared_ptr<AttachedFile> file) {
    m_lines += file->lineCount();
    m_items.push_back({{}, std::move(file), nullptr});
}

void ArticleBody::replaceLine(std::size_t item, std::string line) {
    m_items.at(item).line = std::move(line);
}

void ArticleBody::addYEnc(std::shared_ptr<YEncFile> file) {
    ++m_yencFiles;
    m_items.push_back({{}, nullptr, std::move(file)});
}

std::vector<std::string> ArticleBody::allLines() const {
    std::vector<std::string> lines;
    for (const auto& item : m_items) {
        if (item.file) {
            auto fileLines = item.file->allLines();
            std::move(fileLines.begin(), fileLines.end(), std::back_inserter(lines));
        } else if (item.yenc) {
            for (std::uint32_t k = 1; k <= item.yenc->partCount(); ++k) {
                const std::string text = item.yenc->partText(k);
                for (std::size_t pos = 0; pos < text.size();) {
                    const auto end = text.find("\r\n", pos);
                    lines.push_back(text.substr(pos, end - pos));
                    pos = end + 2;
                }
            }
        } else {
            lines.push_back(item.line);
        }
    }
    return lines;
}

// ---- OutgoingDocument ---------------------------------------------------------------------

namespace {

// The spans of lines firstLine..endLine-1 of a body.
std::vector<BodySpan> lineSpans(const ArticleBody& body, std::uint64_t firstLine,
                                std::uint64_t endLine) {
    std::vector<BodySpan> spans;
    std::uint64_t line = 0;
    for (std::size_t i = 0; i < body.items().size() && line < endLine; ++i) {
        const auto& item = body.items()[i];
        if (item.yenc)
            continue;
        const std::uint64_t n = item.file ? item.file->lineCount() : 1;
        if (line + n > firstLine)
            spans.push_back(
                {i, std::max(line, firstLine) - line, std::min(line + n, endLine) - line});
        line += n;
    }
    return spans;
}

}  // namespace

OutgoingDocument::OutgoingDocument(HeaderList headers, const ArticleBody& body,
                                   std::uint64_t firstLine, std::uint64_t endLine,
                                   EncodeProgress* progress)
    : OutgoingDocument(std::move(headers), body, lineSpans(body, firstLine, endLine), progress) {}

OutgoingDocument::OutgoingDocument(HeaderList headers, const ArticleBody& body,
                                   std::vector<BodySpan> spans, EncodeProgress* progress)
    : m_headers(std::move(headers)), m_body(body), m_spans(std::move(spans)), m_progress(progress) {
    for (const auto& [name, value] : m_headers) {
        if (name == "Subject")
            m_subject = value;
        else if (name == "Message-Id")
            m_messageId = value;
    }
    restartBody();
}

std::uint64_t OutgoingDocument::bodySize() {
    if (!m_size) {
        std::uint64_t size = 0;
        for (const BodySpan& span : m_spans) {
            const auto& item = m_body.items()[span.item];
            if (item.file)
                size += item.file->byteCount(span.first, span.last);
            else if (item.yenc)
                size += item.yenc->partSize(static_cast<std::uint32_t>(span.first), m_progress);
            else
                size += item.line.size() + 2;
        }
        m_size = size;
    }
    return *m_size;
}

bool OutgoingDocument::mayBeginLinesWithDot() const {
    return std::any_of(m_spans.begin(), m_spans.end(),
                       [&](const BodySpan& span) { return !m_body.items()[span.item].yenc; });
}

void OutgoingDocument::restartBody() {
    m_span = 0;
    m_spanLine = m_spans.empty() ? 0 : m_spans.front().first;
}

bool OutgoingDocument::readBody(std::string& out, std::size_t maxBytes) {
    if (m_span >= m_spans.size())
        return false;
    const std::size_t start = out.size();
    while (m_span < m_spans.size() && (out.size() == start || out.size() - start < maxBytes)) {
        const BodySpan& span = m_spans[m_span];
        const auto& item = m_body.items()[span.item];
        if (item.yenc && out.size() > start && m_spanLine == span.first &&
            item.yenc->keepsPart(static_cast<std::uint32_t>(span.first)))
            break;  // for heldBody
        const std::size_t done = out.size() - start;
        const std::size_t room = maxBytes > done ? maxBytes - done : 1;
        bool ended = true;
        if (item.file) {
            m_spanLine = item.file->appendLines(out, m_spanLine, span.last, room, m_progress);
            ended = m_spanLine >= span.last;
        } else if (item.yenc) {
            const auto part = static_cast<std::uint32_t>(span.first);
            if (m_spanLine == span.first) {
                item.yenc->beginPart(part, m_progress);
                m_spanLine = span.first + 1;
            }
            item.yenc->nextPart(out, room);
            ended = item.yenc->partEnded();
        } else {
            out += item.line;
            out += "\r\n";
        }
        if (ended && ++m_span < m_spans.size())
            m_spanLine = m_spans[m_span].first;
    }
    return true;
}

std::string_view OutgoingDocument::heldBody() {
    if (m_span >= m_spans.size())
        return {};
    const BodySpan& span = m_spans[m_span];
    const auto& item = m_body.items()[span.item];
    if (!item.yenc)
        return {};
    const auto part = static_cast<std::uint32_t>(span.first);
    if (m_spanLine == span.first) {
        if (!item.yenc->keepsPart(part))
            return {};
        item.yenc->beginPart(part, m_progress);
        m_spanLine = span.first + 1;
    }
    const std::string_view held = item.yenc->heldPart();
    if (!held.empty() && ++m_span < m_spans.size())
        m_spanLine = m_spans[m_span].first;
    return held;
}

std::string OutgoingDocument::wholeText() {
    std::string text;
    for (const auto& [name, value] : m_headers)
        text += name + ": " + value + "\r\n";
    text += "\r\n";
    restartBody();
    while (readBody(text)) {
    }
    return text;
}

// ---- Batches ------------------------------------------------------------------------------

std::vector<std::vector<std::string>> BuildBatches(const TProject& project) {
    std::vector<std::string> groups;
    for (const auto& line : project.Newsgroups) {
        std::string name = trimBlanks(line);
        if (!name.empty())
            groups.push_back(std::move(name));
    }
    std::vector<std::vector<std::string>> batches;
    if (!project.Crosspost) {
        for (auto& g : groups)
            batches.push_back({std::move(g)});
    } else if (!project.LimitCrossposting) {
        batches.push_back(std::move(groups));
    } else {
        const std::size_t k =
            static_cast<std::size_t>(std::max<std::int32_t>(1, project.CrosspostingLimit));
        for (std::size_t i = 0; i < groups.size(); i += k)
            batches.emplace_back(
                groups.begin() + static_cast<std::ptrdiff_t>(i),
                groups.begin() + static_cast<std::ptrdiff_t>(std::min(groups.size(), i + k)));
    }
    return batches;
}

// ---- ArticleBuilder -----------------------------------------------------------------------

ArticleBuilder::ArticleBuilder(TProject& project, const RandomPickLists& lists, const TMIME& mime,
                               ComposeEnvironment env, UserPrompts& prompts,
                               EncodeProgress* progress)
    : m_project(project),
      m_lists(lists),
      m_mime(mime),
      m_env(std::move(env)),
      m_prompts(prompts),
      m_progress(progress) {
    if (!m_env.now)
        m_env.now = SystemLocalMoment;
}

bool ArticleBuilder::isMime() const {
    return m_project.EncodingMethod == kMethodBase64;
}

std::vector<std::string> ArticleBuilder::AttachedPaths() const {
    std::vector<std::string> paths;
    for (auto& line : splitLines(m_project.AttachmentsText))
        if (!line.empty())
            paths.push_back(std::move(line));
    return paths;
}

void ArticleBuilder::BuildArticleHeaders(const std::vector<std::string>& batch,
                                         const std::string& path, int count) {
    TProject& p = m_project;
    if (p.RandomizeFromName)
        pick(m_lists.Names, p.FromName);
    if (p.RandomizeFromEmailAddress)
        pick(m_lists.EmailAddresses, p.FromEmailAddress);
    if (p.FromName.empty() && p.FromEmailAddress.empty())
        throw ComposeError(kNeedNameOrAddress);
    if (p.FromName.empty())
        m_article.From = CleanHeaderValue(p.FromEmailAddress);
    else if (p.FromEmailAddress.empty())
        m_article.From = CleanHeaderValue(p.FromName);
    else
        m_article.From = CleanHeaderValue(p.FromName + " <" + p.FromEmailAddress + ">");

    ++m_message;
    m_articleMoment = m_env.now();
    m_article.Date = DateValue(m_articleMoment);

    if (batch.empty())
        throw ComposeError(kNeedNewsgroup);
    std::string groups;
    for (const auto& g : batch)
        groups += (groups.empty() ? "" : ",") + g;
    m_article.Newsgroups = CleanHeaderValue(groups);

    if (p.RandomizeSubject)
        pick(m_lists.Subjects, p.Subject);
    if (p.Subject.empty())
        throw ComposeError(kNeedSubject);
    std::string subject = p.Subject;
    if (count == 1)
        subject += " - " + FileNameOfPath(path);
    else if (count > 1)
        subject += " - multiple attachments";
    m_article.Subject = CleanHeaderValue(subject);

    m_article.MessageId = NewMessageId(m_env);

    if (p.RandomizeReplyToEmailAddress)
        pick(m_lists.EmailAddresses, p.ReplyToEmailAddress);
    m_article.ReplyTo = CleanHeaderValue(p.ReplyToEmailAddress);
    if (p.RandomizeOrganization)
        pick(m_lists.Organizations, p.Organization);
    m_article.Organization = CleanHeaderValue(p.Organization);
    if (p.RandomizeFollowUpTo)
        pick(m_ownFollowUp ? m_followUpItems : p.Newsgroups, p.FollowUpTo);
    m_article.FollowupTo = CleanHeaderValue(p.FollowUpTo);
    m_article.XNoArchive = p.XNoArchive;
}

void ArticleBuilder::addDelimiter() {
    m_delimiters.push_back(m_article.Body.items().size());
    m_article.Body.addLine("--" + m_mime.Boundary);
}

void ArticleBuilder::settleBoundary() {
    const auto& items = m_article.Body.items();
    std::vector<bool> delimiter(items.size());
    for (std::size_t i : m_delimiters)
        delimiter[i] = true;
    const auto collides = [&](const std::string& boundary) {
        const std::string start = "--" + boundary;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (!delimiter[i] && !items[i].file && !items[i].yenc &&
                items[i].line.starts_with(start))
                return true;
        return false;
    };
    m_boundary = m_mime.Boundary;
    for (int n = 1; collides(m_boundary); ++n)
        m_boundary = m_mime.Boundary + "_" + std::to_string(n);
    for (std::size_t i : m_delimiters)
        m_article.Body.replaceLine(i, "--" + m_boundary);
}

void ArticleBuilder::addTextPartHeaders(const std::vector<std::string>& lines) {
    ArticleBody& body = m_article.Body;
    addDelimiter();
    // Text with bytes above 127 is UTF-8 here; calling it us-ascii would garble it.
    if (hasHighBytes(lines)) {
        body.addLine("Content-Type: text/plain; charset=utf-8");
        body.addLine("Content-Transfer-Encoding: 8bit");
    } else {
        body.addLine("Content-Type: text/plain; charset=us-ascii");
        body.addLine("Content-Transfer-Encoding: 7bit");
    }
    body.addLine("");
}

void ArticleBuilder::BuildArticleText() {
    ArticleBody& body = m_article.Body;
    body.clear();
    m_delimiters.clear();
    const std::vector<std::string> lines = withoutNul(m_project.Body);
    if (isMime()) {
        body.addLine("This is a multi-part message in MIME format.");
        addTextPartHeaders(lines);
    }
    body.addLines(lines);
    if (isMime())
        body.addLine("");
}

void ArticleBuilder::AttachFile(const std::string& path) {
    if (m_project.EncodingMethod == kMethodYEnc) {
        // yEnc carries its own frame: no "Cut Here" lines, no MIME part.
        if (auto file = OpenYEncAttachment(path, m_prompts))
            m_article.Body.addYEnc(std::move(file));
        return;
    }
    auto file = OpenAttachment(m_project.EncodingMethod, path, m_prompts);
    if (!file)
        return;
    ArticleBody& body = m_article.Body;
    const bool cutHere = !isMime() && m_project.CutHere;
    // The cut lines are body text and repeat the path as listed; only a line break, which would
    // cut the line in two, becomes a blank.
    std::string listed = path;
    std::replace_if(
        listed.begin(), listed.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (cutHere)
        body.addLine("BEGIN --- CUT HERE --- Cut Here --- cut here --- " + listed);
    if (isMime())
        addDelimiter();
    body.addAttachment(std::move(file));
    if (cutHere)
        body.addLine("END --- CUT HERE --- Cut Here --- cut here --- " + listed);
}

void ArticleBuilder::AppendSignature() {
    const std::string& path = m_project.SignatureFile;
    if (path.empty() || !isRegularFile(path))
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::vector<std::string> lines = withoutNul(splitLines(decodeText(bytes.str())));
    if (isMime())
        addTextPartHeaders(lines);
    m_article.Body.addLines(lines);
    if (isMime())
        m_article.Body.addLine("");
}

HeaderList ArticleBuilder::commonHeaders(const std::string& subject,
                                         const std::string& messageId) const {
    HeaderList h{{"From", m_article.From},
                 {"Date", m_article.Date},
                 {"Newsgroups", m_article.Newsgroups},
                 {"Subject", subject},
                 {"Message-Id", messageId}};
    if (!m_article.ReplyTo.empty())
        h.emplace_back("Reply-To", m_article.ReplyTo);
    if (!m_article.Organization.empty())
        h.emplace_back("Organization", m_article.Organization);
    if (!m_article.FollowupTo.empty())
        h.emplace_back("Followup-To", m_article.FollowupTo);
    if (m_article.XNoArchive == "Yes")
        h.emplace_back("X-No-Archive", "Yes");
    return h;
}

void ArticleBuilder::send(const SendArticle& sendArticle, OutgoingDocument& document) {
    m_sentSubject = document.subject();
    m_sentMessageId = document.messageId();
    sendArticle(document);
}

std::vector<CarriedFile> ArticleBuilder::filesInLines(std::uint64_t first, std::uint64_t end,
                                                      std::uint64_t chunk) const {
    std::vector<CarriedFile> files;
    std::uint64_t line = 0;
    std::size_t ordinal = 0;
    for (const auto& item : m_article.Body.items()) {
        const std::uint64_t n = item.file ? item.file->lineCount() : item.yenc ? 0 : 1;
        if (item.file && line < end && line + n > first) {
            CarriedFile f;
            f.message = m_message;
            f.ordinal = ordinal;
            f.path = item.file->path();
            f.name = CleanHeaderValue(FileNameOfPath(f.path));
            if (chunk != 0) {
                // The documents of chunk lines each that hold some of the file's lines.
                f.segment = static_cast<std::uint32_t>(first / chunk - line / chunk + 1);
                f.segments = static_cast<std::uint32_t>((line + n - 1) / chunk - line / chunk + 1);
            }
            files.push_back(std::move(f));
        }
        if (item.file)
            ++ordinal;
        line += n;
    }
    return files;
}

void ArticleBuilder::EmitArticle(const SendArticle& sendArticle) {
    if (m_article.Body.hasYEnc()) {
        emitYEncParts(sendArticle);
        return;
    }
    const std::int64_t s = m_project.SplitLines;
    if (m_project.SplitLargeMessages &&
        static_cast<std::int64_t>(m_article.Body.lineCount()) + 1 > s) {
        EmitArticleInParts(sendArticle);
        return;
    }
    HeaderList headers = commonHeaders(m_article.Subject, m_article.MessageId);
    if (isMime()) {
        settleBoundary();
        headers.emplace_back("Mime-Version", m_mime.MimeVersion);
        headers.emplace_back("Content-Type",
                             m_boundary == m_mime.Boundary
                                 ? m_mime.ContentType
                                 : "multipart/mixed; boundary=\"" + m_boundary + "\"");
        m_article.Body.addLine("--" + m_boundary + "--");
    }
    const std::uint64_t total = m_article.Body.lineCount();
    OutgoingDocument document(std::move(headers), m_article.Body, 0, total, m_progress);
    document.setCarriedFiles(filesInLines(0, total, 0));
    send(sendArticle, document);
}

void ArticleBuilder::EmitArticleInParts(const SendArticle& sendArticle) {
    if (isMime())
        settleBoundary();
    const std::uint64_t total = m_article.Body.lineCount();
    // A threshold of 1 (or less, from a hand-edited project) leaves the body whole.
    const std::uint64_t chunk =
        m_project.SplitLines > 1 ? static_cast<std::uint64_t>(m_project.SplitLines) - 1 : total;
    const std::uint64_t n =
        chunk == 0 ? 1 : std::max<std::uint64_t>(1, (total + chunk - 1) / chunk);
    for (std::uint64_t k = 1; k <= n; ++k) {
        const std::string subject =
            m_article.Subject + " [" + std::to_string(k) + "/" + std::to_string(n) + "]";
        HeaderList headers = commonHeaders(subject, NewMessageId(m_env));
        const std::uint64_t first = (k - 1) * chunk;
        const std::uint64_t end = std::min(total, first + chunk);
        OutgoingDocument document(std::move(headers), m_article.Body, first, end, m_progress);
        document.setCarriedFiles(filesInLines(first, end, chunk));
        send(sendArticle, document);
    }
}

void ArticleBuilder::emitYEncParts(const SendArticle& sendArticle) {
    const auto& items = m_article.Body.items();
    // Splitting cuts each file into parts of as many bytes as the line limit's worth of
    // 128-character lines holds, so a part has about SplitLines - 1 lines of data.
    const std::uint64_t partBytes = m_project.SplitLargeMessages && m_project.SplitLines > 1
                                        ? std::uint64_t(m_project.SplitLines - 1) * kYEncLineLength
                                        : 0;
    std::vector<std::size_t> files;
    std::uint64_t documents = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].yenc)
            continue;
        items[i].yenc->setPartBytes(partBytes);
        documents += items[i].yenc->partCount();
        files.push_back(i);
    }
    // Text before a file goes with its first part (the message text with the first file's),
    // text after the last file (the signature) with the last part.
    std::uint64_t number = 0;
    std::size_t nextText = 0;
    for (std::size_t f = 0; f < files.size(); ++f) {
        YEncFile& file = *items[files[f]].yenc;
        const std::uint32_t parts = file.partCount();
        for (std::uint32_t part = 1; part <= parts; ++part) {
            ++number;
            std::vector<BodySpan> spans;
            for (; part == 1 && nextText < files[f]; ++nextText)
                spans.push_back({nextText, 0, 1});
            spans.push_back({files[f], part, part});
            nextText = files[f] + 1;
            if (number == documents)
                for (std::size_t i = nextText; i < items.size(); ++i)
                    spans.push_back({i, 0, 1});
            std::string subject = m_article.Subject;
            if (documents > 1)
                subject += " [" + std::to_string(number) + "/" + std::to_string(documents) + "]";
            subject += " yEnc (" + std::to_string(part) + "/" + std::to_string(parts) + ")";
            OutgoingDocument document(
                commonHeaders(subject, documents > 1 ? NewMessageId(m_env) : m_article.MessageId),
                m_article.Body, std::move(spans), m_progress);
            document.setCarriedFiles({{m_message, f, file.path(), file.name(), part, parts}});
            send(sendArticle, document);
        }
    }
}

void ArticleBuilder::ComposeBatch(const std::vector<std::string>& batch,
                                  const SendArticle& sendArticle) {
    const std::vector<std::string> paths = AttachedPaths();
    const int m = static_cast<int>(std::min<std::size_t>(paths.size(), INT32_MAX));
    if (m_project.PostSeparateMessageForEachAttachedFile && m >= 1) {
        for (const auto& path : paths) {
            BuildArticleHeaders(batch, path, 1);
            BuildArticleText();
            AttachFile(path);
            AppendSignature();
            EmitArticle(sendArticle);
        }
    } else if (m >= 1) {
        BuildArticleHeaders(batch, m == 1 ? paths.front() : std::string(), m);
        BuildArticleText();
        for (const auto& path : paths)
            AttachFile(path);
        AppendSignature();
        EmitArticle(sendArticle);
    } else {
        BuildArticleHeaders(batch, {}, 0);
        BuildArticleText();
        AppendSignature();
        EmitArticle(sendArticle);
    }
}
