#pragma once

#include "compose/article.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// NZB files (version 1.1): the XML list download tools take, of every attached file of a posting
// with the Message-IDs of the articles that carry it.

struct NzbSegment {
    std::uint32_t number = 0;
    std::uint64_t bytes = 0;  // the article's bytes as sent: headers and body
    std::string messageId;    // without angle brackets
};

struct NzbFile {
    std::string path;  // as listed
    std::string name;
    std::string poster;     // the From header
    std::string subject;    // of the file's first article
    std::int64_t date = 0;  // Unix time its first article was accepted
    std::vector<std::string> groups;
    std::vector<NzbSegment> segments;  // the accepted articles, by number
    std::uint32_t parts = 0;           // the articles the file was posted in
    bool complete() const { return segments.size() == parts; }
};

// What a posting (or an export) did with the attached files, article by article.
class TNzbRecord {
public:
    void Clear() { m_copies.clear(); }
    // An article has been sent: accepted when the server took it (240). Articles that carry no
    // attached file are not recorded.
    void Add(const std::vector<CarriedFile>& files, const std::string& from,
             const std::string& newsgroups, const std::string& subject,
             const std::string& messageId, std::uint64_t bytes, std::int64_t unixTime,
             bool accepted);
    // True when no article carried an attached file.
    bool Empty() const { return m_copies.empty(); }

    // Every attached file, in the order they were first posted. A file posted to several
    // batches of newsgroups was posted several times; its entry is the posting the server
    // accepted the most articles of (the first of those).
    std::vector<NzbFile> Files() const;

private:
    // A file in one message: the message's number, the file's place in it.
    using CopyKey = std::tuple<std::uint64_t, std::size_t>;
    struct Copy {
        std::size_t order = 0;
        NzbFile file;
        std::map<std::uint32_t, NzbSegment> accepted;
    };
    std::map<CopyKey, Copy> m_copies;
};

// The NZB document of the files with at least one accepted article.
std::string NzbXml(const std::vector<NzbFile>& files);

// Where "Save NZB File" puts a posting's NZB file: beside a project file, as its name with
// ".nzb" in place of ".kv32"; for a project without a file (named "Untitled", or a key name),
// in the data folder as that name with the moment's date and time, so no posting replaces
// another one's.
std::filesystem::path NzbPathForProject(const std::string& projectName,
                                        const std::filesystem::path& dataFolder, std::time_t now);

// Replaces the file with the document in one atomic step; raises std::runtime_error with the
// reason when it cannot.
void WriteNzbFile(const std::filesystem::path& path, const std::string& xml);
