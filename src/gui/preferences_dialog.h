#pragma once

#include "gui/dialog_hosts.h"
#include "gui/gui_context.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QWidget;
class TFileDrag;
class TMySpeedButton;

namespace Ui {
class TfrmPreferences;
}

// The preferences: the default project that new projects start from, the four value lists and
// the advanced settings. The dialog works on copies of what the main window holds; OK saves all
// three to the settings store, and closing by any way hands the value lists and the drop-down
// items back to the main window.
class TfrmPreferences : public QDialog, public NewsgroupTarget, public ServerBoxHost {
    Q_OBJECT

public:
    TfrmPreferences(GuiContext& context, PreferencesHost& host, QWidget* parent = nullptr);
    ~TfrmPreferences() override;

    // The default newsgroups, for the newsgroup selection dialog.
    QStringList targetNewsgroups() const override;
    void setTargetNewsgroups(const QStringList& groups) override;
    // cbxDefaultNewsgroupServer, for the server list dialog.
    QString serverBoxText() const override;
    void refreshServerBox() override;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One value list: its tab's entry box, Add button and list, its drop target and the
    // question a drop on a list that holds entries asks.
    struct ValueListControls {
        QLineEdit* entry;
        TMySpeedButton* add;
        QListWidget* list;
        TFileDrag* drop;
        std::vector<std::string> ValueLists::*values;
        const char* replaceQuestion;
    };

    // A select-from-list switch with the drop-down and label it disables.
    struct RandomizeControls {
        QCheckBox* check;
        QComboBox* box;
        QLabel* label;
    };

    void FormCreate();
    void ProjectToForm(const TProject& project);
    void FormToProject(TProject& project);
    void AdvancedToForm(const TAdvanced& advanced);
    void FormToAdvanced(TAdvanced& advanced) const;
    void handBack();
    void fillServerBox(const QString& select);

    void btnOkClick();
    void cbxDefaultNewsgroupServerChange();
    void btnDefaultNewsgroupServerClick();
    void btnDefaultNewsgroupsClick();
    // The default-newsgroup list changed: the view shows it from the top, with nothing selected.
    void defaultNewsgroupsChanged();
    // The follow-up drop-down offers the default newsgroups and keeps its text only when it is
    // one of them.
    void followupRule();
    void defaultDropDownExit(QComboBox* box);

    // Enabling rules.
    std::array<RandomizeControls, 6> randomizeSwitches() const;
    void randomizeClick(const RandomizeControls& controls);
    void chkDefaultCrosspostClick();
    void chkDefaultSplitUpMessagesClick();
    void chkSaveLogFileClick();
    void chkUseProjectNameAsLogFileClick();
    void chkUseWindowsComputerNameAsHostNameClick();
    void updateEnabledStates();

    // Value lists and the pop-up menu of every list.
    void setUpValueLists();
    void addValueListEntry(const ValueListControls& controls);
    ValueLists formValueLists() const;
    // The lists with the pop-up menu: the attached files, the default newsgroups, the four
    // value lists.
    std::vector<QWidget*> removableLists() const;
    // Del, Ctrl+Del and Ins in one of them; true when the key was the list's.
    bool listKeyPress(QWidget* list, QEvent* event);
    void mniRemoveSelectedItemsFromListClick(QWidget* list);
    void mniRemoveAllItemsFromListClick(QWidget* list);
    void showRemoveMenu(QWidget* list, const QPoint& pos);
    void valueListDrop(const ValueListControls& controls);

    // File buttons and drops.
    void btnDefaultMessageClick();
    void btnDefaultSignatureFileClick();
    void btnDefaultAttachmentsClick();
    void btnLogFileNameClick();
    void addAttachments(const QStringList& paths, bool dropped);
    void sysDefaultMessageDrop();
    void sysDefaultSignatureFileDrop();
    void sysDefaultAttachmentsDrop();
    void sysDefaultNewsgroupsDrop();
    TFileDrag* dropTarget(QWidget* control);

    std::unique_ptr<Ui::TfrmPreferences> m_ui;
    GuiContext& m_context;
    PreferencesHost& m_host;
    // The default-newsgroup list behind lstDefaultNewsgroups.
    QStringList m_defaultNewsgroups;
    std::string m_computerHostName;
    QButtonGroup* m_encodingMethods = nullptr;
    QMenu* m_pumRemoveItems = nullptr;
    QWidget* m_menuList = nullptr;
    std::array<ValueListControls, 4> m_valueLists{};
    TFileDrag* m_sysDefaultMessage = nullptr;
    TFileDrag* m_sysDefaultSignatureFile = nullptr;
    TFileDrag* m_sysDefaultAttachments = nullptr;
    TFileDrag* m_sysDefaultNewsgroups = nullptr;
    bool m_handedBack = false;
};
