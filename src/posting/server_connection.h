#pragma once

#include "model/server.h"
#include "platform/user_prompts.h"
#include "posting/nntp.h"

#include <QString>

#include <string>
#include <string_view>

// What every user of a connection to a news server (the posting session, the newsgroup list
// dialogs, the command line) shows and asks about it, and how it aims the client at a server,
// kept in one place so they all say and do the same.

// The status bar's text for a connection state of the client: "Connecting...", "Resolving
// Host", "Host Resolved", "Connected", "Disconnecting...", and nothing for the others.
QString connectionStateText(int state);

// The question asked when a server's greeting does not allow posting.
std::string mayNotAllowPostingQuestion(std::string_view host);

// The banner check, run when the client reports the greeting. The greeting's own reply code
// decides, not the text: "201 news 2003 ready" holds "200" and still allows no posting. When
// posting is not allowed the user is asked whether to go on (a warning with Yes and No).
// Returns false when the answer is No; the caller then cancels the connection. Touches the
// client only before the question, which may run the event loop.
bool passesBannerCheck(const TNNTP& nntp, std::string_view host, UserPrompts& prompts);

// Writes what the client needs to reach the server before it connects: host, port, security
// and the server's trusted certificate file.
void aimAt(TNNTP& nntp, const TServer& server);

// Whether the client holds an idle connection, ready for commands, that was made exactly as
// aimAt would make it now: same host, port, security and trusted certificate file. Only such a
// connection may be used again; one made in plain text must never carry the login or the
// articles of a server since switched to TLS.
bool holdsConnectionTo(const TNNTP& nntp, const TServer& server);
