#pragma once

#include "compose/carried_file.h"
#include "posting/nntp.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One article as the posting session transmits it: the header lines in order, the body made on
// demand while it is sent, and the values the progress lines show.
struct PostingDocument {
    std::vector<std::pair<std::string, std::string>> Headers;
    std::unique_ptr<NntpBodySource> Body;
    std::string From;
    std::string Newsgroups;
    std::string SentSubject;
    std::string SentMessageId;
    // The attached files the article carries a share of, for the NZB file.
    std::vector<CarriedFile> Files;
};

// Transmits one document and returns when the transfer has ended.
using PostingSend = std::function<void(PostingDocument& document)>;

// The articles of one posting, batch by batch. BatchCount is asked once, after the connection
// is up; ComposeBatch builds the batch's articles in order and hands each to send. Errors that
// end the posting (a required field missing, a file that cannot be read) are thrown as
// std::exception whose what() is the text the user is shown.
class PostingPlan {
public:
    virtual ~PostingPlan() = default;
    virtual int BatchCount() = 0;
    virtual void ComposeBatch(int batch, const PostingSend& send) = 0;
};
