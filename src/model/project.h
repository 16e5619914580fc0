#pragma once

#include "model/server.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A posting project: everything one "Post It!" needs. A new record has every text empty, both
// line lists empty, every flag off, every count 0 and a server with an empty host name.
class TProject {
public:
    std::string Name;
    TServer Server;
    std::string Subject;
    std::string FromName;
    std::string FromEmailAddress;
    std::string ReplyToEmailAddress;
    std::string Organization;
    std::string FollowUpTo;
    std::string XNoArchive;               // "Yes" or "No"; only "Yes" counts as on
    std::vector<std::string> Newsgroups;  // always the lines of NewsgroupsText
    std::vector<std::string> Body;        // message lines, without line ends
    std::string SignatureFile;
    std::string AttachmentsText;  // paths, each followed by CR LF
    bool RandomizeSubject = false;
    bool RandomizeFromName = false;
    bool RandomizeFromEmailAddress = false;
    bool RandomizeReplyToEmailAddress = false;
    bool RandomizeOrganization = false;
    bool RandomizeFollowUpTo = false;
    bool PostSeparateMessageForEachAttachedFile = false;
    bool Crosspost = false;
    bool LimitCrossposting = false;
    std::int32_t CrosspostingLimit = 0;
    std::int32_t EncodingMethod = 0;  // 0 UUEncode, 1 Base64 / MIME, 2 yEnc
    bool SplitLargeMessages = false;
    std::int32_t SplitLines = 0;
    bool CutHere = false;

    const std::string& NewsgroupsText() const { return m_newsgroupsText; }
    // Sets the text and rebuilds Newsgroups from it.
    void SetNewsgroupsText(std::string text);

    // The values a first start gives the default project.
    static TProject FirstStartDefault();

private:
    std::string m_newsgroupsText;
};

// Encoding methods.
inline constexpr std::int32_t kEncodingUUEncode = 0;
inline constexpr std::int32_t kEncodingBase64 = 1;
inline constexpr std::int32_t kEncodingYEnc = 2;

// What the windows call each method, indexed by EncodingMethod. A method added here is offered
// by every encoding choice of the windows.
inline constexpr std::string_view kEncodingMethodNames[] = {"UUEncode", "Base64 / MIME", "yEnc"};
