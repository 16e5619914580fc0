#pragma once

#include "model/project.h"

#include <QString>
#include <QStringList>

#include <functional>

// The rules of the main window that decide state, kept apart from the widgets so they can be
// read and tested on their own: what the window's fields hold as one record, when that record
// differs from the current project, when Post It may run and why not, which option controls
// are usable, and the small naming rules of the project commands.

// The main window's fields as values: what ProjectToForm puts into the window and what
// FormToProject takes from it.
struct ProjectForm {
    QString NewsgroupServer;
    QString Subject;
    QString FromName;
    QString FromEmailAddress;
    QString ReplyToEmailAddress;
    QString Organization;
    QString FollowUpTo;
    bool XNoArchive = false;
    QStringList Newsgroups;     // the newsgroup display list
    QStringList FollowUpItems;  // the items of the follow-up box
    QStringList Message;        // the editor's lines
    QString SignatureFile;
    QStringList Attachments;
    bool RandomizeSubject = false;
    bool RandomizeFromName = false;
    bool RandomizeFromEmailAddress = false;
    bool RandomizeReplyToEmailAddress = false;
    bool RandomizeOrganization = false;
    bool RandomizeFollowUpTo = false;
    bool PostSeparateMessageForEachAttachedFile = false;
    bool Crosspost = false;
    bool LimitCrossposting = false;
    int CrosspostingLimit = 10;
    int EncodingMethod = 0;
    bool SplitLargeMessages = false;
    int SplitLines = 1000;
    bool CutHere = false;
};

// The ranges of the window's two number boxes.
inline constexpr int kMinCrosspostingLimit = 2;
inline constexpr int kMinSplitLines = 1;
inline constexpr int kMaxCount = 32767;

// What the window shows for a project. Counts are brought into the number boxes' ranges, as
// the boxes themselves would do.
ProjectForm formOfProject(const TProject& project);

// Copies the fields into the project, all but the server record (the window reloads that from
// the store by its host name). X-No-Archive becomes "Yes" or "No"; the newsgroups text is the
// display list's.
void copyFormToProject(const ProjectForm& form, TProject& project);

// True when any field differs from the project: texts compared exactly, lists line by line
// (the display list and the follow-up items each against the project's newsgroups, the editor's
// lines against the body's as the editor shows them), X-No-Archive as on/off.
bool projectChanged(const ProjectForm& form, const TProject& project);

// What Post It depends on.
struct PostItInputs {
    QString Subject;
    bool RandomizeSubject = false;
    QString FromName;
    bool RandomizeFromName = false;
    QString FromEmailAddress;
    bool RandomizeFromEmailAddress = false;
    QString NewsgroupServer;
    int NewsgroupCount = 0;
};

struct PostItState {
    bool Enabled = false;
    // "Post It!", followed when disabled by a CR and, for each unmet condition, a CR and its
    // message.
    QString Hint;
};

PostItState postItState(const PostItInputs& inputs);

// Which option controls can be used.
struct OptionStates {
    bool LimitCrossposting = false;                       // the "Limit cross-posting to" switch
    bool CrosspostingLimit = false;                       // its number box and "groups at once"
    bool MessageSize = false;                             // the split size box and "lines."
    bool CutHere = false;                                 // "Cut Here" lines, UUEncode only
    bool PostSeparateMessageForEachAttachedFile = false;  // more than one attached file
};

OptionStates optionStates(bool crosspost, bool limitCrossposting, bool splitUpMessages,
                          int encodingMethod, int attachmentCount);

// The part of a path after the last "/".
QString lastPathComponent(const QString& path);

inline const QString kProjectExtension = QStringLiteral(".kv32");

// A name chosen in the save dialog, with ".kv32" added unless it already ends so.
QString projectFileName(const QString& chosen);

// "Do you want to save " and the last path component of the project's name, "?".
QString saveQuestion(const QString& projectName);

// "Kavrin/32 - " and the project's name ("Untitled" when it has none).
QString windowTitleFor(const QString& projectName);

// The project file named on the command line: the first argument when its extension is exactly
// ".kv32" and it names an existing file. Otherwise File is empty, and Note says why an argument
// was passed over (empty when there was none).
struct StartProjectFile {
    QString File;
    QString Note;
};
StartProjectFile startProjectFile(const QStringList& arguments,
                                  const std::function<bool(const QString&)>& isFile = nullptr);
