#include "model/advanced_storage.h"

#include "support/recording_prompts.h"
#include "test_stores.h"

#include <gtest/gtest.h>

namespace {

const std::string kOne("\x01", 1);
const std::string kZero("\0", 1);

}  // namespace

TEST(ComputerHostName, FollowsTheNamingRule) {
    struct Case {
        std::optional<std::string> name;
        std::string expected;
    };
    const Case cases[] = {
        {"My PC", "my_pc"},
        {"Build-Box.Example.ORG", "build-box.example.org"},
        {"  a  b ", "__a__b_"},
        {"", "lunet"},
        {std::nullopt, "lunet"},
        {std::string(64, 'H'), std::string(64, 'h')},  // fills the 64 characters of room
        {std::string(65, 'H'), "lunet"},               // does not fit: no name, not a cut one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.value_or("<none>"));
        EXPECT_EQ(GetComputerHostName(c.name), c.expected);
    }
    const std::string own = GetComputerHostName();
    EXPECT_FALSE(own.empty());
    EXPECT_LE(own.size(), 64u);
    EXPECT_EQ(own.find(' '), std::string::npos);
}

TEST(AdvancedSettings, FirstRunStoresTheDefaults) {
    FaultyStore store;
    RecordingPrompts prompts;
    TAdvanced a;
    a.SaveLogFile = true;
    a.LogFile = "junk";
    ASSERT_TRUE(LoadAdvanced(a, store, prompts, "my_pc"));
    EXPECT_FALSE(a.SaveLogFile);
    EXPECT_TRUE(a.UseProjectNameAsLogFile);
    EXPECT_EQ(a.LogFile, "LunetLog.txt");
    EXPECT_TRUE(a.UseComputerNameAsHostName);
    EXPECT_EQ(a.HostName, "my_pc");
    EXPECT_EQ(store.writesLanded, 1);
    EXPECT_EQ(store.valueNames("Advanced"),
              (std::vector<std::string>{"Save Log File", "Use Project Name As Log File", "Log File",
                                        "Use Windows Computer Name As Host Name", "Host Name",
                                        "Save NZB File"}));
    EXPECT_EQ(store.value("Advanced", "Save Log File"), RegValue::binary(kZero));
    EXPECT_EQ(store.value("Advanced", "Save NZB File"), RegValue::binary(kZero));
    EXPECT_EQ(store.value("Advanced", "Use Project Name As Log File"), RegValue::binary(kOne));
    EXPECT_EQ(store.value("Advanced", "Use Windows Computer Name As Host Name"),
              RegValue::binary(kOne));
    EXPECT_EQ(store.readString("Advanced", "Host Name"), "my_pc");
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(AdvancedSettings, TheStartUpRuleDecidesTheHostNameInMemoryOnly) {
    struct Case {
        const char* what;
        bool useComputerName;
        const char* storedHostName;
        const char* expected;
    };
    const Case cases[] = {
        {"computer name wins over the stored one", true, "other.example", "my_pc"},
        {"the user's own name", false, "poster.example", "poster.example"},
        {"an empty name becomes lunet", false, "", "lunet"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySettingsStore store;
        RecordingPrompts prompts;
        TAdvanced stored;
        stored.SaveLogFile = true;
        stored.UseProjectNameAsLogFile = false;
        stored.LogFile = "/var/log/kavrin.txt";
        stored.UseComputerNameAsHostName = c.useComputerName;
        stored.HostName = c.storedHostName;
        stored.SaveNzbFile = !c.useComputerName;
        ASSERT_TRUE(SaveAdvanced(stored, store, prompts));

        TAdvanced a;
        ASSERT_TRUE(LoadAdvanced(a, store, prompts, "my_pc"));
        EXPECT_TRUE(a.SaveLogFile);
        EXPECT_FALSE(a.UseProjectNameAsLogFile);
        EXPECT_EQ(a.LogFile, "/var/log/kavrin.txt");
        EXPECT_EQ(a.UseComputerNameAsHostName, c.useComputerName);
        EXPECT_EQ(a.HostName, c.expected);
        EXPECT_EQ(a.SaveNzbFile, !c.useComputerName);
        EXPECT_EQ(store.readString("Advanced", "Host Name"), c.storedHostName);
        EXPECT_TRUE(prompts.shown().empty());
    }
}

TEST(AdvancedSettings, BadValuesAreReportedAndTheRuleStillApplies) {
    struct Case {
        const char* what;
        const char* name;
        RegValue value;
    };
    const Case cases[] = {
        {"flag of 2 bytes", "Use Windows Computer Name As Host Name", RegValue::binary("\x01\x01")},
        {"flag of no bytes", "Use Windows Computer Name As Host Name", RegValue::binary("")},
        {"flag as integer", "Use Windows Computer Name As Host Name", RegValue::dword(1)},
        {"host name as binary", "Host Name", RegValue::binary("x")},
        {"NZB flag as text", "Save NZB File", RegValue::string("1")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySettingsStore store;
        RecordingPrompts prompts;
        store.writeBinary("Advanced", "Save Log File", kOne);
        store.writeString("Advanced", "Log File", "kept.txt");
        store.writeBinary("Advanced", "Use Windows Computer Name As Host Name", kZero);
        store.setValue("Advanced", c.name, c.value);
        TAdvanced a;
        a.UseComputerNameAsHostName = false;
        a.HostName = "";
        EXPECT_FALSE(LoadAdvanced(a, store, prompts, "my_pc"));
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Unable to load advanced settings from registry"});
        EXPECT_TRUE(a.SaveLogFile);  // read before the failure
        EXPECT_EQ(a.LogFile, "kept.txt");
        EXPECT_EQ(a.HostName, "lunet");
    }
}

TEST(AdvancedSettings, SaveFailuresAreReported) {
    RecordingPrompts prompts;
    TAdvanced a;
    FaultyStore store;
    store.failWrites = true;
    EXPECT_FALSE(SaveAdvanced(a, store, prompts));
    // A first run whose defaults cannot be stored still runs with them.
    FaultyStore firstRun;
    firstRun.failWrites = true;
    EXPECT_FALSE(LoadAdvanced(a, firstRun, prompts, "my_pc"));
    EXPECT_EQ(a.HostName, "my_pc");
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{"Unable to save advanced settings to registry",
                                        "Unable to save advanced settings to registry"}));
}

TEST(ValueLists, RoundTripInListText) {
    FaultyStore store;
    ValueLists lists;
    lists.Subjects = {"Pictures", "More pictures"};
    lists.Names = {"Joe"};
    lists.Organizations = {"Org \xC3\xA9"};
    ASSERT_TRUE(SaveValueLists(lists, store));
    EXPECT_EQ(store.writesLanded, 1);
    EXPECT_EQ(store.valueNames("Lists"),
              (std::vector<std::string>{"Subjects", "Names", "E-mail Addresses", "Organizations"}));
    EXPECT_EQ(store.readString("Lists", "Subjects"), "Pictures\r\nMore pictures\r\n");
    EXPECT_EQ(store.readString("Lists", "E-mail Addresses"), "");

    ValueLists back;
    back.EmailAddresses = {"stale@example.com"};
    ASSERT_TRUE(LoadValueLists(back, store));
    EXPECT_EQ(back.Subjects, lists.Subjects);
    EXPECT_EQ(back.Names, lists.Names);
    EXPECT_TRUE(back.EmailAddresses.empty());
    EXPECT_EQ(back.Organizations, lists.Organizations);

    store.failWrites = true;
    EXPECT_FALSE(SaveValueLists(lists, store));
}

TEST(ValueLists, ReadWhatOthersWrote) {
    MemorySettingsStore store;
    store.writeString("Lists", "Names", "Ann\r\nBob");  // last entry without a line break
    store.writeString("Lists", "Subjects", "a\nb\rc\r\n");
    store.writeInteger("Lists", "Organizations", 5);  // of another type
    ValueLists lists;
    lists.Organizations = {"stale"};
    EXPECT_FALSE(LoadValueLists(lists, store));
    EXPECT_EQ(lists.Names, (std::vector<std::string>{"Ann", "Bob"}));
    EXPECT_EQ(lists.Subjects, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(lists.EmailAddresses.empty());
    EXPECT_TRUE(lists.Organizations.empty());

    MemorySettingsStore empty;
    EXPECT_TRUE(LoadValueLists(lists, empty));
    EXPECT_FALSE(empty.keyExists("Lists"));
}

// The header boxes' recently used values share the value lists' form under a key of their own;
// neither set of lists may overwrite the other.
TEST(RecentLists, KeptUnderMruListsApartFromTheValueLists) {
    MemorySettingsStore store;
    ValueLists pools;
    pools.Subjects = {"pool subject"};
    ASSERT_TRUE(SaveValueLists(pools, store));
    ValueLists recent;
    recent.Subjects = {"typed subject"};
    recent.EmailAddresses = {"a@example.com", "b@example.com"};
    ASSERT_TRUE(SaveRecentLists(recent, store));
    EXPECT_EQ(store.readString("MRU Lists", "E-mail Addresses"),
              "a@example.com\r\nb@example.com\r\n");

    ValueLists back;
    ASSERT_TRUE(LoadRecentLists(back, store));
    EXPECT_EQ(back.Subjects, recent.Subjects);
    EXPECT_EQ(back.EmailAddresses, recent.EmailAddresses);
    ASSERT_TRUE(LoadValueLists(back, store));
    EXPECT_EQ(back.Subjects, pools.Subjects);
}
