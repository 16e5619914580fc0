// How the main window's fields react while the project is edited: recently used values,
// randomise switches, dependent options, the server box, the attachment and newsgroup lists
// with their menu, keys and drops, text files, and the message editor's menu.

#include "gui/main_window.h"

#include "gui/busy_cursor.h"
#include "gui/list_items.h"
#include "gui/newsgroups_dialog.h"
#include "gui/string_lists.h"
#include "gui/text_files.h"
#include "model/server_storage.h"
#include "ui_attachments_page.h"
#include "ui_main_window.h"
#include "ui_message_page.h"
#include "ui_newsgroups_page.h"
#include "ui_options_page.h"
#include "ui_progress_page.h"
#include "widgets/file_drag.h"
#include "widgets/speed_button.h"
#include "widgets/vlistbox.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>

namespace {

enum ListCommand { listAdd, listRemoveSelected, listRemoveAll };

// An editable box's items replaced, its text set.
void setItemsAndText(QComboBox* box, const QStringList& items, const QString& text) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

// A tab's title with the number of entries its list holds, so a user sees what is filled in
// without opening the page.
QString countedTitle(const QString& title, qsizetype count) {
    return count > 0 ? QStringLiteral("%1 (%2)").arg(title).arg(count) : title;
}

}  // namespace

void TfrmKavrin::connectFields() {
    Ui::MessagePage& m = *m_message;
    Ui::OptionsPage& o = *m_options;

    // Every method the project model knows, in its order; they follow "Cut Here" in the tab
    // order, as they stand below it.
    m_encoding = new QButtonGroup(this);
    QWidget* previous = o.chkCutHere;
    for (std::size_t i = 0; i < std::size(kEncodingMethodNames); ++i) {
        const std::string_view name = kEncodingMethodNames[i];
        auto* item = new QRadioButton(QString::fromUtf8(name.data(), qsizetype(name.size())),
                                      o.grpEncodingMethod);
        item->setObjectName(QStringLiteral("grpEncodingMethodItem%1").arg(i));
        o.grpEncodingMethod->layout()->addWidget(item);
        m_encoding->addButton(item, int(i));
        QWidget::setTabOrder(previous, item);
        previous = item;
    }
    m_encoding->button(kEncodingUUEncode)->setChecked(true);
    connect(m_encoding, &QButtonGroup::idToggled, this, [this] { updateOptionStates(); });
    for (QCheckBox* box : {o.chkCrosspost, o.chkLimitCrossposting, o.chkSplitUpMessages})
        connect(box, &QCheckBox::toggled, this, [this] { updateOptionStates(); });

    struct Randomize {
        QCheckBox* box;
        QLabel* label;
        QComboBox* field;
        const std::vector<std::string>* list;
        const char* question;
    };
    const Randomize switches[] = {
        {m.chkRandomizeSubject, m.lblSubject, m.cbxSubject, &m_lists.Subjects,
         "You have not created a list of Subjects.\rWould you like to create a list of Subjects "
         "now?"},
        {m.chkRandomizeFromName, m.lblFromName, m.cbxFromName, &m_lists.Names,
         "You have not created a list of Names.\rWould you like to create a list of Names now?"},
        {m.chkRandomizeFromEmailAddress, m.lblFromEmailAddress, m.cbxFromEmailAddress,
         &m_lists.EmailAddresses,
         "You have not created a list of Email Addresses.\rWould you like to create a list of "
         "Email Addresses now?"},
        {m.chkRandomizeReplyToEmailAddress, m.lblReplyToEmailAddress, m.cbxReplyToEmailAddress,
         &m_lists.EmailAddresses,
         "You have not created a list of Email Addresses.\rWould you like to create a list of "
         "Email Addresses now?"},
        {m.chkRandomizeOrganization, m.lblOrganization, m.cbxOrganization, &m_lists.Organizations,
         "You have not created a list of Organizations.\rWould you like to create a list of "
         "Organizations now?"},
        {m.chkRandomizeFollowupTo, m.lblFollowupTo, m.cbxFollowupTo, nullptr, nullptr},
    };
    for (const Randomize& r : switches) {
        if (r.list)
            connect(r.box, &QCheckBox::clicked, this,
                    [this, r] { randomizeClick(r.box, *r.list, r.question); });
        connect(r.box, &QCheckBox::toggled, this,
                [this, r] { randomizeToggled(r.box, r.label, r.field); });
    }

    for (QComboBox* box : {m.cbxSubject, m.cbxFromName, m.cbxFromEmailAddress})
        connect(box, &QComboBox::editTextChanged, this, [this] { edtChange(); });
    for (QComboBox* box : {m.cbxSubject, m.cbxFromName, m.cbxFromEmailAddress,
                           m.cbxReplyToEmailAddress, m.cbxOrganization}) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
    connect(m.cbxNewsgroupServer, &QComboBox::activated, this,
            [this] { cbxNewsgroupServerChange(); });
    connect(m_ui->pgeKavrin, &QTabWidget::currentChanged, this, [this] { edtChange(); });

    TVListBox* groups = m_newsgroupsPage->lstNewsgroups;
    groups->SetMultiSelect(true);
    groups->SetHeader(false);
    groups->OnGetItem = [this](TVListBox*, int index, int, QString& text, TOwnerDrawState, QFont&,
                               QColor&, QColor&) { text = TVListBox::ItemOf(m_newsgroups, index); };
    connect(groups, &TVListBox::OnClick, this, [this] { edtChange(); });
    QListWidget* files = m_attachments->lstAttachments;
    for (QAbstractScrollArea* list : std::initializer_list<QAbstractScrollArea*>{groups, files}) {
        list->installEventFilter(this);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { showListMenu(list, pos); });
    }
    connect(m.mmoMessage, &QWidget::customContextMenuRequested, this, &TfrmKavrin::showTextMenu);
}

