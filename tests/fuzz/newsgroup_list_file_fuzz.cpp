// A newsgroup list file of any content: loaded, sorted, written and loaded again.
//
// The names are the file's non-empty lines, whatever line ends it uses; the written file holds
// them with CR LF and loads back as the same list.

#include "fuzz_support.h"
#include "newsgroups/newsgroup_list.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    clearFuzzScratchDir();
    const std::filesystem::path file = fuzzScratchDir() / "news.example.com.txt";
    writeFile(file, bytes);

    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i)
        if (i == bytes.size() || bytes[i] == '\r' || bytes[i] == '\n') {
            if (i > start)
                lines.emplace_back(bytes.data() + start, i - start);
            start = i + 1;
        }

    TNewsgroupList list;
    FUZZ_CHECK(loadNewsgroupList(file, list));
    FUZZ_CHECK(list.names() == lines);

    list.sort(QLocale::c());
    const std::filesystem::path written = fuzzScratchDir() / "written.txt";
    FUZZ_CHECK(writeNewsgroupList(written, list));
    std::string expected;
    for (std::string_view name : list.names())
        expected.append(name).append("\r\n");
    FUZZ_CHECK(readFile(written) == expected);
    TNewsgroupList back;
    FUZZ_CHECK(loadNewsgroupList(written, back));
    FUZZ_CHECK(back.names() == list.names());

    std::sort(lines.begin(), lines.end());
    std::vector<std::string_view> sorted = list.names();
    std::sort(sorted.begin(), sorted.end());
    FUZZ_CHECK(sorted == lines);
    return 0;
}
