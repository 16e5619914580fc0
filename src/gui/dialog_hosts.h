#pragma once

#include "model/advanced.h"
#include "model/advanced_storage.h"
#include "model/project.h"

#include <QString>
#include <QStringList>

// What the dialogs need of the windows that open them. The main window and the preferences
// dialog implement these, so each dialog can be built and tested on its own.

// A window with a server box that must follow the stored servers: the main window's
// cbxNewsgroupServer, the preferences dialog's cbxDefaultNewsgroupServer.
class ServerBoxHost {
public:
    virtual ~ServerBoxHost() = default;
    // The text the box shows now.
    virtual QString serverBoxText() const = 0;
    // Refills the box from the stored server names and selects the entry equal, ignoring case,
    // to the text it showed before; nothing is selected when that server is gone.
    virtual void refreshServerBox() = 0;
};

// The newsgroup list a selection dialog edits: the project's in the main window, the default
// project's in the preferences dialog.
class NewsgroupTarget {
public:
    virtual ~NewsgroupTarget() = default;
    virtual QStringList targetNewsgroups() const = 0;
    // The dialog's OK: the list becomes groups, its view's selection is cleared, its row count
    // set and the view repainted. What else depends on the list (the follow-up box) the opener
    // brings in step after the dialog returns.
    virtual void setTargetNewsgroups(const QStringList& groups) = 0;
};

// The recently used items of the main window's five header boxes.
struct RecentLists {
    QStringList Subjects;
    QStringList FromNames;
    QStringList FromEmailAddresses;
    QStringList ReplyToEmailAddresses;
    QStringList Organizations;
};

// What the preferences dialog takes from the main window when it opens and hands back when it
// closes (after OK and Cancel alike). The objects are the main window's program-wide ones.
class PreferencesHost : public ServerBoxHost {
public:
    virtual RecentLists recentLists() const = 0;
    virtual void setRecentLists(const RecentLists& lists) = 0;
    virtual ValueLists& valueLists() = 0;
    virtual TProject& defaultProject() = 0;
    virtual TAdvanced& advancedSettings() = 0;
};
