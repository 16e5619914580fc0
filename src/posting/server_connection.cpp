#include "posting/server_connection.h"

namespace {

QString fromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QString connectionStateText(int state) {
    switch (state) {
        case nsConnecting:
            return QStringLiteral("Connecting...");
        case nsResolvingHost:
            return QStringLiteral("Resolving Host");
        case nsHostResolved:
            return QStringLiteral("Host Resolved");
        case nsConnected:
            return QStringLiteral("Connected");
        case nsDisconnecting:
            return QStringLiteral("Disconnecting...");
        default:
            return QString();
    }
}

std::string mayNotAllowPostingQuestion(std::string_view host) {
    return std::string(host) + " may not allow posting.  Do you want to continue?";
}

bool passesBannerCheck(const TNNTP& nntp, std::string_view host, UserPrompts& prompts) {
    if (nntp.BannerCode() == static_cast<int>(NntpReply::PostingAllowed))
        return true;
    return prompts.show(PromptKind::Warning, PromptButtons::YesNo,
                        mayNotAllowPostingQuestion(host)) == PromptAnswer::Yes;
}

void aimAt(TNNTP& nntp, const TServer& server) {
    nntp.RemoteHost = fromUtf8(server.HostName);
    nntp.RemotePort = server.Port;
    nntp.Security = static_cast<NntpSecurity>(server.Security);
    nntp.CaFile = fromUtf8(server.CaFile);
}

bool holdsConnectionTo(const TNNTP& nntp, const TServer& server) {
    return nntp.State() == nsConnected && nntp.ProtocolState() == prcReady && !nntp.Busy() &&
           nntp.RemoteHost == fromUtf8(server.HostName) && nntp.RemotePort == server.Port &&
           nntp.Security == static_cast<NntpSecurity>(server.Security) &&
           nntp.CaFile == fromUtf8(server.CaFile);
}
