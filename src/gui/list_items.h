#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QListWidget;

// The item lists of the windows' standard list boxes and drop-downs.

// The order of sorted lists: the user's collation without regard to letter case, then exact,
// so the order is the same on every run.
bool listTextLess(const QString& a, const QString& b);

// Sorted list boxes and drop-downs: a new item goes where the order puts it.
void addSortedItem(QListWidget* list, const QString& text);
void addSortedItem(QComboBox* box, const QString& text);
// Replaces every item; an editable drop-down keeps the text it shows.
void setSortedItems(QListWidget* list, const QStringList& texts);
void setSortedItems(QComboBox* box, const QStringList& texts);
// Replaces every item in the order given.
void setItems(QListWidget* list, const QStringList& texts);

QStringList itemTexts(const QListWidget* list);
QStringList itemTexts(const QComboBox* box);

// The drop-downs' and list boxes' own search: equal without regard to letter case.
bool hasItemIgnoringCase(const QListWidget* list, const QString& text);
bool hasItemIgnoringCase(const QComboBox* box, const QString& text);

// Leaving an editable drop-down: a text that is not empty and not yet among its items becomes
// one. True when an item was added.
bool rememberEditText(QComboBox* box);

// The list box's "remove selected": nothing without a current item or with an empty list; with
// at most one item selected the current one goes when it is selected; otherwise every selected
// item goes, from the last to the first.
void removeSelectedItems(QListWidget* list);
