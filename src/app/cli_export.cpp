#include "app/cli.h"

#include "app/cli_support.h"
#include "app/console_prompts.h"
#include "compose/article.h"
#include "posting/nzb.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// A failure to write an exported document; ends the command like a builder error.
struct ExportWriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file of the export, written under a new name of its own in the folder and renamed into
// place once whole: no name already in the folder (a link to another file, say) is written
// through, and no half-written file ever stands under the final name.
class NewFile {
public:
    NewFile(const std::filesystem::path& dir, const std::string& name)
        : m_final((dir / name).string()), m_temp((dir / ("." + name + ".XXXXXX")).string()) {
        m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
        if (m_fd < 0)
            fail();
        // mkostemp makes it private; an export is as readable as any file the user creates.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(m_fd, 0666 & ~mask) != 0)
            fail();
    }
    ~NewFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_placed)
            ::unlink(m_temp.c_str());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail();
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    void place() {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 || ::rename(m_temp.c_str(), m_final.c_str()) != 0)
            fail();
        m_placed = true;
    }

private:
    [[noreturn]] void fail() {
        throw ExportWriteError("Could not write " + m_final + ": " + std::strerror(errno));
    }

    std::string m_final;
    std::string m_temp;
    int m_fd = -1;
    bool m_placed = false;
};

std::string headerValue(const HeaderList& headers, std::string_view name) {
    for (const auto& [header, value] : headers)
        if (header == name)
            return value;
    return {};
}

// The names the documents get: NNNN.eml, four digits or more.
bool isDocumentName(std::string_view name) {
    if (!name.ends_with(".eml"))
        return false;
    name.remove_suffix(4);
    return name.size() >= 4 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Writes one document as NNNN.eml, as a new file, so a document whose body failed half-way (a
// file that changed while it was read) never appears as a finished one.
class DocumentWriter {
public:
    explicit DocumentWriter(std::filesystem::path dir) : m_dir(std::move(dir)) {}

    void operator()(OutgoingDocument& doc) {
        char name[32];
        std::snprintf(name, sizeof name, "%04d.eml", ++m_count);
        NewFile file(m_dir, name);
        m_buffer.clear();
        for (const auto& [header, value] : doc.headers())
            m_buffer += header + ": " + value + "\r\n";
        m_buffer += "\r\n";
        // The body is encoded a piece at a time into one reused buffer, so memory stays flat
        // however large the attached files are.
        std::uint64_t bytes = 0;
        while (doc.readBody(m_buffer, kChunk)) {
            file.write(m_buffer);
            bytes += m_buffer.size();
            m_buffer.clear();
        }
        file.write(m_buffer);
        bytes += m_buffer.size();
        file.place();
        m_nzb.Add(doc.carriedFiles(), headerValue(doc.headers(), "From"),
                  headerValue(doc.headers(), "Newsgroups"), doc.subject(), doc.messageId(), bytes,
                  std::time(nullptr), true);
    }

    // The attached files of the documents written, for posting.nzb.
    const TNzbRecord& nzb() const { return m_nzb; }

    int count() const { return m_count; }

private:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    std::filesystem::path m_dir;
    std::string m_buffer;
    int m_count = 0;
    TNzbRecord m_nzb;
};

// A new export does not mix with an earlier one: the documents already in the folder are
// removed when the user says so, and are otherwise a reason to stop. Nothing else in the
// folder is touched. False after a message.
bool clearEarlierExport(const std::filesystem::path& dir, const std::string& shown, bool replace,
                        UserPrompts& prompts) {
    std::vector<std::filesystem::path> earlier;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (isDocumentName(entry.path().filename().string()))
            earlier.push_back(entry.path());
    if (ec) {
        prompts.error("Cannot read the folder \"" + shown + "\": " + ec.message());
        return false;
    }
    if (earlier.empty())
        return true;
    if (!replace) {
        std::sort(earlier.begin(), earlier.end());
        std::string which = earlier.front().filename().string();
        if (earlier.size() > 1)
            which += " to " + earlier.back().filename().string();
        prompts.error("The folder \"" + shown + "\" already holds " +
                      std::to_string(earlier.size()) + " exported document" +
                      (earlier.size() == 1 ? "" : "s") + " (" + which +
                      "). Nothing was exported; give --replace to replace them.");
        return false;
    }
    for (const auto& file : earlier)
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            prompts.error("Cannot remove \"" + file.string() + "\": " + std::strerror(errno));
            return false;
        }
    return true;
}

}  // namespace

int runExport(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    bool replace = false;
    for (const auto& a : args) {
        if (a == "--replace")
            replace = true;
        else
            operands.push_back(a);
    }
    if (operands.size() != 2 || operands[0].empty() || operands[1].empty()) {
        std::fputs("Usage: kavrin32 --export DIR PROJECT.kv32 [--replace]\n", stderr);
        return 2;
    }
    ConsolePrompts prompts;
    CommandLineProject loaded;
    if (!loadCommandLineProject(operands[1], prompts, loaded, ServerRecord::Skip))
        return 1;
    std::error_code ec;
    const std::filesystem::path dir = operands[0];
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        prompts.error("Cannot create the folder \"" + operands[0] + "\"");
        return 1;
    }
    if (!clearEarlierExport(dir, operands[0], replace, prompts))
        return 1;

    // Each export is a run of its own, as a start of the program is: the seed starts at 0 and
    // the run's boundary is its first random draw.
    ResetComposeRunState();
    const TMIME mime;
    ComposeEnvironment env;
    env.hostName = loaded.advanced.HostName;
    ArticleBuilder builder(loaded.project, loaded.lists, mime, env, prompts);
    DocumentWriter writer(dir);
    try {
        for (const auto& batch : BuildBatches(loaded.project))
            builder.ComposeBatch(batch, [&](OutgoingDocument& doc) { writer(doc); });
    } catch (const std::exception& e) {
        std::string text = e.what();
        if (!text.ends_with("."))
            text += ".";
        prompts.show(PromptKind::Error, PromptButtons::Ok, text);
        return 1;
    }
    // The NZB file of what the documents carry, as a posting that the server took whole would
    // leave it.
    if (!writer.nzb().Empty()) {
        const std::filesystem::path nzb = dir / "posting.nzb";
        try {
            NewFile file(dir, "posting.nzb");
            file.write(NzbXml(writer.nzb().Files()));
            file.place();
        } catch (const std::exception& e) {
            prompts.error("Unable to save NZB file \"" + nzb.string() + "\": " + e.what());
            return 1;
        }
    }
    return 0;
}
