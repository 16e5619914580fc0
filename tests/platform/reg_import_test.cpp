#include "platform/file_settings_store.h"
#include "platform/reg_format.h"

#include "reg_fixtures.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

class RegImport : public ::testing::Test {
protected:
    RegImport() : m_file(m_dir / "settings.reg"), m_store(m_file, nullptr) {
        m_store.writeString("Servers\\news.example.com", "User Name", "kept");
        m_store.writeString("Servers\\old.example.com", "User Name", "old");
        m_store.writeString("Projects\\Last", "Subject", "old subject");
    }

    RegImportResult import(std::string_view bytes) {
        return importRegDocument(parseRegFile(bytes), m_store);
    }

    TempDir m_dir;
    std::filesystem::path m_file;
    FileSettingsStore m_store;
};

}  // namespace

TEST_F(RegImport, MergesAWindowsExportIntoTheStore) {
    const std::string v5 = withRoot(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[ROOT]\r\n\r\n"
        "[ROOT\\SERVERS]\r\n\r\n"
        "[ROOT\\SERVERS\\News.Example.COM]\r\n"
        "\"Port Number\"=dword:00000077\r\n"
        "\"Password\"=hex:41,42,43,44,45,46,47,48,49,4a,4b,4c,4d,4e,4f,50,51,\\\r\n"
        "  52,53\r\n\r\n"
        "[ROOT\\Advanced]\r\n"
        "\"Log File\"=hex(2):4c,00,6f,00,67,00,00,00\r\n"
        "\"Host Name\"=\"pc\"\r\n");
    RegImportResult r = import("\xFF\xFE" + utf16le(v5));
    EXPECT_TRUE(r.refusedKeys.empty());
    EXPECT_EQ(r.keys, 4u);
    EXPECT_EQ(r.values, 4u);

    FileSettingsStore fresh(m_file, nullptr);
    EXPECT_EQ(fresh.subkeyNames("Servers"),
              (std::vector<std::string>{"news.example.com", "old.example.com"}));
    EXPECT_EQ(fresh.readString("Servers\\news.example.com", "User Name"), "kept");
    EXPECT_EQ(fresh.readInteger("Servers\\news.example.com", "Port Number"), 119);
    EXPECT_EQ(fresh.readBinary("Servers\\news.example.com", "Password", 126),
              "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(fresh.readString("Advanced", "Log File"), "Log");
    EXPECT_EQ(fresh.readString("Advanced", "Host Name"), "pc");
    EXPECT_EQ(fresh.readString("Projects\\Last", "Subject"), "old subject");
}

TEST_F(RegImport, TakesEightBitExportsAsWindows1252AndHonoursDeletions) {
    const std::string v4 = withRoot(
        "REGEDIT4\r\n\r\n"
        "[-ROOT\\Servers\\OLD.example.com]\r\n\r\n"
        "[ROOT\\Projects\\Last]\r\n"
        "\"Subject\"=-\r\n"
        "\"From Name\"=\"Ren\xE9 \x93quoted\x94\"\r\n"
        "\"Missing\"=-\r\n");
    RegImportResult r = import(v4);
    EXPECT_TRUE(r.refusedKeys.empty());
    EXPECT_EQ(r.deletedKeys, 1u);
    EXPECT_EQ(r.deletedValues, 2u);

    FileSettingsStore fresh(m_file, nullptr);
    EXPECT_EQ(fresh.subkeyNames("Servers"), std::vector<std::string>{"news.example.com"});
    EXPECT_EQ(fresh.value("Projects\\Last", "Subject"), std::nullopt);
    EXPECT_EQ(fresh.readString("Projects\\Last", "From Name"),
              "Ren\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D");
}

// Nothing is half-imported: one key outside the program's tree refuses the whole file.
TEST_F(RegImport, RefusesKeysOutsideTheProgramsTreeAndChangesNothing) {
    const std::string before = readFile(m_file);
    const std::string text = withRoot(
        "Windows Registry Editor Version 5.00\n\n"
        "[ROOT\\Projects\\Last]\n"
        "\"Subject\"=\"new subject\"\n\n"
        "[-ROOT\\Servers]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Pellido Software]\n\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\Pellido Software\\Kavrin/32]\n\n"
        "[ROOT Beta\\Projects]\n"
        "\"Subject\"=\"x\"\n");
    RegImportResult r = import(text);
    EXPECT_EQ(r.refusedKeys,
              (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Pellido Software",
                                        "HKEY_LOCAL_MACHINE\\Software\\Pellido Software\\Kavrin/32",
                                        std::string(kRegistryRoot) + " Beta\\Projects"}));
    EXPECT_EQ(readFile(m_file), before);
    EXPECT_EQ(m_store.readString("Projects\\Last", "Subject"), "old subject");
    EXPECT_TRUE(m_store.keyExists("Servers\\old.example.com"));
}
