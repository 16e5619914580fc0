#include "gui/list_items.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// Where text goes in a sorted list of count items, itemAt giving the text of one: after every
// item that does not sort after it.
template <class ItemAt>
int sortedPosition(int count, const QString& text, ItemAt itemAt) {
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (!listTextLess(text, itemAt(mid)))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

QStringList sorted(QStringList texts) {
    std::stable_sort(texts.begin(), texts.end(), listTextLess);
    return texts;
}

}  // namespace

bool listTextLess(const QString& a, const QString& b) {
    const int folded = QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded());
    if (folded != 0)
        return folded < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void addSortedItem(QListWidget* list, const QString& text) {
    list->insertItem(
        sortedPosition(list->count(), text, [list](int i) { return list->item(i)->text(); }), text);
}

void addSortedItem(QComboBox* box, const QString& text) {
    const QString shown = box->currentText();
    const QSignalBlocker blocker(box);
    box->insertItem(sortedPosition(box->count(), text, [box](int i) { return box->itemText(i); }),
                    text);
    if (box->isEditable())
        box->setEditText(shown);
}

void setSortedItems(QListWidget* list, const QStringList& texts) {
    setItems(list, sorted(texts));
}

void setSortedItems(QComboBox* box, const QStringList& texts) {
    const QString shown = box->currentText();
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(sorted(texts));
    if (box->isEditable())
        box->setEditText(shown);
}

void setItems(QListWidget* list, const QStringList& texts) {
    list->clear();
    list->addItems(texts);
}

QStringList itemTexts(const QListWidget* list) {
    QStringList texts;
    texts.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QStringList itemTexts(const QComboBox* box) {
    QStringList texts;
    texts.reserve(box->count());
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

bool hasItemIgnoringCase(const QListWidget* list, const QString& text) {
    return !list->findItems(text, Qt::MatchFixedString).isEmpty();
}

bool hasItemIgnoringCase(const QComboBox* box, const QString& text) {
    return box->findText(text, Qt::MatchFixedString) >= 0;
}

bool rememberEditText(QComboBox* box) {
    const QString text = box->currentText();
    if (text.isEmpty() || hasItemIgnoringCase(box, text))
        return false;
    addSortedItem(box, text);
    return true;
}

void removeSelectedItems(QListWidget* list) {
    QListWidgetItem* current = list->currentItem();
    if (!current || list->count() == 0)
        return;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.size() <= 1) {
        if (current->isSelected())
            delete current;
        return;
    }
    for (int row = list->count() - 1; row >= 0; --row)
        if (list->item(row)->isSelected())
            delete list->item(row);
}
