#include "widgets/vlistbox_accessible.h"

#include "widgets/vlistbox.h"

#include <QKeySequence>
#include <QMetaObject>

#include <algorithm>
#include <vector>

namespace {

QAccessibleInterface* makeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("TVListBox") && object && object->isWidgetType())
        return new TVListBoxAccessible(static_cast<TVListBox*>(object));
    return nullptr;
}

class ActivationWatch : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override { announced = active; }
    bool announced = false;
};

TVListBoxAccessible::EventWatch g_eventWatch = nullptr;

ActivationWatch& activationWatch() {
    // Never destroyed: Qt may still tell its observers while the program ends.
    static auto* watch = new ActivationWatch;
    return *watch;
}

}  // namespace

// --- the list ---------------------------------------------------------------------------

void TVListBoxAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(makeInterface);
        QAccessible::installActivationObserver(&activationWatch());
        return true;
    }();
    Q_UNUSED(installed);
}

bool TVListBoxAccessible::Listening() {
    return activationWatch().announced || QAccessible::isActive();
}

void TVListBoxAccessible::RowCountChanged(TVListBox* list) {
    if (!Listening())
        return;
    if (auto* self =
            dynamic_cast<TVListBoxAccessible*>(QAccessible::queryAccessibleInterface(list)))
        self->dropRows(false);
    QAccessibleTableModelChangeEvent event(list, QAccessibleTableModelChangeEvent::ModelReset);
    Send(&event);
}

void TVListBoxAccessible::Send(QAccessibleEvent* event) {
    if (g_eventWatch)
        g_eventWatch(event);
    QAccessible::updateAccessibility(event);
}

void TVListBoxAccessible::SetEventWatch(EventWatch watch) {
    g_eventWatch = watch;
}

TVListBoxAccessible::TVListBoxAccessible(TVListBox* list)
    : QAccessibleWidget(list, QAccessible::List) {}

TVListBoxAccessible::~TVListBoxAccessible() {
    for (const QAccessible::Id id : std::as_const(m_rows))
        QAccessible::deleteAccessibleInterface(id);
}

TVListBox* TVListBoxAccessible::list() const {
    return static_cast<TVListBox*>(widget());
}

QAccessible::State TVListBoxAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    if (list()->MultiSelect()) {
        s.multiSelectable = true;
        s.extSelectable = list()->ExtendedSelect();
    }
    return s;
}

int TVListBoxAccessible::childCount() const {
    return list()->RowCount();
}

QAccessibleInterface* TVListBoxAccessible::child(int index) const {
    if (index < 0 || index >= list()->RowCount())
        return nullptr;
    if (const auto found = m_rows.constFind(index); found != m_rows.constEnd())
        return QAccessible::accessibleInterface(found.value());
    auto* row = new TVListBoxRowAccessible(list(), index);
    m_rows.insert(index, QAccessible::registerAccessibleInterface(row));
    if (m_rows.size() > KeptRows)
        scheduleTrim();
    return row;
}

int TVListBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* row = dynamic_cast<const TVListBoxRowAccessible*>(child);
    if (!row || row->List() != list() || !row->isValid())
        return -1;
    return row->Row();
}

QAccessibleInterface* TVListBoxAccessible::childAt(int x, int y) const {
    TVListBox* box = list();
    const QPoint at = box->viewport()->mapFromGlobal(QPoint(x, y));
    if (box->RowCount() == 0 || !box->viewport()->rect().contains(at))
        return nullptr;
    const qint64 row = qint64(box->TopRow()) - 1 + at.y() / box->ActualRowHeight();
    return row < box->RowCount() ? child(static_cast<int>(row)) : nullptr;
}

QAccessibleInterface* TVListBoxAccessible::focusChild() const {
    if (!list()->hasFocus())
        return nullptr;
    return child(list()->ItemIndex());
}

void* TVListBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* TVListBoxAccessible::cellAt(int row, int column) const {
    return column == 0 ? child(row) : nullptr;
}

QString TVListBoxAccessible::columnDescription(int column) const {
    if (column != 0 || !list()->Header())
        return {};
    QStringList titles;
    const TCols& cols = list()->Columns();
    for (int c = 0; c < cols.Count(); ++c)
        titles << cols.Title(c);
    return titles.join(QStringLiteral(", "));
}

int TVListBoxAccessible::selectedCellCount() const {
    return list()->Selections().SelectedCount();
}

int TVListBoxAccessible::selectedRowCount() const {
    return list()->Selections().SelectedCount();
}

int TVListBoxAccessible::rowCount() const {
    return list()->RowCount();
}

