#include "model/server_storage.h"

#include "support/recording_prompts.h"
#include "test_stores.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>

namespace {

using Bytes = std::string;

Bytes le64(double v) {
    auto u = std::bit_cast<std::uint64_t>(v);
    Bytes b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<char>(u >> (8 * i));
    return b;
}

TServer sampleServer() {
    TServer s;
    s.HostName = "News.Example.com";
    s.Port = 563;
    s.NumberOfNewsgroups = 41230;
    s.LastUpdated = 46000.75;
    s.UserName = "joe";
    s.Password = "Passw0rd!";
    s.Security = kSecurityTlsOnConnect;
    s.CaFile = "/etc/news/private-ca.pem";
    return s;
}

}  // namespace

TEST(PasswordScrambler, MatchesKnownStoredForms) {
    struct Case {
        const char* password;
        Bytes scrambled;  // after the leading byte
    };
    const Case cases[] = {
        {"a", "\xF5"},  // 'a' XOR 0x94, the high byte of the start key
        {"ab", "\xF5\xED"},
        {"secret", "\xE7\x8E\x37\xCA\x7C\x5C"},
        {"Passw0rd!", Bytes("\xC4\x30\x00\x88\xC9\x50\x7C\xF7\x6A", 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        Bytes stored = EncryptPassword(c.password);
        ASSERT_EQ(stored.size(), std::strlen(c.password) + 1);
        EXPECT_EQ(stored.substr(1), c.scrambled);
        EXPECT_EQ(DecryptPassword(stored), c.password);
        // Whatever the leading byte, the reader skips it.
        stored[0] = '\x5A';
        EXPECT_EQ(DecryptPassword(stored), c.password);
    }
}

TEST(PasswordScrambler, EdgesOfTheStoredForm) {
    EXPECT_EQ(EncryptPassword(""), "");
    EXPECT_EQ(DecryptPassword(""), "");
    EXPECT_EQ(DecryptPassword("\x07"), "");  // a lone leading byte

    // Each scrambled byte depends only on the characters before it.
    Bytes shorter = EncryptPassword("hunter");
    Bytes longer = EncryptPassword("hunter2-and-more");
    EXPECT_EQ(longer.substr(0, shorter.size()), shorter);

    std::string longest(126, '\0');
    for (std::size_t i = 0; i < longest.size(); ++i)
        longest[i] = static_cast<char>(i * 37 + 1);  // every kind of byte, NUL included
    Bytes stored = EncryptPassword(longest);
    EXPECT_EQ(stored.size(), 127u);
    EXPECT_EQ(DecryptPassword(stored), longest);
}

TEST(ServerStorage, RoundTripsEveryFieldInTheStoredForm) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    const TServer saved = sampleServer();
    ASSERT_TRUE(SaveServer(saved, store, prompts));

    const std::string key = "Servers\\News.Example.com";
    EXPECT_EQ(store.valueNames(key),
              (std::vector<std::string>{"Port Number", "Number of Newsgroups", "Last Updated",
                                        "User Name", "Password", "Security", "CA File"}));
    EXPECT_EQ(store.value(key, "Port Number"), RegValue::dword(563));
    EXPECT_EQ(store.value(key, "Last Updated"), RegValue::binary(le64(46000.75)));
    EXPECT_EQ(store.value(key, "Password")->data.substr(1),
              Bytes("\xC4\x30\x00\x88\xC9\x50\x7C\xF7\x6A", 9));
    EXPECT_EQ(store.value(key, "Security"), RegValue::dword(1));
    EXPECT_EQ(store.value(key, "CA File"), RegValue::string("/etc/news/private-ca.pem"));

    TServer loaded;
    loaded.HostName = "news.example.COM";
    ASSERT_TRUE(LoadServer(loaded, store, prompts));
    EXPECT_EQ(loaded.Port, 563);
    EXPECT_EQ(loaded.NumberOfNewsgroups, 41230);
    EXPECT_EQ(loaded.LastUpdated, 46000.75);
    EXPECT_EQ(loaded.UserName, "joe");
    EXPECT_EQ(loaded.Password, "Passw0rd!");
    EXPECT_EQ(loaded.Security, kSecurityTlsOnConnect);
    EXPECT_EQ(loaded.CaFile, "/etc/news/private-ca.pem");
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(GetServerNames(store), "News.Example.com\r\n");
}

TEST(ServerStorage, OptionalValuesMayBeMissing) {
    // A key as the Windows program wrote it: no "Security", no "Last Updated", no password.
    MemorySettingsStore store;
    RecordingPrompts prompts;
    store.writeInteger("Servers\\old", "Port Number", 119);
    store.writeInteger("Servers\\old", "Number of Newsgroups", 0);
    TServer s;
    s.HostName = "old";
    s.LastUpdated = 123.5;
    s.Password = "stale";
    s.Security = kSecurityStartTls;
    s.CaFile = "stale.pem";
    ASSERT_TRUE(LoadServer(s, store, prompts));
    EXPECT_EQ(s.LastUpdated, 123.5);
    EXPECT_EQ(s.CaFile, "");
    EXPECT_EQ(s.Password, "");
    EXPECT_EQ(s.UserName, "");
    EXPECT_EQ(s.Security, kSecurityNone);

    // Stored passwords of zero bytes and of a single byte are both empty.
    for (const Bytes& stored : {Bytes(), Bytes("\x42")}) {
        store.writeBinary("Servers\\old", "Password", stored);
        s.Password = "stale";
        ASSERT_TRUE(LoadServer(s, store, prompts));
        EXPECT_EQ(s.Password, "");
    }
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ServerStorage, LoadFailuresReportAndKeepFieldsNotYetRead) {
    struct Case {
        const char* what;
        const char* name;  // value replaced or removed
        std::optional<RegValue> value;
        bool portRead;      // read before the failure: "Port Number" comes first,
        bool passwordRead;  // "Security" last
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"no port", "Port Number", std::nullopt, false, false},
        {"port as text", "Port Number", RegValue::string("119"), false, false},
        {"no newsgroup count", "Number of Newsgroups", std::nullopt, true, false},
        {"date of 4 bytes", "Last Updated", RegValue::binary("\1\2\3\4"), true, false},
        {"date of 9 bytes", "Last Updated", RegValue::binary(le64(1.0) + "x"), true, false},
        {"date that is no number", "Last Updated", RegValue::binary(le64(nan)), true, false},
        {"date past the year 9999", "Last Updated", RegValue::binary(le64(1e12)), true, false},
        {"user name as integer", "User Name", RegValue::dword(1), true, false},
        {"password of 129 bytes", "Password", RegValue::binary(Bytes(129, 'p')), true, false},
        {"password as text", "Password", RegValue::string("plain"), true, false},
        {"security as text", "Security", RegValue::string("1"), true, true},
        {"unknown security", "Security", RegValue::dword(3), true, true},
        {"certificate file as integer", "CA File", RegValue::dword(1), true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySettingsStore store;
        RecordingPrompts prompts;
        ASSERT_TRUE(SaveServer(sampleServer(), store, prompts));
        const std::string key = "Servers\\News.Example.com";
        if (c.value)
            store.setValue(key, c.name, *c.value);
        else
            store.deleteValue(key, c.name);

        TServer s;
        s.HostName = "News.Example.com";
        s.UserName = "before";
        s.Password = "before";
        EXPECT_FALSE(LoadServer(s, store, prompts));
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{"Unable to load server from registry"});
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
        EXPECT_EQ(s.Port, c.portRead ? 563 : 0);
        EXPECT_EQ(s.Password, c.passwordRead ? "Passw0rd!" : "before");
        EXPECT_EQ(s.Security, kSecurityNone);
    }
}

