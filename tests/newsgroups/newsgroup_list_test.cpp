#include "newsgroups/newsgroup_list.h"

#include "list_names.h"

#include "model/server_storage.h"

#include "support/temp_dir.h"

#include <QCollator>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

Names sorted(Names names, const QLocale& locale) {
    TNewsgroupList list = listOf(names);
    list.sort(locale);
    return namesOf(list);
}

const QLocale kC = QLocale::c();
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(NewsgroupListTest, SortIgnoresCaseInTheLocaleOrder) {
    // Names equal but for case keep a fixed order (by bytes), so a rewritten file is stable.
    const Names names = {"b.x",
                         "alt.test",
                         "Alt.test",
                         "ALT.Test",
                         "alt.atheism",
                         "a_b",
                         "a.b",
                         "3dfx",
                         "zeta",
                         "\xC3\x9C"
                         "ber",
                         "uber"};
    EXPECT_EQ(sorted(names, kC), (Names{"3dfx", "a.b", "a_b", "alt.atheism", "ALT.Test", "Alt.test",
                                        "alt.test", "b.x", "uber", "zeta",
                                        "\xC3\x9C"
                                        "ber"}));
    EXPECT_EQ(sorted(names, kEnglish), (Names{"3dfx", "a_b", "a.b", "alt.atheism", "ALT.Test",
                                              "Alt.test", "alt.test", "b.x", "uber",
                                              "\xC3\x9C"
                                              "ber",
                                              "zeta"}));
}

// Random names over an alphabet that makes ties, case pairs, punctuation and (unless asciiOnly)
// non-ASCII meet.
Names randomNames(std::size_t count, unsigned seed, bool asciiOnly = false) {
    static const std::vector<std::string> all = {"a", "A", "b",    "B",        "c",       "h",
                                                 "H", "z", ".",    "-",        "_",       "+",
                                                 "0", "9", "alt.", "\xC3\xA9", "\xC3\x89"};
    const std::vector<std::string> pieces(all.begin(), all.end() - (asciiOnly ? 2 : 0));
    std::mt19937 rng(seed);
    Names names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string n;
        const int len = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < len; ++k)
            n += pieces[rng() % pieces.size()];
        names.push_back(n);
    }
    return names;
}

TEST(NewsgroupListTest, SortAgreesWithTheLocaleCollator) {
    struct Run {
        QLocale locale;
        Names names;
    };
    // ASCII names take a sort of their own where the locale allows it; Czech does not (it
    // sorts "ch" after "h"), nor do names with other characters.
    const QLocale czech(QLocale::Czech, QLocale::CzechRepublic);
    const std::vector<Run> runs = {
        {kC, randomNames(5000, 3, true)},
        {kEnglish, randomNames(5000, 5, true)},
        {czech, randomNames(3000, 9, true)},
        {kC, randomNames(3000, 7)},
        {kEnglish, randomNames(3000, 7)},
        {QLocale(QLocale::Swedish, QLocale::Sweden), randomNames(3000, 7)}};
    for (const auto& [locale, names] : runs) {
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        Names expected = names;
        std::sort(expected.begin(), expected.end(),
                  [&](const std::string& a, const std::string& b) {
                      const int c =
                          collator.compare(QString::fromStdString(a), QString::fromStdString(b));
                      return c != 0 ? c < 0 : a < b;
                  });
        EXPECT_EQ(sorted(names, locale), expected) << locale.name().toStdString();
    }
}

TEST(NewsgroupListTest, SortMergesOntoASortedPrefixAndSortsAWrongOne) {
    const Names all = randomNames(2000, 11);
    const Names expected = sorted(all, kEnglish);
    Names head = sorted(Names(all.begin(), all.begin() + 1500), kEnglish);
    Names withTail = head;
    withTail.insert(withTail.end(), all.begin() + 1500, all.end());
    TNewsgroupList list = listOf(withTail);
    list.sort(kEnglish, head.size());
    EXPECT_EQ(namesOf(list), expected);

    // A prefix that is not in order (a list file edited by hand) is sorted with the rest.
    TNewsgroupList unsortedPrefix = listOf(all);
    unsortedPrefix.sort(kEnglish, 1500);
    EXPECT_EQ(namesOf(unsortedPrefix), expected);
}