void TfrmKavrin::buildPopupMenus() {
    m_pumListItems = new QMenu(this);
    m_pumListItems->setObjectName(QStringLiteral("pumListItems"));
    const auto listItem = [this](const char* name, const QString& text, const QKeySequence& key,
                                 int command) {
        QAction* action = m_pumListItems->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this,
                [this, command] { listCommand(m_popupList, command); });
    };
    listItem("mniAddItemsToList", QStringLiteral("&Add Items To List..."), Qt::Key_Insert, listAdd);
    listItem("mniRemoveSelectedItemsFromList", QStringLiteral("Remove &Selected Items From List"),
             Qt::Key_Delete, listRemoveSelected);
    listItem("mniRemoveAllItemsFromList", QStringLiteral("Remove A&ll Items From List"),
             QKeySequence(Qt::CTRL | Qt::Key_Delete), listRemoveAll);

    m_pumText = new QMenu(this);
    m_pumText->setObjectName(QStringLiteral("pumText"));
    QPlainTextEdit* editor = m_message->mmoMessage;
    const auto textItem = [this](const char* name, const QString& text, auto slot) {
        QAction* action = m_pumText->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    textItem("mniUndo", QStringLiteral("&Undo"), [editor] { editor->undo(); })->setVisible(false);
    textItem("mniCut", QStringLiteral("Cu&t"), [editor] { editor->cut(); });
    textItem("mniCopy", QStringLiteral("&Copy"), [editor] { editor->copy(); });
    textItem("mniPaste", QStringLiteral("&Paste"), [editor] { editor->paste(); });
    textItem("mniDelete", QStringLiteral("&Delete"),
             [editor] { editor->textCursor().removeSelectedText(); });
    m_pumText->addSeparator();
    textItem("mniSelectAll", QStringLiteral("Select &All"), [editor] { editor->selectAll(); });
}

void TfrmKavrin::buildDropTargets() {
    const auto target = [this](const char* name, QWidget* control, void (TfrmKavrin::*drop)()) {
        auto* drag = new TFileDrag(this);
        drag->setObjectName(QString::fromLatin1(name));
        drag->SetFocusControl(control);
        drag->SetEnableDrop(true);
        connect(drag, &TFileDrag::OnDrop, this, drop);
        return drag;
    };
    m_sysAttachments =
        target("sysAttachments", m_attachments->lstAttachments, &TfrmKavrin::sysAttachmentsDrop);
    m_sysSignatureFile =
        target("sysSignatureFile", m_message->edtSignatureFile, &TfrmKavrin::sysSignatureFileDrop);
    m_sysMessage = target("sysMessage", m_message->mmoMessage, &TfrmKavrin::sysMessageDrop);
    m_sysNewsgroups =
        target("sysNewsgroups", m_newsgroupsPage->lstNewsgroups, &TfrmKavrin::sysNewsgroupsDrop);
}