TEST(ServerStorage, LoadingAMissingServerReportsButCreatesNothing) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TServer s;
    s.HostName = "deleted.example.com";
    EXPECT_FALSE(LoadServer(s, store, prompts));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to load server from registry"});
    EXPECT_FALSE(store.keyExists("Servers"));
    EXPECT_EQ(GetServerNames(store), "");
    EXPECT_FALSE(store.keyExists("Servers"));
}

TEST(ServerStorage, AnEmptyHostNameDoesNothing) {
    FaultyStore store;
    RecordingPrompts prompts;
    TServer s;
    s.Password = std::string(500, 'x');
    EXPECT_TRUE(LoadServer(s, store, prompts));
    EXPECT_TRUE(SaveServer(s, store, prompts));
    EXPECT_EQ(store.writesLanded, 0);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ServerStorage, ASaveIsOneWriteOfTheStore) {
    FaultyStore store;
    RecordingPrompts prompts;
    ASSERT_TRUE(SaveServer(sampleServer(), store, prompts));
    EXPECT_EQ(store.writesLanded, 1);
}

TEST(ServerStorage, PasswordsTooLongForTheStoredFormAreRefusedNotCut) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TServer s = sampleServer();
    // 63 two-byte characters fill the 126 bytes; one more ASCII letter does not fit.
    std::string fits;
    for (int i = 0; i < 63; ++i)
        fits += "\xC3\xA9";
    s.Password = fits;
    ASSERT_TRUE(SaveServer(s, store, prompts));
    TServer back;
    back.HostName = s.HostName;
    ASSERT_TRUE(LoadServer(back, store, prompts));
    EXPECT_EQ(back.Password, fits);
    EXPECT_TRUE(prompts.shown().empty());

    s.Password = fits + "x";
    s.Port = 999;
    EXPECT_FALSE(SaveServer(s, store, prompts));
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompts.shown()[0].text, kPasswordTooLongMessage);
    // Nothing of the refused record was written.
    EXPECT_EQ(store.readInteger("Servers\\News.Example.com", "Port Number"), 563);
    ASSERT_TRUE(LoadServer(back, store, prompts));
    EXPECT_EQ(back.Password, fits);
}