TEST(NewsgroupListTest, CopiesShareNothingThatTheyChange) {
    TNewsgroupList first = listOf({"a.one", "a.two"});
    TNewsgroupList second = first;
    first.append("first.only");
    second.append("second.only");
    second.removeAt(0);
    EXPECT_EQ(namesOf(first), (Names{"a.one", "a.two", "first.only"}));
    EXPECT_EQ(namesOf(second), (Names{"a.two", "second.only"}));

    TNewsgroupList third;
    third = second;
    second.clear();
    third.append(std::string(100000, 'x'));  // larger than a chunk
    EXPECT_EQ(third.size(), 3u);
    EXPECT_EQ(third[1], "second.only");
    EXPECT_EQ(third[2].size(), 100000u);
    EXPECT_EQ(third.text(0), QStringLiteral("a.two"));
}

TEST(NewsgroupListTest, FilesReadAnyLineEndAndAreWrittenWithCrLf) {
    TempDir dir;
    writeFile(dir / "in.txt", "alt.a\r\nalt.b\nalt.c\ralt.d\r\n\r\n\nalt.e");
    TNewsgroupList list;
    ASSERT_TRUE(loadNewsgroupList(dir / "in.txt", list));
    EXPECT_EQ(namesOf(list), (Names{"alt.a", "alt.b", "alt.c", "alt.d", "alt.e"}));

    ASSERT_TRUE(writeNewsgroupList(dir / "out.txt", list));
    EXPECT_EQ(readFile(dir / "out.txt"), "alt.a\r\nalt.b\r\nalt.c\r\nalt.d\r\nalt.e\r\n");
    // Rewritten whole, not appended to.
    ASSERT_TRUE(writeNewsgroupList(dir / "out.txt", listOf({"x"})));
    EXPECT_EQ(readFile(dir / "out.txt"), "x\r\n");
    ASSERT_TRUE(writeNewsgroupList(dir / "empty.txt", TNewsgroupList()));
    EXPECT_EQ(readFile(dir / "empty.txt"), "");
    // Larger than one write block: every name once, in order.
    TNewsgroupList big;
    std::string expected;
    for (int i = 0; i < 70000; ++i) {
        const std::string name = "alt.binaries.group." + std::to_string(i);
        big.append(name);
        expected += name + "\r\n";
    }
    ASSERT_TRUE(writeNewsgroupList(dir / "big.txt", big));
    EXPECT_EQ(readFile(dir / "big.txt"), expected);

    EXPECT_FALSE(loadNewsgroupList(dir / "missing.txt", list));
    EXPECT_TRUE(list.empty());
}

// A FIFO where a list file belongs is refused at once, never waited on (the child that tries it
// is ended by an alarm should it wait).
TEST(NewsgroupListTest, OnlyRegularFilesAreRead) {
    TempDir dir;
    const auto fifo = dir / "fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            ::alarm(10);
            TNewsgroupList list;
            std::_Exit(loadNewsgroupList(fifo, list) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(NewsgroupListTest, AFailedWriteLeavesWhatWasThere) {
    TempDir dir;
    // A folder where the file should go cannot be replaced by it.
    std::filesystem::create_directory(dir / "busy.txt");
    writeFile(dir / "busy.txt" / "keep", "kept");
    QString error;
    EXPECT_FALSE(writeNewsgroupList(dir / "busy.txt", listOf({"a"}), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(dir / "busy.txt" / "keep"), "kept");
    EXPECT_FALSE(writeNewsgroupList(dir / "no-such-folder" / "x.txt", listOf({"a"}), &error));
    // No temporary files are left behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(NewsgroupListTest, HostNamesThatCouldLeaveTheDataFolderAreRefused) {
    struct HostCase {
        std::string host;
        bool valid;
        std::string fileName;
    };
    const std::vector<HostCase> cases = {
        {"news.example.com", true, "news.example.com.txt"},
        {"News.Example.COM", true, "News.Example.COM.txt"},
        {"127.0.0.1", true, "127.0.0.1.txt"},
        {"::1", true, "::1.txt"},
        {"", false, ".txt"},
        {"../../etc/passwd", false, "______etc_passwd.txt"},
        {"..", false, "__.txt"},
        {"a..b", false, "a__b.txt"},
        {"dir/host", false, "dir_host.txt"},
        {"dir\\host", false, "dir_host.txt"},
        {"news server", false, "news_server.txt"},
        {"tab\there", false, "tab_here.txt"},
        {std::string("nul\0x", 5), false, "nul_x.txt"},
        {"bell\x07", false, "bell_.txt"},
        {"del\x7f", false, "del_.txt"},
    };
    for (const HostCase& c : cases) {
        EXPECT_EQ(isValidHostName(c.host), c.valid) << c.host;
        EXPECT_EQ(newsgroupListFileName(c.host), c.fileName) << c.host;
        EXPECT_EQ(newsgroupListPath("/data", c.host).parent_path(), "/data") << c.host;
    }
}

}  // namespace
