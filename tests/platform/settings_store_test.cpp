#include "platform/memory_settings_store.h"

#include <gtest/gtest.h>

TEST(SettingsStoreTypedReads, FollowRegistryRulesForMissingAndMistypedValues) {
    MemorySettingsStore s;
    s.writeString("Projects\\Last", "Name", "Untitled");
    s.writeInteger("Projects\\Last", "Port Number", 119);
    s.writeBinary("Projects\\Last", "Cut Here", std::string("\x01", 1));
    s.setValue("Projects\\Last", "Expand", {RegType::ExpandString, "x"});

    EXPECT_EQ(s.readString("Projects\\Last", "Name"), "Untitled");
    EXPECT_EQ(s.readString("Projects\\Last", "Expand"), "x");
    EXPECT_EQ(s.readString("Projects\\Last", "Missing"), "");
    EXPECT_THROW(s.readString("Projects\\Last", "Port Number"), SettingsError);

    EXPECT_EQ(s.readInteger("Projects\\Last", "Port Number"), 119);
    EXPECT_THROW(s.readInteger("Projects\\Last", "Missing"), SettingsError);
    EXPECT_THROW(s.readInteger("Projects\\Last", "Name"), SettingsError);

    EXPECT_EQ(s.readBinary("Projects\\Last", "Cut Here", 1), std::string("\x01", 1));
    EXPECT_EQ(s.readBinary("Projects\\Last", "Missing", 1), std::nullopt);
    EXPECT_THROW(s.readBinary("Projects\\Last", "Cut Here", 0), SettingsError);
    EXPECT_THROW(s.readBinary("Projects\\Last", "Name", 100), SettingsError);
}

TEST(SettingsStoreNames, MatchWithoutRegardToCaseAndKeepTheFirstCase) {
    MemorySettingsStore s;
    s.writeString("Servers\\News.Example.COM", "User Name", "a");
    s.writeString("servers\\news.example.com", "user name", "b");
    EXPECT_EQ(s.subkeyNames("SERVERS"), std::vector<std::string>{"News.Example.COM"});
    EXPECT_EQ(s.valueNames("Servers\\news.example.com"), std::vector<std::string>{"User Name"});
    EXPECT_EQ(s.readString("Servers\\NEWS.example.com", "USER NAME"), "b");

    s.deleteKeyTree("servers\\NEWS.EXAMPLE.COM");
    EXPECT_FALSE(s.keyExists("Servers\\News.Example.COM"));
    EXPECT_TRUE(s.keyExists("Servers"));
    EXPECT_TRUE(s.subkeyNames("Servers").empty());
}

TEST(SettingsStoreNames, ReadsNeverCreateKeys) {
    MemorySettingsStore s;
    EXPECT_EQ(s.readString("Projects\\Nothing", "Name"), "");
    EXPECT_EQ(s.readBinary("Projects\\Nothing", "Crosspost", 1), std::nullopt);
    EXPECT_FALSE(s.keyExists("Projects"));
}

TEST(SettingsStorePaths, EmptyPartsAreSkippedByReadsWritesAndDeletes) {
    MemorySettingsStore s;
    s.writeString("\\Servers\\\\news\\", "Port", "119");
    EXPECT_EQ(s.subkeyNames(""), std::vector<std::string>{"Servers"});
    EXPECT_EQ(s.subkeyNames("Servers\\"), std::vector<std::string>{"news"});
    EXPECT_EQ(s.readString("\\\\Servers\\news\\\\", "Port"), "119");
    EXPECT_TRUE(s.keyExists("\\"));  // the program's own key
    EXPECT_FALSE(s.keyExists("Servers\\new"));

    s.deleteKeyTree("Servers\\\\news\\");
    EXPECT_TRUE(s.keyExists("Servers"));
    EXPECT_FALSE(s.keyExists("Servers\\news"));
}