TEST(ServerStorage, HostNamesThatCouldLeaveTheDataFolderAreRefusedOnSave) {
    // The host name becomes both a key and the name of the server's list file.
    for (std::string host : {"../etc", "a/b", "a\\b", "two words", "tab\tname", "x..y"}) {
        MemorySettingsStore store;
        RecordingPrompts prompts;
        TServer s = sampleServer();
        s.HostName = host;
        EXPECT_FALSE(SaveServer(s, store, prompts)) << host;
        ASSERT_EQ(prompts.shown().size(), 1u) << host;
        EXPECT_EQ(prompts.shown()[0].text, kInvalidHostNameMessage);
        EXPECT_TRUE(store.subkeyNames("Servers").empty()) << host;
    }
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TServer s = sampleServer();
    s.HostName = "news-1.example.com";
    EXPECT_TRUE(SaveServer(s, store, prompts));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ServerStorage, SaveFailuresAreReported) {
    {
        FaultyStore store;
        store.failWrites = true;
        RecordingPrompts prompts;
        EXPECT_FALSE(SaveServer(sampleServer(), store, prompts));
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Unable to save news server to registry"});
    }
    {
        FaultyStore store;
        store.manglePasswords = true;
        RecordingPrompts prompts;
        EXPECT_TRUE(SaveServer(sampleServer(), store, prompts));
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error saving encrypted password!"});
    }
    {
        // A host name with "\" would name a key below another one.
        MemorySettingsStore store;
        RecordingPrompts prompts;
        TServer s = sampleServer();
        s.HostName = "evil\\..\\Projects";
        EXPECT_FALSE(SaveServer(s, store, prompts));
        EXPECT_FALSE(LoadServer(s, store, prompts));
        EXPECT_EQ(prompts.texts(),
                  (std::vector<std::string>{std::string(kInvalidHostNameMessage),
                                            "Unable to load server from registry"}));
        EXPECT_FALSE(store.keyExists("Servers"));
    }
}

TEST(ServerStorage, NamesComeInTheStoresOrder) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    for (const char* host : {"b.example", "a.example", "c.example"}) {
        TServer s;
        s.HostName = host;
        ASSERT_TRUE(SaveServer(s, store, prompts));
    }
    EXPECT_EQ(GetServerNames(store), "b.example\r\na.example\r\nc.example\r\n");
    EXPECT_EQ(serverNames(store),
              (std::vector<std::string>{"b.example", "a.example", "c.example"}));
}
