#include "posting/project_plan.h"

#include <exception>
#include <memory>

namespace {

// Hands the client the builder's document a piece at a time; the document outlives the
// transfer because the session's send returns only when the transfer has ended. A file that
// cannot be read aborts the transfer (the client sends no final ".") and is noted, so the
// posting can end on it as on any other error of the builder.
class DocumentBody : public NntpBodySource {
public:
    DocumentBody(OutgoingDocument& document, std::exception_ptr& failure)
        : m_document(document), m_failure(failure) {}

    std::uint64_t size() const override { return m_document.bodySize(); }
    bool mayBeginLinesWithDot() const override { return m_document.mayBeginLinesWithDot(); }
    bool next(std::string& out) override {
        try {
            return m_document.readBody(out, kPiece);
        } catch (...) {
            m_failure = std::current_exception();
            throw;
        }
    }
    std::string_view held() override { return m_document.heldBody(); }

private:
    static constexpr std::size_t kPiece = std::size_t{256} << 10;
    OutgoingDocument& m_document;
    std::exception_ptr& m_failure;
};

}  // namespace

int ProjectPostingPlan::BatchCount() {
    m_batches = BuildBatches(m_project);
    return static_cast<int>(m_batches.size());
}

void ProjectPostingPlan::ComposeBatch(int batch, const PostingSend& send) {
    m_builder.ComposeBatch(m_batches.at(static_cast<std::size_t>(batch)),
                           [&](OutgoingDocument& document) {
                               std::exception_ptr failure;
                               PostingDocument outgoing;
                               outgoing.Headers = document.headers();
                               outgoing.Body = std::make_unique<DocumentBody>(document, failure);
                               outgoing.From = m_builder.Article().From;
                               outgoing.Newsgroups = m_builder.Article().Newsgroups;
                               outgoing.SentSubject = document.subject();
                               outgoing.SentMessageId = document.messageId();
                               outgoing.Files = document.carriedFiles();
                               send(outgoing);
                               if (failure)
                                   std::rethrow_exception(failure);
                           });
}
