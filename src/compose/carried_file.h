#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// An attached file's share of a document, as an NZB file lists it: the document is segment
// `segment` of the `segments` documents that carry the file within one message.
struct CarriedFile {
    // The builder's count of messages: a file posted to two batches is in two messages.
    std::uint64_t message = 0;
    std::size_t ordinal = 0;  // the file's place among the message's attached files, from 0
    std::string path;         // as listed
    std::string name;
    std::uint32_t segment = 1;
    std::uint32_t segments = 1;
};