// In row order, as a table's client expects, whatever order the rows were picked in.
QList<int> TVListBoxAccessible::selectedRows() const {
    std::vector<TRowRange> ranges = list()->Selections().Ranges();
    std::sort(ranges.begin(), ranges.end(),
              [](const TRowRange& a, const TRowRange& b) { return a.First < b.First; });
    QList<int> rows;
    rows.reserve(list()->Selections().SelectedCount());
    for (const TRowRange& r : ranges)
        for (qint64 row = r.First; row <= r.Last(); ++row)
            rows << static_cast<int>(row);
    return rows;
}

QList<QAccessibleInterface*> TVListBoxAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows())
        cells << child(row);
    return cells;
}

bool TVListBoxAccessible::isRowSelected(int row) const {
    return list()->Selections().IsSelected(row);
}

bool TVListBoxAccessible::selectRow(int row) {
    return list()->selectForClient(row, true);
}

bool TVListBoxAccessible::unselectRow(int row) {
    return list()->selectForClient(row, false);
}

void TVListBoxAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
    // Rows keep their numbers; only those past the end are gone.
    dropRows(false);
}

// Interfaces handed out during the current call stay alive until it returns; after that only
// the focused row and the rows in view are kept, as a client is still likely to hold those.
void TVListBoxAccessible::scheduleTrim() const {
    if (m_trimPending)
        return;
    m_trimPending = true;
    auto* self = const_cast<TVListBoxAccessible*>(this);
    QMetaObject::invokeMethod(
        list(),
        [self] {
            self->m_trimPending = false;
            if (self->m_rows.size() > KeptRows)
                self->dropRows(true);
        },
        Qt::QueuedConnection);
}

void TVListBoxAccessible::dropRows(bool keepFocusAndView) {
    const TVListBox* box = list();
    const int focused = box->ItemIndex();
    const int first = box->TopRow() - 1;
    const int last = first + box->VisibleRows();
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        const int row = it.key();
        const bool keep = row < box->RowCount() &&
                          (!keepFocusAndView || row == focused || (row >= first && row <= last));
        if (keep) {
            ++it;
        } else {
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_rows.erase(it);
        }
    }
}

// --- a row ------------------------------------------------------------------------------

TVListBoxRowAccessible::TVListBoxRowAccessible(TVListBox* list, int row)
    : m_list(list), m_row(row) {}

bool TVListBoxRowAccessible::isValid() const {
    return m_list && m_row < m_list->RowCount();
}

QWindow* TVListBoxRowAccessible::window() const {
    QAccessibleInterface* list = parent();
    return list ? list->window() : nullptr;
}

QAccessibleInterface* TVListBoxRowAccessible::parent() const {
    return m_list ? QAccessible::queryAccessibleInterface(m_list.data()) : nullptr;
}

QString TVListBoxRowAccessible::text(QAccessible::Text t) const {
    if (t != QAccessible::Name || !isValid())
        return {};
    return m_list->rowText(m_row);
}

QRect TVListBoxRowAccessible::rect() const {
    if (!isValid())
        return {};
    const QRect r = m_list->RowRect(m_row);
    if (r.isEmpty())
        return {};
    return QRect(m_list->viewport()->mapToGlobal(r.topLeft()), r.size());
}

QAccessible::State TVListBoxRowAccessible::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    s.selectable = true;
    s.focusable = true;
    s.selected = m_list->Selections().IsSelected(m_row);
    s.focused = m_row == m_list->ItemIndex() && m_list->hasFocus();
    s.multiSelectable = m_list->MultiSelect();
    s.extSelectable = m_list->MultiSelect() && m_list->ExtendedSelect();
    s.disabled = !m_list->isEnabled();
    if (m_list->RowRect(m_row).isEmpty() || !m_list->isVisible()) {
        s.invisible = true;
        s.offscreen = true;
    }
    return s;
}

void* TVListBoxRowAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface*>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

bool TVListBoxRowAccessible::isSelected() const {
    return isValid() && m_list->Selections().IsSelected(m_row);
}

QStringList TVListBoxRowAccessible::actionNames() const {
    return {toggleAction(), setFocusAction()};
}

void TVListBoxRowAccessible::doAction(const QString& actionName) {
    if (!isValid())
        return;
    if (actionName == toggleAction()) {
        m_list->selectForClient(m_row, !isSelected());
    } else if (actionName == setFocusAction()) {
        m_list->setFocus(Qt::OtherFocusReason);
        m_list->SetItemIndex(m_row);
    }
}

QStringList TVListBoxRowAccessible::keyBindingsForAction(const QString& actionName) const {
    if (!isValid() || actionName != toggleAction() || !m_list->MultiSelect())
        return {};
    const QKeySequence key = m_list->ExtendedSelect() ? QKeySequence(Qt::CTRL | Qt::Key_Space)
                                                      : QKeySequence(Qt::Key_Space);
    return {key.toString(QKeySequence::NativeText)};
}
