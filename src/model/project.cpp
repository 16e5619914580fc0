#include "model/project.h"

#include "platform/text.h"

void TProject::SetNewsgroupsText(std::string text) {
    m_newsgroupsText = std::move(text);
    Newsgroups = splitLines(m_newsgroupsText);
}

TProject TProject::FirstStartDefault() {
    TProject p;
    p.Name = "Default";
    p.PostSeparateMessageForEachAttachedFile = true;
    p.Crosspost = true;
    p.CrosspostingLimit = 10;
    p.SplitLines = 1000;
    return p;
}
