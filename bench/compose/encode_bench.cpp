// Usage: compose_encode_bench uu|base64|yenc FILE [SPLIT_LINES]
// Writes every document of a one-file posting (headers, empty line, body with CR LF) to
// standard output, exactly as the posting session would hand them to the network.

#include "compose/article.h"
#include "platform/user_prompts.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct StderrPrompts : UserPrompts {
    PromptAnswer show(PromptKind, PromptButtons, std::string_view text, std::string_view) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return PromptAnswer::Ok;
    }
};

void writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            std::perror("write");
            std::exit(1);
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: compose_encode_bench uu|base64|yenc FILE [SPLIT_LINES]\n", stderr);
        return 2;
    }
    TProject project;
    project.Subject = "bench";
    project.FromName = "Bench";
    project.SetNewsgroupsText("alt.binaries.test\r\n");
    project.AttachmentsText = std::string(argv[2]) + "\r\n";
    project.EncodingMethod = std::strcmp(argv[1], "base64") == 0 ? kEncodingBase64
                             : std::strcmp(argv[1], "yenc") == 0 ? kEncodingYEnc
                                                                 : kEncodingUUEncode;
    project.SplitLargeMessages = true;
    project.SplitLines = argc > 3 ? std::atoi(argv[3]) : 1000;
    project.Crosspost = true;

    StderrPrompts prompts;
    ValueLists lists;
    const TMIME mime;
    ArticleBuilder builder(project, lists, mime, ComposeEnvironment{}, prompts);
    std::string buffer;
    buffer.reserve((std::size_t{1} << 20) + 4096);
    try {
        for (const auto& batch : BuildBatches(project))
            builder.ComposeBatch(batch, [&](OutgoingDocument& doc) {
                buffer.clear();
                for (const auto& [name, value] : doc.headers())
                    buffer += name + ": " + value + "\r\n";
                buffer += "\r\n";
                while (doc.readBody(buffer, std::size_t{1} << 20)) {
                    writeAll(buffer);
                    buffer.clear();
                }
                writeAll(buffer);
            });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
