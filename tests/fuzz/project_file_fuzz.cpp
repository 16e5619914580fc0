// A project file of any content: the profile file reader and writer, and the project loaded from
// it.
//
// Any such file loads. Setting a key and saving keeps every other entry of the file; a project
// saved to a file loads back as the same project.

#include "fuzz_support.h"
#include "model/project_storage.h"
#include "platform/memory_settings_store.h"
#include "platform/profile_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

auto fields(const TProject& p) {
    const TServer& s = p.Server;
    return std::tie(s.HostName, s.Port, s.NumberOfNewsgroups, s.LastUpdated, s.UserName, s.Password,
                    s.Security, p.Subject, p.FromName, p.FromEmailAddress, p.ReplyToEmailAddress,
                    p.Organization, p.FollowUpTo, p.XNoArchive, p.Newsgroups, p.Body,
                    p.SignatureFile, p.AttachmentsText, p.RandomizeSubject, p.RandomizeFromName,
                    p.RandomizeFromEmailAddress, p.RandomizeReplyToEmailAddress,
                    p.RandomizeOrganization, p.RandomizeFollowUpTo,
                    p.PostSeparateMessageForEachAttachedFile, p.Crosspost, p.LimitCrossposting,
                    p.CrosspostingLimit, p.EncodingMethod, p.SplitLargeMessages, p.SplitLines,
                    p.CutHere, p.NewsgroupsText());
}

const char* const kSections[] = {"Kavrin/32", "Newsgroups", "Body", "Attachments", "Other"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    clearFuzzScratchDir();
    const std::filesystem::path file = fuzzScratchDir() / "fuzz.kv32";
    writeFile(file, bytes);

    // The profile file: one key set, the rest as it was.
    {
        ProfileFile profile(file);
        std::vector<std::vector<std::string>> entries;
        for (const char* section : kSections)
            entries.push_back(profile.sectionEntries(section));
        (void)profile.readInteger("Kavrin/32", "Port Number", 119);
        profile.writeString("Kavrin/32", "Subject", " fuzzed value ");
        profile.save();
        const ProfileFile back(file);
        FUZZ_CHECK(back.readString("Kavrin/32", "Subject") == "fuzzed value");
        for (std::size_t i = 1; i < std::size(kSections); ++i)
            FUZZ_CHECK(back.sectionEntries(kSections[i]) == entries[i]);
        writeFile(file, bytes);
    }

    // The project: loaded, saved elsewhere and loaded from there, the same.
    MemorySettingsStore store;
    FuzzPrompts prompts;
    TProject loaded = TProject::FirstStartDefault();
    loaded.Name = file.string();
    FUZZ_CHECK(LoadProjectFromFile(loaded, store, prompts));
    TProject saved = loaded;
    saved.Name = (fuzzScratchDir() / "saved.kv32").string();
    FUZZ_CHECK(SaveProjectToFile(saved, store, prompts));
    TProject again = TProject::FirstStartDefault();
    again.Name = saved.Name;
    FUZZ_CHECK(LoadProjectFromFile(again, store, prompts));
    FUZZ_CHECK(fields(again) == fields(saved));
    return 0;
}
