#include "app/cli.h"

#include "app/cli_support.h"
#include "app/console_prompts.h"
#include "compose/article.h"
#include "posting/nzb.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <stdexcept>
#include <system_error>

namespace {

// A failure to write an exported document; ends the command like a builder error.
struct ExportWriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void writeAll(int fd, const std::string& bytes, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ExportWriteError("Could not write " + path + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

std::string headerValue(const HeaderList& headers, std::string_view name) {
    for (const auto& [header, value] : headers)
        if (header == name)
            return value;
    return {};
}

// Writes one document as NNNN.eml. The text goes to a temporary name first, so a document whose
// body failed half-way (a file that changed while it was read) never appears as a finished one.
class DocumentWriter {
public:
    explicit DocumentWriter(std::filesystem::path dir) : m_dir(std::move(dir)) {}

    void operator()(OutgoingDocument& doc) {
        char name[32];
        std::snprintf(name, sizeof name, "%04d.eml", ++m_count);
        const std::string final = (m_dir / name).string();
        const std::string part = final + ".part";
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            throw ExportWriteError("Could not write " + part + ": " + std::strerror(errno));
        std::uint64_t bytes = 0;
        try {
            m_buffer.clear();
            for (const auto& [header, value] : doc.headers())
                m_buffer += header + ": " + value + "\r\n";
            m_buffer += "\r\n";
            // The body is encoded a piece at a time into one reused buffer, so memory stays
            // flat however large the attached files are.
            while (doc.readBody(m_buffer, kChunk)) {
                writeAll(fd, m_buffer, part);
                bytes += m_buffer.size();
                m_buffer.clear();
            }
            writeAll(fd, m_buffer, part);
            bytes += m_buffer.size();
            if (::close(fd) != 0)
                throw ExportWriteError("Could not write " + part + ": " + std::strerror(errno));
        } catch (...) {
            ::close(fd);
            ::unlink(part.c_str());
            throw;
        }
        if (::rename(part.c_str(), final.c_str()) != 0) {
            ::unlink(part.c_str());
            throw ExportWriteError("Could not write " + final + ": " + std::strerror(errno));
        }
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

}  // namespace

int runExport(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0].empty() || args[1].empty()) {
        std::fputs("Usage: kavrin32 --export DIR PROJECT.kv32\n", stderr);
        return 2;
    }
    ConsolePrompts prompts;
    CommandLineProject loaded;
    if (!loadCommandLineProject(args[1], prompts, loaded, ServerRecord::Skip))
        return 1;
    std::error_code ec;
    const std::filesystem::path dir = args[0];
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        prompts.error("Cannot create the folder \"" + args[0] + "\"");
        return 1;
    }

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
            WriteNzbFile(nzb, NzbXml(writer.nzb().Files()));
        } catch (const std::exception& e) {
            prompts.error("Unable to save NZB file \"" + nzb.string() + "\": " + e.what());
            return 1;
        }
    }
    return 0;
}
