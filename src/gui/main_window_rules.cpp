#include "gui/main_window_rules.h"

#include "gui/string_lists.h"
#include "gui/text_files.h"
#include "platform/text.h"

#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// The body as the editor gives it back: a final empty line is the editor's last line break.
QStringList shownBody(const std::vector<std::string>& body) {
    QStringList lines = toQStringList(body);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

}  // namespace

ProjectForm formOfProject(const TProject& project) {
    ProjectForm form;
    form.NewsgroupServer = qs(project.Server.HostName);
    form.Subject = qs(project.Subject);
    form.FromName = qs(project.FromName);
    form.FromEmailAddress = qs(project.FromEmailAddress);
    form.ReplyToEmailAddress = qs(project.ReplyToEmailAddress);
    form.Organization = qs(project.Organization);
    form.FollowUpTo = qs(project.FollowUpTo);
    form.XNoArchive = project.XNoArchive == "Yes";
    form.Newsgroups = toQStringList(project.Newsgroups);
    form.FollowUpItems = form.Newsgroups;
    form.Message = shownBody(project.Body);
    form.SignatureFile = qs(project.SignatureFile);
    form.Attachments = toQStringList(splitLines(project.AttachmentsText));
    form.RandomizeSubject = project.RandomizeSubject;
    form.RandomizeFromName = project.RandomizeFromName;
    form.RandomizeFromEmailAddress = project.RandomizeFromEmailAddress;
    form.RandomizeReplyToEmailAddress = project.RandomizeReplyToEmailAddress;
    form.RandomizeOrganization = project.RandomizeOrganization;
    form.RandomizeFollowUpTo = project.RandomizeFollowUpTo;
    form.PostSeparateMessageForEachAttachedFile = project.PostSeparateMessageForEachAttachedFile;
    form.Crosspost = project.Crosspost;
    form.LimitCrossposting = project.LimitCrossposting;
    form.CrosspostingLimit =
        std::clamp(project.CrosspostingLimit, kMinCrosspostingLimit, kMaxCount);
    form.EncodingMethod = project.EncodingMethod;
    form.SplitLargeMessages = project.SplitLargeMessages;
    form.SplitLines = std::clamp(project.SplitLines, kMinSplitLines, kMaxCount);
    form.CutHere = project.CutHere;
    return form;
}

void copyFormToProject(const ProjectForm& form, TProject& project) {
    project.Server.HostName = utf8(form.NewsgroupServer);
    project.Subject = utf8(form.Subject);
    project.FromName = utf8(form.FromName);
    project.FromEmailAddress = utf8(form.FromEmailAddress);
    project.ReplyToEmailAddress = utf8(form.ReplyToEmailAddress);
    project.Organization = utf8(form.Organization);
    project.FollowUpTo = utf8(form.FollowUpTo);
    project.XNoArchive = form.XNoArchive ? "Yes" : "No";
    project.SetNewsgroupsText(joinLines(toStdLines(form.Newsgroups)));
    project.Body = toStdLines(form.Message);
    project.SignatureFile = utf8(form.SignatureFile);
    project.AttachmentsText = joinLines(toStdLines(form.Attachments));
    project.RandomizeSubject = form.RandomizeSubject;
    project.RandomizeFromName = form.RandomizeFromName;
    project.RandomizeFromEmailAddress = form.RandomizeFromEmailAddress;
    project.RandomizeReplyToEmailAddress = form.RandomizeReplyToEmailAddress;
    project.RandomizeOrganization = form.RandomizeOrganization;
    project.RandomizeFollowUpTo = form.RandomizeFollowUpTo;
    project.PostSeparateMessageForEachAttachedFile = form.PostSeparateMessageForEachAttachedFile;
    project.Crosspost = form.Crosspost;
    project.LimitCrossposting = form.LimitCrossposting;
    project.CrosspostingLimit = form.CrosspostingLimit;
    project.EncodingMethod = form.EncodingMethod;
    project.SplitLargeMessages = form.SplitLargeMessages;
    project.SplitLines = form.SplitLines;
    project.CutHere = form.CutHere;
}

