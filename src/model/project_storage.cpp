#include "model/project_storage.h"

#include "model/server_storage.h"
#include "model/stored_values.h"
#include "platform/profile_file.h"
#include "platform/text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kProjects = "Projects";
constexpr std::string_view kMainSection = "Kavrin/32";
constexpr std::int32_t kDefaultPort = 119;

// An empty body line is written as a no-break space, so that no body value is ever empty. Files
// of the Windows program hold it as the single byte 0xA0.
constexpr std::string_view kEmptyBodyLine = "\xC2\xA0";
constexpr std::string_view kEmptyBodyLineWindows = "\xA0";

// The options that follow the texts, in the order they are written: flags (1-byte binary in
// the store, "0"/"1" in files) and counts (4-byte binary, decimal), with their file defaults and
// the ranges the window's controls allow. A count outside them would divide by zero or skip
// attached files further on, so nothing read from storage may bring one in.
struct OptionField {
    std::string_view name;
    bool TProject::*flag;           // set for a flag
    std::int32_t TProject::*count;  // set for a count
    std::int32_t fileDefault;
    std::int32_t low = 0;
    std::int32_t high = 0;
};

constexpr std::int32_t kMaxCount = 32767;

constexpr OptionField kOptions[] = {
    {"Randomize Subject", &TProject::RandomizeSubject, nullptr, 0},
    {"Randomize From Name", &TProject::RandomizeFromName, nullptr, 0},
    {"Randomize From E-mail Address", &TProject::RandomizeFromEmailAddress, nullptr, 0},
    {"Randomize Reply To E-mail Address", &TProject::RandomizeReplyToEmailAddress, nullptr, 0},
    {"Randomize Organization", &TProject::RandomizeOrganization, nullptr, 0},
    {"Randomize Follow-Up To", &TProject::RandomizeFollowUpTo, nullptr, 0},
    {"Post Seperate Message for Each Attached File",
     &TProject::PostSeparateMessageForEachAttachedFile, nullptr, 1},
    {"Crosspost", &TProject::Crosspost, nullptr, 1},
    {"Limit Crossposting", &TProject::LimitCrossposting, nullptr, 0},
    {"Crossposting Limit", nullptr, &TProject::CrosspostingLimit, 10, 1, kMaxCount},
    {"Encoding Method", nullptr, &TProject::EncodingMethod, 0, kEncodingUUEncode, kEncodingYEnc},
    {"Split Large Messages", &TProject::SplitLargeMessages, nullptr, 0},
    {"Split Lines", nullptr, &TProject::SplitLines, 1000, 1, kMaxCount},
    {"Cut Here", &TProject::CutHere, nullptr, 0},
};

struct TextField {
    std::string_view name;
    std::string TProject::*field;
};

// The header texts between "Port Number" and the newsgroups, in the order they are written.
constexpr TextField kHeaderTexts[] = {
    {"Subject", &TProject::Subject},
    {"From Name", &TProject::FromName},
    {"From E-mail Address", &TProject::FromEmailAddress},
    {"Reply To E-mail Address", &TProject::ReplyToEmailAddress},
    {"Organization", &TProject::Organization},
    {"Follow-Up To", &TProject::FollowUpTo},
    {"X-No-Archive", &TProject::XNoArchive},
};

// The values of a list section in the order the file lists them. The key is taken to be the
// position; what counts is the text after the first "=".
std::vector<std::string> sectionValues(const ProfileFile& file, std::string_view section) {
    std::vector<std::string> values;
    for (const std::string& entry : file.sectionEntries(section))
        values.push_back(entry.substr(entry.find('=') + 1));
    return values;
}

std::string trimmed(const std::string& s) {
    auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Newsgroup names hold no blanks, so blanks around them are only those of a hand-edited file.
std::string trimmedListText(std::vector<std::string> values) {
    for (auto& v : values)
        v = trimmed(v);
    return joinLines(values);
}

void writeList(ProfileFile& file, std::string_view section, const std::vector<std::string>& lines) {
    file.eraseSection(section);
    for (std::size_t i = 0; i < lines.size(); ++i)
        file.writeString(section, std::to_string(i), lines[i]);
}

}  // namespace

std::string projectKeyPath(std::string_view keyName) {
    if (keyName.find('\\') != std::string_view::npos)
        throw SettingsError("a project name cannot hold \"\\\"");
    return settingsPath(kProjects, keyName);
}