bool TfrmKavrin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the box, not the window or the box's own drop-down.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            QObject* owner = qobject_cast<QLineEdit*>(watched) ? watched->parent() : watched;
            if (auto* box = qobject_cast<QComboBox*>(owner))
                recentExit(box);
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* list = qobject_cast<QWidget*>(watched);
        const bool isList =
            watched == m_attachments->lstAttachments || watched == m_newsgroupsPage->lstNewsgroups;
        if (isList && !key->isAutoRepeat()) {
            if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
                listCommand(list, listAdd);
                return true;
            }
            if (key->key() == Qt::Key_Delete) {
                listCommand(list, key->modifiers() & Qt::ControlModifier ? listRemoveAll
                                                                         : listRemoveSelected);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmKavrin::edtChange() {
    const Ui::MessagePage& m = *m_message;
    PostItInputs in;
    in.Subject = m.cbxSubject->currentText();
    in.RandomizeSubject = m.chkRandomizeSubject->isChecked();
    in.FromName = m.cbxFromName->currentText();
    in.RandomizeFromName = m.chkRandomizeFromName->isChecked();
    in.FromEmailAddress = m.cbxFromEmailAddress->currentText();
    in.RandomizeFromEmailAddress = m.chkRandomizeFromEmailAddress->isChecked();
    in.NewsgroupServer = m.cbxNewsgroupServer->currentText();
    in.NewsgroupCount = int(m_newsgroups.size());
    const PostItState state = postItState(in);
    m_postItEnabled = state.Enabled;
    QString hint = state.Hint;
    hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_btnPostIt->setToolTip(hint);
    m_btnPostIt->setAccessibleDescription(hint);
    m_ui->mniFilePostIt->setToolTip(hint);
    updateCommands();
}

void TfrmKavrin::updateOptionStates() {
    const Ui::OptionsPage& o = *m_options;
    const OptionStates s =
        optionStates(o.chkCrosspost->isChecked(), o.chkLimitCrossposting->isChecked(),
                     o.chkSplitUpMessages->isChecked(), m_encoding->checkedId(),
                     m_attachments->lstAttachments->count());
    o.chkLimitCrossposting->setEnabled(s.LimitCrossposting);
    o.spnCrosspostingLimit->setEnabled(s.CrosspostingLimit);
    o.lblCrosspostingLimit->setEnabled(s.CrosspostingLimit);
    o.spnMessageSize->setEnabled(s.MessageSize);
    o.lblSplitUpMessages->setEnabled(s.MessageSize);
    o.chkCutHere->setEnabled(s.CutHere);
    m_attachments->chkPostSeparateMessageForEachAttachedFile->setEnabled(
        s.PostSeparateMessageForEachAttachedFile);
}

void TfrmKavrin::randomizeClick(QCheckBox* box, const std::vector<std::string>& list,
                                const char* question) {
    if (!box->isChecked() || !list.empty())
        return;
    if (m_context.prompts.confirm(question) == PromptAnswer::Yes)
        openPreferences();
    box->setChecked(!list.empty());
}

void TfrmKavrin::randomizeToggled(QCheckBox* box, QLabel* label, QComboBox* field) {
    label->setEnabled(!box->isChecked());
    field->setEnabled(!box->isChecked());
    edtChange();
}

void TfrmKavrin::recentExit(QComboBox* box) {
    if (!rememberEditText(box))
        return;
    // The two address boxes offer the same addresses.
    QComboBox* from = m_message->cbxFromEmailAddress;
    QComboBox* replyTo = m_message->cbxReplyToEmailAddress;
    if (box == from || box == replyTo)
        setSortedItems(box == from ? replyTo : from, itemTexts(box));
}

void TfrmKavrin::cbxNewsgroupServerChange(bool atShow) {
    const QString server = serverBoxText();
    // At start the window shows the project as it was put into it: a server that is not
    // stored here, or a follow-up group outside the list, must not silently cost the project
    // its newsgroups or its follow-up group.
    if (!atShow) {
        if (server == QString::fromStdString(m_project.Server.HostName)) {
            showNewsgroups(toQStringList(m_project.Newsgroups));
            followUpItemsFromNewsgroups();
        } else {
            m_project.Server = TServer{};
            m_project.Server.HostName = server.toStdString();
            LoadServer(m_project.Server, m_context.store, m_context.prompts);
            showNewsgroups({});
            setItemsAndText(m_message->cbxFollowupTo, {}, QString());
        }
    }
    edtChange();
    updateOptionStates();
}

void TfrmKavrin::showNewsgroups(const QStringList& groups) {
    m_newsgroups = groups;
    TVListBox* view = m_newsgroupsPage->lstNewsgroups;
    view->Selections().Clear();
    view->SetRowCount(int(m_newsgroups.size()));
    view->Refresh();
    m_ui->pgeKavrin->setTabText(m_ui->pgeKavrin->indexOf(m_ui->tabNewsgroups),
                                countedTitle(QStringLiteral("&Newsgroups"), m_newsgroups.size()));
    edtChange();
}

void TfrmKavrin::followUpItemsFromNewsgroups() {
    QComboBox* box = m_message->cbxFollowupTo;
    const QString text = box->currentText();
    setItemsAndText(box, m_newsgroups,
                    m_newsgroups.contains(text, Qt::CaseInsensitive) ? text : QString());
}

void TfrmKavrin::setTargetNewsgroups(const QStringList& groups) {
    showNewsgroups(groups);
}

void TfrmKavrin::btnNewsgroupsClick() {
    // The selection dialog edits the display list through setTargetNewsgroups.
    TfrmNewsgroups newsgroups(m_context, serverBoxText(), *this, this);
    newsgroups.exec();
    followUpItemsFromNewsgroups();
    edtChange();
    updateOptionStates();
}

void TfrmKavrin::btnNewsgroupServerClick() {
    openServerList();
}

void TfrmKavrin::mniEditPreferencesClick() {
    openPreferences();
}

void TfrmKavrin::mniFileAddFilesToListClick() {
    const QStringList chosen =
        m_context.files.openFiles(this, QStringLiteral("Attach"), m_attachmentFolder,
                                  attachmentFilters(), kAttachmentFilterPreselected);
    if (!chosen.isEmpty())
        m_attachmentFolder = QFileInfo(chosen.front()).absolutePath();
    addAttachments(chosen, false);
}

void TfrmKavrin::addAttachments(const QStringList& paths, bool skipFolders) {
    QListWidget* list = m_attachments->lstAttachments;
    for (const QString& path : paths) {
        if (skipFolders && QFileInfo(path).isDir())
            continue;
        if (!hasItemIgnoringCase(list, path))
            list->addItem(path);
    }
    attachmentsChanged();
}

void TfrmKavrin::attachmentsChanged() {
    updateOptionStates();
    m_ui->pgeKavrin->setTabText(
        m_ui->pgeKavrin->indexOf(m_ui->tabAttachments),
        countedTitle(QStringLiteral("&Attachments"), m_attachments->lstAttachments->count()));
}

void TfrmKavrin::removeSelectedAttachments() {
    removeSelectedItems(m_attachments->lstAttachments);
    attachmentsChanged();
}

void TfrmKavrin::removeAllAttachments() {
    m_attachments->lstAttachments->clear();
    attachmentsChanged();
}

void TfrmKavrin::removeSelectedNewsgroups() {
    const ::BusyCursor busy;
    QStringList groups = m_newsgroups;
    RemoveSelectedRows(*m_newsgroupsPage->lstNewsgroups, groups);
    showNewsgroups(groups);
    followUpItemsFromNewsgroups();
}

void TfrmKavrin::removeAllNewsgroups() {
    const ::BusyCursor busy;
    showNewsgroups({});
    setItemsAndText(m_message->cbxFollowupTo, {}, QString());
}

void TfrmKavrin::listCommand(QWidget* list, int command) {
    const bool newsgroups = list == m_newsgroupsPage->lstNewsgroups;
    switch (command) {
        case listAdd:
            (newsgroups ? m_newsgroupsPage->btnNewsgroups : m_attachments->btnAttachments)->click();
            break;
        case listRemoveSelected:
            newsgroups ? removeSelectedNewsgroups() : removeSelectedAttachments();
            break;
        case listRemoveAll:
            newsgroups ? removeAllNewsgroups() : removeAllAttachments();
            break;
        default:
            break;
    }
}

void TfrmKavrin::showListMenu(QWidget* list, const QPoint& pos) {
    m_popupList = list;
    const bool newsgroups = list == m_newsgroupsPage->lstNewsgroups;
    m_pumListItems->actions().at(listAdd)->setEnabled(
        (newsgroups ? m_newsgroupsPage->btnNewsgroups : m_attachments->btnAttachments)
            ->isEnabled());
    auto* area = qobject_cast<QAbstractScrollArea*>(list);
    m_pumListItems->exec((area ? area->viewport() : list)->mapToGlobal(pos));
}

void TfrmKavrin::showTextMenu(const QPoint& pos) {
    QPlainTextEdit* editor = m_message->mmoMessage;
    const bool selected = editor->textCursor().hasSelection();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    for (QAction* action : m_pumText->actions()) {
        const QString name = action->objectName();
        if (name == QStringLiteral("mniCut") || name == QStringLiteral("mniCopy") ||
            name == QStringLiteral("mniDelete"))
            action->setEnabled(selected);
        else if (name == QStringLiteral("mniPaste"))
            action->setEnabled(clip && clip->hasText());
    }
    m_pumText->exec(editor->viewport()->mapToGlobal(pos));
}

QString TfrmKavrin::chooseTextFile(const QString& title, const QString& startPath) {
    const QString path = m_context.files.openFile(
        this, title, startPath.isEmpty() ? m_textFolder : startPath, textFileFilters());
    if (path.isEmpty())
        return {};
    m_textFolder = QFileInfo(path).absolutePath();
    return confirmTextFile(m_context.prompts, path, false) ? path : QString();
}

void TfrmKavrin::mniFileSelectSignatureFileClick() {
    const QString path =
        chooseTextFile(QStringLiteral("Signature File"), m_message->edtSignatureFile->text());
    if (!path.isEmpty())
        m_message->edtSignatureFile->setText(path);
}

void TfrmKavrin::btnMessageClick() {
    const QString path = chooseTextFile(QStringLiteral("Load Message From..."), QString());
    QStringList lines;
    if (!path.isEmpty() && loadTextFileLines(m_context.prompts, path, lines))
        setMemoLines(m_message->mmoMessage, lines);
}

void TfrmKavrin::sysAttachmentsDrop() {
    addAttachments(m_sysAttachments->NameWithPath(), true);
}

void TfrmKavrin::sysSignatureFileDrop() {
    const QString path = droppedTextFile(m_context.prompts, m_sysSignatureFile->NameWithPath(),
                                         kMultipleSignatureFiles);
    if (!path.isEmpty())
        m_message->edtSignatureFile->setText(path);
}

void TfrmKavrin::sysMessageDrop() {
    const QString path =
        droppedTextFile(m_context.prompts, m_sysMessage->NameWithPath(), kMultipleMessageFiles);
    QStringList lines;
    if (path.isEmpty() || !loadTextFileLines(m_context.prompts, path, lines))
        return;
    QPlainTextEdit* editor = m_message->mmoMessage;
    switch (askDropMerge(m_context.prompts, !editor->document()->isEmpty(),
                         "Do you want to replace the current message?")) {
        case DropMerge::Replace:
            setMemoLines(editor, lines);
            break;
        case DropMerge::Append:
            setMemoLines(editor, memoLines(editor) + lines);
            break;
        case DropMerge::Nothing:
            break;
    }
}

void TfrmKavrin::sysNewsgroupsDrop() {
    const QString path =
        droppedTextFile(m_context.prompts, m_sysNewsgroups->NameWithPath(), kMultipleListFiles);
    QStringList lines;
    if (path.isEmpty() || !loadTextFileLines(m_context.prompts, path, lines))
        return;
    switch (askDropMerge(m_context.prompts, !m_newsgroups.isEmpty(),
                         "Do you want to replace the current list of newsgroups?")) {
        case DropMerge::Replace:
            break;
        case DropMerge::Append:
            lines = m_newsgroups + lines;
            break;
        case DropMerge::Nothing:
            return;
    }
    showNewsgroups(lines);
    followUpItemsFromNewsgroups();
}
