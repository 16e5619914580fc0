// The preferences' value lists and the pop-up menu and keys of every list of the dialog.
#include "gui/preferences_dialog.h"

#include "ui_preferences_dialog.h"

#include "gui/list_items.h"
#include "gui/string_lists.h"
#include "gui/text_files.h"
#include "widgets/file_drag.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

void TfrmPreferences::setUpValueLists() {
    Ui::TfrmPreferences& ui = *m_ui;
    m_valueLists = {{
        {ui.edtAddFromName, ui.btnAddFromName, ui.lstFromNames, dropTarget(ui.lstFromNames),
         &ValueLists::Names, "Do you want to replace the current list of From Names?"},
        {ui.edtAddEmailAddress, ui.btnAddEmailAddress, ui.lstEmailAddresses,
         dropTarget(ui.lstEmailAddresses), &ValueLists::EmailAddresses,
         "Do you want to replace the current list of E-mail Addresses?"},
        {ui.edtAddOrganization, ui.btnAddOrganization, ui.lstOrganizations,
         dropTarget(ui.lstOrganizations), &ValueLists::Organizations,
         "Do you want to replace the current list of Organizations?"},
        {ui.edtAddSubject, ui.btnAddSubject, ui.lstSubjects, dropTarget(ui.lstSubjects),
         &ValueLists::Subjects, "Do you want to replace the current list of Subjects?"},
    }};
    const ValueLists& lists = m_host.valueLists();
    for (const ValueListControls& c : m_valueLists) {
        setSortedItems(c.list, toQStringList(lists.*c.values));
        connect(c.entry, &QLineEdit::textChanged, c.add,
                [add = c.add](const QString& text) { add->setEnabled(!text.isEmpty()); });
        connect(c.add, &QAbstractButton::clicked, this, [this, &c] { addValueListEntry(c); });
        connect(c.entry, &QLineEdit::returnPressed, this, [this, &c] { addValueListEntry(c); });
        connect(c.drop, &TFileDrag::OnDrop, this, [this, &c] { valueListDrop(c); });
    }

    m_pumRemoveItems = new QMenu(this);
    m_pumRemoveItems->setObjectName(QStringLiteral("pumRemoveItems"));
    QAction* removeSelected =
        m_pumRemoveItems->addAction(QStringLiteral("Remove &Selected Items From List"));
    removeSelected->setObjectName(QStringLiteral("mniRemoveSelectedItemsFromList"));
    removeSelected->setShortcut(QKeySequence(Qt::Key_Delete));
    QAction* removeAll = m_pumRemoveItems->addAction(QStringLiteral("Remove A&ll Items From List"));
    removeAll->setObjectName(QStringLiteral("mniRemoveAllItemsFromList"));
    removeAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // The keys reach the list with the focus (listKeyPress); the menu only shows them.
    for (QAction* action : {removeSelected, removeAll})
        action->setShortcutContext(Qt::WidgetShortcut);
    connect(removeSelected, &QAction::triggered, this,
            [this] { mniRemoveSelectedItemsFromListClick(m_menuList); });
    connect(removeAll, &QAction::triggered, this,
            [this] { mniRemoveAllItemsFromListClick(m_menuList); });

    for (QWidget* list : removableLists()) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { showRemoveMenu(list, pos); });
        list->installEventFilter(this);
    }
}

ValueLists TfrmPreferences::formValueLists() const {
    ValueLists lists;
    for (const ValueListControls& c : m_valueLists)
        lists.*c.values = toStdLines(itemTexts(c.list));
    return lists;
}

std::vector<QWidget*> TfrmPreferences::removableLists() const {
    const Ui::TfrmPreferences& ui = *m_ui;
    return {ui.lstDefaultAttachments, ui.lstDefaultNewsgroups, ui.lstFromNames,
            ui.lstEmailAddresses,     ui.lstOrganizations,     ui.lstSubjects};
}

void TfrmPreferences::addValueListEntry(const ValueListControls& controls) {
    const QString text = controls.entry->text();
    if (!text.isEmpty() && !hasItemIgnoringCase(controls.list, text))
        addSortedItem(controls.list, text);
    controls.entry->clear();
}

void TfrmPreferences::showRemoveMenu(QWidget* list, const QPoint& pos) {
    m_menuList = list;
    auto* area = qobject_cast<QAbstractScrollArea*>(list);
    m_pumRemoveItems->popup((area ? area->viewport() : list)->mapToGlobal(pos));
}

void TfrmPreferences::mniRemoveSelectedItemsFromListClick(QWidget* list) {
    if (list == m_ui->lstDefaultNewsgroups) {
        RemoveSelectedRows(*m_ui->lstDefaultNewsgroups, m_defaultNewsgroups);
        followupRule();
    } else if (auto* items = qobject_cast<QListWidget*>(list)) {
        removeSelectedItems(items);
    }
}

void TfrmPreferences::mniRemoveAllItemsFromListClick(QWidget* list) {
    if (list == m_ui->lstDefaultNewsgroups) {
        m_defaultNewsgroups.clear();
        defaultNewsgroupsChanged();
        followupRule();
    } else if (auto* items = qobject_cast<QListWidget*>(list)) {
        items->clear();
    }
}

bool TfrmPreferences::listKeyPress(QWidget* list, QEvent* event) {
    const std::vector<QWidget*> lists = removableLists();
    if (std::find(lists.begin(), lists.end(), list) == lists.end())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
        if (key->modifiers() & Qt::ControlModifier)
            mniRemoveAllItemsFromListClick(list);
        else
            mniRemoveSelectedItemsFromListClick(list);
        return true;
    }
    if (key->key() == Qt::Key_Insert) {
        if (list == m_ui->lstDefaultAttachments)
            m_ui->btnDefaultAttachments->click();
        else if (list == m_ui->lstDefaultNewsgroups)
            m_ui->btnDefaultNewsgroups->click();
        else
            return false;
        return true;
    }
    return false;
}

void TfrmPreferences::valueListDrop(const ValueListControls& controls) {
    const QString file =
        droppedTextFile(m_context.prompts, controls.drop->NameWithPath(), kMultipleListFiles);
    if (file.isEmpty())
        return;
    const DropMerge merge =
        askDropMerge(m_context.prompts, controls.list->count() > 0, controls.replaceQuestion);
    QStringList lines;
    if (merge == DropMerge::Nothing || !loadTextFileLines(m_context.prompts, file, lines))
        return;
    // Taken as they are, repeats included.
    if (merge == DropMerge::Append)
        lines = itemTexts(controls.list) + lines;
    setSortedItems(controls.list, lines);
}