bool LoadProjectFromRegistry(TProject& project, std::string_view keyName, SettingsStore& store,
                             UserPrompts& prompts) {
    if (keyName.empty())
        return true;
    try {
        const std::string key = projectKeyPath(keyName);
        project.Name = store.readString(key, "Name");
        project.Server.HostName = store.readString(key, "Newsgroup Server");
        try {
            project.Server.Port = store.readInteger(key, "Port Number");
        } catch (const SettingsError&) {
            project.Server.Port = kDefaultPort;
        }
        for (const auto& t : kHeaderTexts)
            project.*t.field = store.readString(key, t.name);
        project.SetNewsgroupsText(store.readString(key, "Newsgroups"));
        project.Body = splitLines(store.readString(key, "Body"));
        project.SignatureFile = store.readString(key, "Signature File");
        project.AttachmentsText = store.readString(key, "Attachments");
        for (const auto& o : kOptions) {
            if (o.flag)
                readFlag(store, key, o.name, project.*o.flag);
            else
                readCount(store, key, o.name, project.*o.count, o.low, o.high);
        }
    } catch (const std::exception&) {
        prompts.error("Unable to load project from registry");
        return false;
    }
    LoadServer(project.Server, store, prompts);
    return true;
}

bool SaveProjectToRegistry(const TProject& project, std::string_view keyName, SettingsStore& store,
                           UserPrompts& prompts) {
    if (keyName.empty())
        return true;
    try {
        const std::string key = projectKeyPath(keyName);
        SettingsUpdate update(store);
        store.writeString(key, "Name", project.Name);
        store.writeString(key, "Newsgroup Server", project.Server.HostName);
        store.writeInteger(key, "Port Number", project.Server.Port);
        for (const auto& t : kHeaderTexts)
            store.writeString(key, t.name, project.*t.field);
        store.writeString(key, "Newsgroups", project.NewsgroupsText());
        store.writeString(key, "Body", joinLines(project.Body));
        store.writeString(key, "Signature File", project.SignatureFile);
        store.writeString(key, "Attachments", project.AttachmentsText);
        for (const auto& o : kOptions) {
            if (o.flag)
                writeFlag(store, key, o.name, project.*o.flag);
            else
                writeCount(store, key, o.name, project.*o.count);
        }
        update.commit();
    } catch (const std::exception&) {
        prompts.error("Unable to save project to registry");
        return false;
    }
    SaveServer(project.Server, store, prompts);
    return true;
}

bool LoadProjectFromFile(TProject& project, SettingsStore& store, UserPrompts& prompts,
                         ServerRecord server) {
    if (project.Name.empty())
        return true;
    try {
        const ProfileFile file(project.Name);
        const auto S = kMainSection;
        // "Name" is not read: the project's name stays the path it was opened from.
        project.Server.HostName = file.readString(S, "Newsgroup Server");
        project.Server.Port = file.readInteger(S, "Port Number", kDefaultPort);
        for (const auto& t : kHeaderTexts)
            project.*t.field = file.readString(S, t.name);
        project.SignatureFile = file.readString(S, "Signature File");
        for (const auto& o : kOptions) {
            const std::int32_t v = file.readInteger(S, o.name, o.fileDefault);
            if (o.flag)
                project.*o.flag = v != 0;
            else
                project.*o.count = std::clamp(v, o.low, o.high);
        }

        project.SetNewsgroupsText(trimmedListText(sectionValues(file, "Newsgroups")));
        std::vector<std::string> body = sectionValues(file, "Body");
        // Only the marker itself stands for an empty line: a real line that begins with a
        // no-break space keeps its text.
        for (auto& line : body)
            if (line == kEmptyBodyLine || line == kEmptyBodyLineWindows)
                line.clear();
        project.Body = std::move(body);
        // Paths keep their blanks: a file name may end with one.
        project.AttachmentsText = joinLines(sectionValues(file, "Attachments"));
    } catch (const std::exception&) {
        prompts.error("Unable to load project from file");
        return false;
    }
    if (server == ServerRecord::Load)
        LoadServer(project.Server, store, prompts);
    return true;
}

bool SaveProjectToFile(const TProject& project, SettingsStore& store, UserPrompts& prompts) {
    if (project.Name.empty())
        return true;
    try {
        ProfileFile file(project.Name);
        const auto S = kMainSection;
        file.writeString(S, "Name", project.Name);
        file.writeString(S, "Newsgroup Server", project.Server.HostName);
        file.writeString(S, "Port Number", std::to_string(project.Server.Port));
        for (const auto& t : kHeaderTexts)
            file.writeString(S, t.name, project.*t.field);
        writeList(file, "Newsgroups", splitLines(project.NewsgroupsText()));
        std::vector<std::string> body = project.Body;
        for (auto& line : body)
            if (line.empty())
                line = kEmptyBodyLine;
        writeList(file, "Body", body);
        file.writeString(S, "Signature File", project.SignatureFile);
        writeList(file, "Attachments", splitLines(project.AttachmentsText));
        for (const auto& o : kOptions)
            file.writeString(
                S, o.name,
                o.flag ? (project.*o.flag ? "1" : "0") : std::to_string(project.*o.count));
        file.save();
    } catch (const std::exception&) {
        prompts.error("Unable to save project to file");
        return false;
    }
    SaveServer(project.Server, store, prompts);
    return true;
}
