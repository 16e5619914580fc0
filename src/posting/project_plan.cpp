#include "posting/project_plan.h"

#include <memory>

namespace {

// Hands the client the builder's document a piece at a time; the document outlives the
// transfer because the session's send returns only when the transfer has ended.
class DocumentBody : public NntpBodySource {
public:
    explicit DocumentBody(OutgoingDocument& document) : m_document(document) {}

    std::uint64_t size() const override { return m_document.bodySize(); }
    bool next(std::string& out) override { return m_document.readBody(out, kPiece); }

private:
    static constexpr std::size_t kPiece = std::size_t{256} << 10;
    OutgoingDocument& m_document;
};

}  // namespace

int ProjectPostingPlan::BatchCount() {
    m_batches = BuildBatches(m_project);
    return static_cast<int>(m_batches.size());
}

void ProjectPostingPlan::ComposeBatch(int batch, const PostingSend& send) {
    m_builder.ComposeBatch(m_batches.at(static_cast<std::size_t>(batch)),
                           [&](OutgoingDocument& document) {
                               PostingDocument outgoing;
                               outgoing.Headers = document.headers();
                               outgoing.Body = std::make_unique<DocumentBody>(document);
                               outgoing.From = m_builder.Article().From;
                               outgoing.Newsgroups = m_builder.Article().Newsgroups;
                               outgoing.SentSubject = document.subject();
                               outgoing.SentMessageId = document.messageId();
                               send(outgoing);
                           });
}
