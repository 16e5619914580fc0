#include "posting/nzb.h"

#include "platform/profile_file.h"
#include "platform/text.h"

#include <algorithm>
#include <cctype>

namespace {

// Text for an XML attribute or element: valid UTF-8 (a header from a Windows-1252 file is
// converted), the five special characters as entities, control characters as blanks.
std::string xmlText(const std::string& value) {
    const std::string text = decodeText(value);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c;
        }
    }
    return out;
}

std::string withoutAngleBrackets(const std::string& id) {
    std::string_view v = id;
    if (v.starts_with('<'))
        v.remove_prefix(1);
    if (v.ends_with('>'))
        v.remove_suffix(1);
    return std::string(v);
}

std::vector<std::string> groupsOf(const std::string& newsgroups) {
    std::vector<std::string> groups;
    std::size_t pos = 0;
    while (pos <= newsgroups.size()) {
        const auto comma = std::min(newsgroups.find(',', pos), newsgroups.size());
        if (comma > pos)
            groups.push_back(newsgroups.substr(pos, comma - pos));
        pos = comma + 1;
    }
    return groups;
}

}  // namespace

void TNzbRecord::Add(const std::vector<CarriedFile>& files, const std::string& from,
                     const std::string& newsgroups, const std::string& subject,
                     const std::string& messageId, std::uint64_t bytes, std::int64_t unixTime,
                     bool accepted) {
    for (const CarriedFile& carried : files) {
        auto [it, added] = m_copies.try_emplace({carried.message, carried.ordinal});
        Copy& copy = it->second;
        NzbFile& file = copy.file;
        if (added) {
            copy.order = m_copies.size();
            file.path = carried.path;
            file.name = carried.name;
            file.poster = from;
            file.subject = subject;
            file.groups = groupsOf(newsgroups);
            file.parts = carried.segments;
        }
        if (carried.segment == 1)
            file.subject = subject;
        if (!accepted)
            continue;
        copy.accepted[carried.segment] = {carried.segment, bytes, withoutAngleBrackets(messageId)};
        if (file.date == 0)
            file.date = unixTime;
    }
}

std::vector<NzbFile> TNzbRecord::Files() const {
    std::vector<std::pair<std::size_t, const Copy*>> copies;  // the file's place, the copy
    for (const auto& [key, copy] : m_copies)
        copies.emplace_back(std::get<1>(key), &copy);
    std::sort(copies.begin(), copies.end(),
              [](const auto& a, const auto& b) { return a.second->order < b.second->order; });
    // Copies of one file are the same path at the same place of their messages.
    std::vector<std::pair<std::size_t, const Copy*>> best;
    for (const auto& entry : copies) {
        // By name, not by structured binding: clang before 16 cannot capture those.
        const std::size_t ordinal = entry.first;
        const Copy* copy = entry.second;
        const auto same = std::find_if(best.begin(), best.end(), [&](const auto& b) {
            return b.first == ordinal && b.second->file.path == copy->file.path;
        });
        if (same == best.end())
            best.emplace_back(ordinal, copy);
        else if (copy->accepted.size() > same->second->accepted.size())
            same->second = copy;
    }
    std::vector<NzbFile> files;
    for (const auto& [ordinal, copy] : best) {
        NzbFile file = copy->file;
        for (const auto& [number, segment] : copy->accepted)
            file.segments.push_back(segment);
        files.push_back(std::move(file));
    }
    return files;
}

std::string NzbXml(const std::vector<NzbFile>& files) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
        "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
        "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";
    for (const NzbFile& file : files) {
        if (file.segments.empty())
            continue;
        xml += " <file poster=\"" + xmlText(file.poster) + "\" date=\"" +
               std::to_string(file.date) + "\" subject=\"" + xmlText(file.subject) + "\">\n";
        xml += "  <groups>\n";
        for (const auto& group : file.groups)
            xml += "   <group>" + xmlText(group) + "</group>\n";
        xml += "  </groups>\n  <segments>\n";
        for (const auto& s : file.segments)
            xml += "   <segment bytes=\"" + std::to_string(s.bytes) + "\" number=\"" +
                   std::to_string(s.number) + "\">" + xmlText(s.messageId) + "</segment>\n";
        xml += "  </segments>\n </file>\n";
    }
    return xml + "</nzb>\n";
}

std::filesystem::path NzbPathForProject(const std::string& projectName,
                                        const std::filesystem::path& dataFolder, std::time_t now) {
    if (projectName.find('/') != std::string::npos) {
        std::filesystem::path path(projectName);
        std::string extension = path.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".kv32")
            path.replace_extension(".nzb");
        else
            path += ".nzb";
        return path;
    }
    std::string base;
    for (const char c : projectName)
        base += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    if (base.empty())
        base = "Untitled";
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return dataFolder / (base + "-" + stamp + ".nzb");
}

void WriteNzbFile(const std::filesystem::path& path, const std::string& xml) {
    writeFileAtomically(path, xml);
}
