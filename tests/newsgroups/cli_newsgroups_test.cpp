// kavrin32 --get-newsgroups / --update-newsgroups, run in-process against a scripted loopback
// server, with the settings store and the data folder in a temporary folder.
#include "app/cli.h"

#include "model/server_storage.h"
#include "newsgroups/newsgroup_list.h"
#include "platform/file_settings_store.h"
#include "support/nntp_test_support.h"
#include "support/recording_prompts.h"
#include "support/scripted_nntp_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The program fixes its folders at the first use, so one folder serves every test here.
const TempDir& home() {
    static const TempDir dir;
    return dir;
}

class CliNewsgroupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        setenv("KAVRIN32_CONFIG_DIR", (home() / "config").c_str(), 1);
        setenv("KAVRIN32_DATA_DIR", (home() / "data").c_str(), 1);
        std::filesystem::remove_all(home() / "config");
        std::filesystem::remove_all(home() / "data");
        server = std::make_unique<ScriptedNntpServer>();
        server->replies("MODE", {"200 reader\r\n"});
        server->replies("QUIT", {"205 bye\r\n"});
        TServer record;
        record.HostName = "127.0.0.1";
        record.Port = server->port();
        ASSERT_TRUE(SaveServer(record, *store(), prompts));
    }

    std::unique_ptr<SettingsStore> store() { return openUserSettings(&prompts); }

    TServer stored() {
        TServer record;
        record.HostName = "127.0.0.1";
        EXPECT_TRUE(LoadServer(record, *store(), prompts));
        return record;
    }

    std::filesystem::path file() const { return home() / "data" / "127.0.0.1.txt"; }

    std::unique_ptr<ScriptedNntpServer> server;
    RecordingPrompts prompts;
};

TEST_F(CliNewsgroupsTest, GetThenUpdateFillTheListFileAndTheRecord) {
    server->replies("LIST", {"215 list\r\nb.two 2 1 y\r\n3dfx.one 1 1 y\r\n.\r\n"});
    EXPECT_EQ(runGetNewsgroups({"127.0.0.1"}, false), 0);
    EXPECT_EQ(readFile(file()), "3dfx.one\r\nb.two\r\n");
    const TServer first = stored();
    EXPECT_EQ(first.NumberOfNewsgroups, 2);
    EXPECT_GT(first.LastUpdated, 0.0);

    server->replies("NEWGROUPS", {"231 new\r\na.new 1 1 y\r\nb.two 2 1 y\r\n.\r\n"});
    EXPECT_EQ(runGetNewsgroups({"127.0.0.1"}, true), 0);
    EXPECT_TRUE(std::any_of(server->commands.begin(), server->commands.end(),
                            [](const QByteArray& c) { return c.startsWith("NEWGROUPS "); }));
    EXPECT_EQ(readFile(file()), "3dfx.one\r\na.new\r\nb.two\r\n");
    EXPECT_EQ(stored().NumberOfNewsgroups, 3);
}

TEST_F(CliNewsgroupsTest, FailuresEndWithAFailingStatusAndChangeNothing) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
    };
    server->replies("LIST", {"502 not for you\r\n"});
    const std::vector<Case> cases = {
        {"no host", {}, 2},
        {"two hosts", {"a", "b"}, 2},
        {"an unknown option", {"127.0.0.1", "--force"}, 2},
        {"a server that is not stored", {"news.example.com"}, 1},
        {"a refused LIST", {"127.0.0.1"}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runGetNewsgroups(c.args, false), c.status) << c.what;
        EXPECT_FALSE(std::filesystem::exists(file())) << c.what;
        EXPECT_EQ(stored().LastUpdated, 0.0) << c.what;
    }
}

}  // namespace