bool projectChanged(const ProjectForm& form, const TProject& project) {
    // Lists are compared as lines, not as stored text: a newsgroups text read from elsewhere
    // without its final line break holds the same groups.
    const QStringList groups = toQStringList(project.Newsgroups);
    return form.NewsgroupServer != qs(project.Server.HostName) ||
           form.Subject != qs(project.Subject) || form.FromName != qs(project.FromName) ||
           form.FromEmailAddress != qs(project.FromEmailAddress) ||
           form.ReplyToEmailAddress != qs(project.ReplyToEmailAddress) ||
           form.Organization != qs(project.Organization) ||
           form.FollowUpTo != qs(project.FollowUpTo) ||
           form.XNoArchive != (project.XNoArchive == "Yes") || form.Newsgroups != groups ||
           form.FollowUpItems != groups || form.Message != shownBody(project.Body) ||
           form.SignatureFile != qs(project.SignatureFile) ||
           form.Attachments != toQStringList(splitLines(project.AttachmentsText)) ||
           form.RandomizeSubject != project.RandomizeSubject ||
           form.RandomizeFromName != project.RandomizeFromName ||
           form.RandomizeFromEmailAddress != project.RandomizeFromEmailAddress ||
           form.RandomizeReplyToEmailAddress != project.RandomizeReplyToEmailAddress ||
           form.RandomizeOrganization != project.RandomizeOrganization ||
           form.RandomizeFollowUpTo != project.RandomizeFollowUpTo ||
           form.PostSeparateMessageForEachAttachedFile !=
               project.PostSeparateMessageForEachAttachedFile ||
           form.Crosspost != project.Crosspost ||
           form.LimitCrossposting != project.LimitCrossposting ||
           form.CrosspostingLimit != project.CrosspostingLimit ||
           form.EncodingMethod != project.EncodingMethod ||
           form.SplitLargeMessages != project.SplitLargeMessages ||
           form.SplitLines != project.SplitLines || form.CutHere != project.CutHere;
}

PostItState postItState(const PostItInputs& in) {
    const bool subject = !in.Subject.isEmpty() || in.RandomizeSubject;
    const bool sender = !in.FromName.isEmpty() || in.RandomizeFromName ||
                        !in.FromEmailAddress.isEmpty() || in.RandomizeFromEmailAddress;
    const bool server = !in.NewsgroupServer.isEmpty();
    const bool newsgroup = in.NewsgroupCount > 0;
    PostItState state;
    state.Hint = QStringLiteral("Post It!");
    state.Enabled = subject && sender && server && newsgroup;
    if (state.Enabled)
        return state;
    state.Hint += QLatin1Char('\r');
    const auto unmet = [&](bool met, const char* message) {
        if (!met)
            state.Hint += QLatin1Char('\r') + QString::fromLatin1(message);
    };
    unmet(subject, "A subject is reqired to post a message");
    unmet(sender, "A name or e-mail address is reqired to post a message");
    unmet(server, "A newsgroup server is reqired to post a message");
    unmet(newsgroup, "A newsgroup is reqired to post a message");
    return state;
}

OptionStates optionStates(bool crosspost, bool limitCrossposting, bool splitUpMessages,
                          int encodingMethod, int attachmentCount) {
    OptionStates s;
    s.LimitCrossposting = crosspost;
    s.CrosspostingLimit = crosspost && limitCrossposting;
    s.MessageSize = splitUpMessages;
    s.CutHere = encodingMethod == kEncodingUUEncode;
    s.PostSeparateMessageForEachAttachedFile = attachmentCount > 1;
    return s;
}

QString lastPathComponent(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString projectFileName(const QString& chosen) {
    return fileExtension(chosen) == kProjectExtension ? chosen : chosen + kProjectExtension;
}

QString saveQuestion(const QString& projectName) {
    return QStringLiteral("Do you want to save ") + lastPathComponent(projectName) +
           QLatin1Char('?');
}

QString windowTitleFor(const QString& projectName) {
    return QStringLiteral("Kavrin/32 - ") +
           (projectName.isEmpty() ? QStringLiteral("Untitled") : projectName);
}

StartProjectFile startProjectFile(const QStringList& arguments,
                                  const std::function<bool(const QString&)>& isFile) {
    StartProjectFile result;
    if (arguments.isEmpty())
        return result;
    const QString& file = arguments.front();
    if (fileExtension(file) != kProjectExtension) {
        result.Note = QStringLiteral("Not opened: \"%1\" is not a project file (*.kv32)").arg(file);
        return result;
    }
    const bool exists = isFile ? isFile(file) : QFileInfo(file).isFile();
    if (!exists) {
        result.Note = QStringLiteral("Not opened: \"%1\" does not exist").arg(file);
        return result;
    }
    result.File = file;
    return result;
}
