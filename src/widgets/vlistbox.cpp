#include "widgets/vlistbox.h"

#include "widgets/ps_header.h"
#include "widgets/vlistbox_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int TextMargin = 2;

QString unassignedText(int row) {
    return QStringLiteral("Item %1 Warning: OnGetItem not assigned!").arg(qint64(row) + 1);
}

}  // namespace

TVListBox::TVListBox(QWidget* parent) : QAbstractScrollArea(parent) {
    TVListBoxAccessible::Install();
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    viewport()->setObjectName(QStringLiteral("rows"));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_headerWidget = new TPSHeader(this);
    m_columns.OnChange = [this] { layoutChanged(); };
    m_selections.OnInvalidate = [this](int, int) { viewport()->update(); };

    m_autoScroll.setInterval(AutoScrollInterval);
    connect(&m_autoScroll, &QTimer::timeout, this, &TVListBox::autoScrollTick);

    QScrollBar* v = verticalScrollBar();
    connect(v, &QScrollBar::actionTriggered, this, &TVListBox::vScrollAction);
    connect(v, &QScrollBar::valueChanged, this, &TVListBox::vScrollValue);
    connect(v, &QScrollBar::sliderReleased, this, [this] {
        if (!m_vScrollTrack)
            SetTopRow(topOfPosition(verticalScrollBar()->value()));
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_updatingBars)
            SetHOffset(value);
    });
    layoutChanged();
}

TVListBox::~TVListBox() = default;

QString TVListBox::ItemOf(const QStringList& list, int Index) {
    if (Index < 0 || Index >= list.size())
        return {};
    return list.at(Index);
}

QString TVListBox::DragMimeType() {
    return QStringLiteral("application/x-kavrin32-rows");
}

// --- properties -------------------------------------------------------------------------

void TVListBox::SetRowCount(int Value) {
    if (Value < 0 || Value == m_rowCount)
        return;
    const bool shrinking = Value < m_rowCount;
    m_rowCount = Value;
    if (shrinking) {
        // Rows past the end must not stay selected: an owner removing "the selected rows"
        // would otherwise reach past its list.
        syncSelectionHooks();
        m_selections.Truncate(Value);
        if (m_anchor >= Value)
            m_anchor = -1;
        if (m_itemIndex >= Value) {
            m_itemIndex = -1;
            m_top = 1;
        }
    }
    m_top = std::clamp(m_top, 1, maxTop());
    updateScrollBars();
    viewport()->update();
    TVListBoxAccessible::RowCountChanged(this);
}

void TVListBox::SetRowHeight(int Value) {
    if (Value == 0 || Value < -1)
        return;
    m_rowHeight = Value;
    layoutChanged();
}

int TVListBox::ActualRowHeight() const {
    if (m_rowHeight > 0)
        return m_rowHeight;
    const QFontMetrics fm(font());
    return qMax(1, fm.height() + fm.leading());
}

void TVListBox::SetItemIndex(int Value) {
    if (Value == -1) {
        if (m_itemIndex != -1) {
            m_itemIndex = -1;
            emit OnChange();
            viewport()->update();
        }
        return;
    }
    if (Value < 0 || Value >= m_rowCount)
        return;
    const bool moved = Value != m_itemIndex;
    m_itemIndex = Value;
    const int row = Value + 1;
    const int visible = VisibleRows();
    if (row < m_top)
        SetTopRow(row);
    else if (row > m_top + qMax(visible, 1) - 1)
        SetTopRow(row - qMax(visible, 1) + 1);
    emit OnChange();
    viewport()->update();
    if (moved)
        announceFocus();
}

void TVListBox::SetTopRow(int Value) {
    const int top = std::clamp(Value, 1, maxTop());
    if (top != m_top) {
        m_top = top;
        viewport()->update();
    }
    m_updatingBars = true;
    verticalScrollBar()->setValue(positionOfTop(m_top));
    m_updatingBars = false;
}

void TVListBox::SetHOffset(int Value) {
    const int maxOffset = qMax(0, TotalWidth() - viewport()->width());
    const int offset = std::clamp(Value, 0, maxOffset);
    if (offset != m_hOffset) {
        m_hOffset = offset;
        viewport()->update();
        m_headerWidget->update();
    }
    m_updatingBars = true;
    horizontalScrollBar()->setValue(m_hOffset);
    m_updatingBars = false;
}

int TVListBox::VisibleRows() const {
    return viewport()->height() / ActualRowHeight();
}

int TVListBox::TotalWidth() const {
    int total = 0;
    const int count = m_columns.Count();
    for (int c = 0; c + 1 < count; ++c)
        total += m_columns.Width(c);
    if (count > 0)
        total += qMax(m_columns.Width(count - 1), m_widestLast);
    return total;
}

TSelections& TVListBox::Selections() {
    syncSelectionHooks();
    return m_selections;
}

void TVListBox::SetAlwaysVScrollbar(bool Value) {
    m_alwaysV = Value;
    updateScrollBars();
}

void TVListBox::SetAlwaysHScrollbar(bool Value) {
    m_alwaysH = Value;
    updateScrollBars();
}

void TVListBox::SetHeader(bool Value) {
    m_header = Value;
    layoutChanged();
}

void TVListBox::SetHeaderSize(int Value) {
    m_headerSize = std::clamp(Value, 0, 255);
    layoutChanged();
}

void TVListBox::SetHeaderSortedIndex(int Value) {
    if (Value != -1 && (Value < 1 || Value > m_columns.Count()))
        return;
    if (Value == m_headerSortedIndex)
        return;
    m_headerSortedIndex = Value;
    m_headerWidget->update();
    viewport()->update();
    emit OnHeaderIndexChanged();
}

void TVListBox::SetHeaderVertAlign(bool Value) {
    m_headerVertAlign = Value;
    m_headerWidget->update();
}

void TVListBox::SetHeaderFrame(TFaceStyle Value) {
    m_headerFrame = Value;
    m_headerWidget->update();
}

void TVListBox::SetBorderStyle(TBorderStyle Value) {
    m_borderStyle = Value;
    setFrameStyle(Value == bsNone ? QFrame::NoFrame : QFrame::StyledPanel | QFrame::Sunken);
}

void TVListBox::SetOwnerDraw(bool Value) {
    m_ownerDraw = Value;
    viewport()->update();
}

QWidget* TVListBox::HeaderWidget() const {
    return m_headerWidget;
}

QRect TVListBox::RowRect(int Index) const {
    // A row far below the view would overflow its pixel position in int.
    const qint64 slot = qint64(Index) - (m_top - 1);
    const int rh = ActualRowHeight();
    if (Index < 0 || Index >= m_rowCount || slot < 0 || slot * rh >= viewport()->height())
        return {};
    return QRect(0, static_cast<int>(slot) * rh, viewport()->width(), rh);
}

void TVListBox::Refresh() {
    m_top = std::clamp(m_top, 1, maxTop());
    updateScrollBars();
    viewport()->update();
    m_headerWidget->update();
}

// --- layout and scrolling ---------------------------------------------------------------

int TVListBox::maxTop() const {
    // The last row must be reachable in full, so the top row may go one past
    // RowCount - VisibleRows.
    return qMax(1, m_rowCount - VisibleRows() + 1);
}

// The vertical bar has a fixed range; the top row is mapped onto it so that any row count
// fits. With every row in view there is nothing to map and no division.
int TVListBox::positionOfTop(int top) const {
    const int span = maxTop() - 1;
    if (span <= 0)
        return 0;
    return static_cast<int>(std::lround(double(top - 1) / span * VScrollRange));
}

int TVListBox::topOfPosition(int position) const {
    const int span = maxTop() - 1;
    if (span <= 0)
        return 1;
    return 1 + static_cast<int>(std::lround(double(position) / VScrollRange * span));
}

void TVListBox::layoutChanged() {
    setViewportMargins(0, m_header ? m_headerSize : 0, 0, 0);
    placeHeader();
    updateScrollBars();
    viewport()->update();
}

void TVListBox::placeHeader() {
    m_headerWidget->setVisible(m_header);
    if (!m_header)
        return;
    const QRect rows = viewport()->geometry();
    m_headerWidget->setGeometry(rows.left(), rows.top() - m_headerSize, rows.width(), m_headerSize);
    m_headerWidget->update();
}

void TVListBox::updateScrollBars() {
    if (m_updatingBars)
        return;
    m_updatingBars = true;
    // Showing or hiding one bar resizes the rows' area, which can change what the other bar
    // needs; go again until the area keeps its size.
    for (int pass = 0; pass < 3; ++pass) {
        const QSize before = viewport()->size();

        const int span = maxTop() - 1;
        const bool needV = span > 0;
        QScrollBar* v = verticalScrollBar();
        v->setRange(0, needV ? VScrollRange : 0);
        v->setSingleStep(1);
        const double page = double(VScrollRange) * qMax(VisibleRows(), 1) / qMax(span, 1);
        v->setPageStep(std::clamp(static_cast<int>(page), 1, VScrollRange));
        v->setEnabled(needV);
        m_top = std::clamp(m_top, 1, maxTop());
        v->setValue(positionOfTop(m_top));
        setVerticalScrollBarPolicy(needV || m_alwaysV ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);

        const int overflow = TotalWidth() - viewport()->width();
        const bool needH = overflow > 0;
        QScrollBar* h = horizontalScrollBar();
        h->setRange(0, qMax(0, overflow));
        h->setSingleStep(1);
        h->setPageStep(qMax(1, viewport()->width()));
        h->setEnabled(needH);
        m_hOffset = std::clamp(m_hOffset, 0, qMax(0, overflow));
        h->setValue(m_hOffset);
        setHorizontalScrollBarPolicy(needH || m_alwaysH ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
        if (viewport()->size() == before)
            break;
    }
    m_updatingBars = false;
    placeHeader();
}

void TVListBox::vScrollAction(int action) {
    int top = m_top;
    const int page = qMax(VisibleRows(), 1);
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            top += 1;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            top -= 1;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            top += page;
            break;
        case QAbstractSlider::SliderPageStepSub:
            top -= page;
            break;
        case QAbstractSlider::SliderToMinimum:
            top = 1;
            break;
        case QAbstractSlider::SliderToMaximum:
            top = maxTop();
            break;
        default:
            return;  // thumb moves arrive through valueChanged
    }
    m_top = std::clamp(top, 1, maxTop());
    // The bar applies this position itself once the action is done.
    verticalScrollBar()->setSliderPosition(positionOfTop(m_top));
    viewport()->update();
}

void TVListBox::vScrollValue(int value) {
    if (m_updatingBars || value == positionOfTop(m_top))
        return;
    if (verticalScrollBar()->isSliderDown() && !m_vScrollTrack)
        return;
    const int top = std::clamp(topOfPosition(value), 1, maxTop());
    if (top != m_top) {
        m_top = top;
        viewport()->update();
    }
}

void TVListBox::scrollContentsBy(int, int) {
    // Every scroll repaints from the top row and offset; nothing is moved pixel-wise.
}

// --- selection --------------------------------------------------------------------------

void TVListBox::syncSelectionHooks() {
    // Hooks are set only when someone listens: each one makes a selection cost a call per
    // row, which must not happen for a range of millions of rows nobody looks at.
    if (isSignalConnected(QMetaMethod::fromSignal(&TVListBox::OnSelect)))
        m_selections.OnSelect = [this](int i) { emit OnSelect(i); };
    else
        m_selections.OnSelect = nullptr;
    if (isSignalConnected(QMetaMethod::fromSignal(&TVListBox::OnDeSelect)))
        m_selections.OnDeSelect = [this](int i) { emit OnDeSelect(i); };
    else
        m_selections.OnDeSelect = nullptr;
    if (OnIsProtected)
        m_selections.OnIsProtected = [this](int i) { return isProtected(i); };
    else
        m_selections.OnIsProtected = nullptr;
}

bool TVListBox::isProtected(int row) const {
    bool protect = false;
    if (OnIsProtected && row >= 0)
        OnIsProtected(const_cast<TVListBox*>(this), row, protect);
    return protect;
}

void TVListBox::applySelection(int target, bool extension, bool shift, bool ctrl) {
    if (target < 0 || target >= m_rowCount)
        return;
    // A screen reader hears about the two rows the user is looking at: the target and the row
    // the focus leaves. Asking costs a look through the ranges, so only while one listens.
    const bool tell = TVListBoxAccessible::Listening();
    const int left = m_itemIndex;
    const bool targetWas = tell && m_selections.IsSelected(target);
    const bool leftWas = tell && left >= 0 && m_selections.IsSelected(left);
    syncSelectionHooks();
    bool ok = true;
    if (!m_multiSelect) {
        if (!(m_selections.SelectedCount() == 1 && m_selections.IsSelected(target))) {
            m_selections.Clear();
            ok = m_selections.SelectRange(target, 1);
        }
    } else if (m_extendedSelect) {
        if (!extension && !shift) {
            m_anchor = -1;
            if (!ctrl)
                m_selections.Clear();
            ok = m_selections.Toggle(target);
        } else if (m_selections.IsSelected(m_itemIndex) || isProtected(m_itemIndex)) {
            if (m_anchor < 0)
                m_anchor = m_itemIndex;
            if (!ctrl || (extension && target < m_anchor))
                m_selections.Clear();
            const int first = qMin(m_anchor, target);
            const int count = qAbs(target - m_anchor) + 1;
            ok = m_selections.SelectRange(first, count);
        }
        // Otherwise the focused row is neither selected nor protected: only the focus moves.
    } else if (!extension) {
        ok = m_selections.Toggle(target);
    }
    if (!ok)
        emit OnCannotSelect();
    if (tell) {
        announceSelection(target, targetWas);
        if (left != target)
            announceSelection(left, leftWas);
    }
    SetItemIndex(target);
}

bool TVListBox::selectForClient(int row, bool select) {
    if (row < 0 || row >= m_rowCount)
        return false;
    syncSelectionHooks();
    const bool was = m_selections.IsSelected(row);
    if (was == select)
        return true;
    // A single-selection list always keeps its one row, as it does for the user.
    if (!select && !m_multiSelect)
        return false;
    bool ok;
    if (select) {
        if (!m_multiSelect)
            m_selections.Clear();
        ok = m_selections.SelectRange(row, 1);
    } else {
        ok = m_selections.DeselectRow(row);
    }
    if (!ok)
        emit OnCannotSelect();
    announceSelection(row, was);
    return ok && m_selections.IsSelected(row) == select;
}

QString TVListBox::rowText(int row) const {
    if (!OnGetItem)
        return unassignedText(row);
    TOwnerDrawState state;
    if (!isEnabled())
        state |= odDisabled;
    if (row == m_itemIndex && hasFocus())
        state |= odFocused;
    if (m_selections.IsSelected(row))
        state |= odSelected;
    // The columns the user can see, read left to right; empty cells would only be noise.
    QStringList texts;
    const int count = m_columns.Count();
    for (int c = 0; c < count; ++c) {
        if (m_columns.Width(c) == 0 && c + 1 < count)
            continue;
        QString text;
        QFont cellFont = font();
        QColor textColor, background;
        OnGetItem(const_cast<TVListBox*>(this), row, c + 1, text, state, cellFont, textColor,
                  background);
        if (!text.isEmpty())
            texts << text;
    }
    return texts.join(QStringLiteral(", "));
}

void TVListBox::announceFocus() {
    if (m_itemIndex < 0 || !TVListBoxAccessible::Listening() || !hasFocus())
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(m_itemIndex);
    TVListBoxAccessible::Send(&event);
}

void TVListBox::announceSelection(int row, bool wasSelected) {
    if (row < 0 || row >= m_rowCount || !TVListBoxAccessible::Listening())
        return;
    const bool selected = m_selections.IsSelected(row);
    if (selected == wasSelected)
        return;
    QAccessibleEvent event(this,
                           selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
    event.setChild(row);
    TVListBoxAccessible::Send(&event);
}

// --- painting ---------------------------------------------------------------------------

void TVListBox::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const int rh = ActualRowHeight();
    const int clientWidth = viewport()->width();
    const int clientHeight = viewport()->height();
    const int count = m_columns.Count();
    const QRect dirty = event->rect();
    const int focusRow = hasFocus() ? (m_itemIndex >= 0 ? m_itemIndex : m_top - 1) : -1;
    const int widestBefore = m_widestLast;

    int row = m_top - 1;
    for (int y = 0; y < clientHeight && row < m_rowCount; y += rh, ++row) {
        if (y + rh <= dirty.top() || y > dirty.bottom())
            continue;
        TOwnerDrawState state;
        if (!isEnabled())
            state |= odDisabled;
        if (row == focusRow)
            state |= odFocused;
        if (m_selections.IsSelected(row))
            state |= odSelected;
        int x = -m_hOffset;
        for (int c = 0; c < count && x < clientWidth; ++c) {
            const int w = m_columns.Width(c);
            QRect cell(x, y, w, rh);
            x += w;
            if (c + 1 == count)
                cell.setRight(qMax(cell.right(), clientWidth - 1));
            else if (cell.right() < 0 || w == 0)
                continue;
            paintCell(p, row, c, cell, state);
        }
        if (state & odFocused) {
            QStyleOptionFocusRect opt;
            opt.initFrom(this);
            opt.rect = QRect(0, y, clientWidth, rh);
            opt.backgroundColor =
                palette().color(state & odSelected ? QPalette::Highlight : QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
        }
    }
    // A longer last-column text than seen before widens the horizontal range; the bars are
    // set outside painting.
    if (m_widestLast != widestBefore)
        QMetaObject::invokeMethod(
            this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
}

void TVListBox::paintCell(QPainter& p, int row, int col, const QRect& cell, TOwnerDrawState state) {
    const bool selected = state & odSelected;
    QString text;
    QFont cellFont = font();
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    QColor textColor =
        palette().color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor background = palette().color(group, selected ? QPalette::Highlight : QPalette::Base);
    if (OnGetItem) {
        OnGetItem(this, row, col + 1, text, state, cellFont, textColor, background);
    } else {
        text = unassignedText(row);
    }

    const int last = m_columns.Count() - 1;
    const int halign = m_columns.HAlign(col);
    QRect area = cell;
    if (col == last) {
        const int textWidth = QFontMetrics(cellFont).horizontalAdvance(text) + 2 * TextMargin;
        m_widestLast = qMax(m_widestLast, textWidth);
        // A right-aligned or centred last column is as wide as its longest text, so texts
        // that overflow the view still share one right edge (or centre) when scrolled to.
        if (halign != 0)
            area.setRight(qMax(area.right(), area.left() + m_widestLast - 1));
    }

    if (m_ownerDraw && OnDrawItem) {
        bool drawStandard = true;
        p.save();
        OnDrawItem(this, &p, area, row, col + 1, state, drawStandard);
        p.restore();
        if (!drawStandard)
            return;
    }
    p.save();
    p.setClipRect(cell);
    p.fillRect(area, background);
    p.setFont(cellFont);
    p.setPen(textColor);
    p.drawText(area.adjusted(TextMargin, 0, -TextMargin, 0),
               m_columns.Alignment(col) | Qt::TextSingleLine, text);
    p.restore();
}

void TVListBox::resizeEvent(QResizeEvent*) {
    // The row area changed size: the bars and the header follow it.
    placeHeader();
    updateScrollBars();
}

void TVListBox::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        layoutChanged();
    else if (event->type() == QEvent::EnabledChange)
        viewport()->update();
}

void TVListBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    // The toolkit announces the list itself once the focus has moved, after this handler;
    // the focused row is announced after that, so a screen reader ends up on the row.
    if (TVListBoxAccessible::Listening())
        QMetaObject::invokeMethod(
            this, [this] { announceFocus(); }, Qt::QueuedConnection);
}

void TVListBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// --- mouse ------------------------------------------------------------------------------

int TVListBox::rowAtY(int y) const {
    // A press below the last row counts as one on the last row.
    const qint64 row = qint64(m_top) - 1 + qMax(0, y) / ActualRowHeight();
    return static_cast<int>(qMin<qint64>(row, m_rowCount - 1));
}

void TVListBox::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (m_rowCount > 0)
        applySelection(rowAtY(pos.y()), false, mods & Qt::ShiftModifier,
                       mods & Qt::ControlModifier);
    m_pressed = true;
    m_dragModifiers = mods;
    if (m_dragMode == dmAutomatic) {
        m_dragPending = true;
        m_pressPos = pos;
    }
    if (viewport()->rect().contains(pos))
        emit OnClick();
}

void TVListBox::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint pos = event->position().toPoint();
    m_dragModifiers = event->modifiers();
    if (m_dragPending) {
        if ((pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
            startRowDrag();
        return;
    }
    if (m_rowCount == 0)
        return;
    const int height = viewport()->height();
    const int rh = ActualRowHeight();
    if (pos.y() < 0 || pos.y() >= height) {
        m_scrollDirection = pos.y() < 0 ? -1 : 1;
        m_scrollDistance = (pos.y() < 0 ? -pos.y() : pos.y() - height) / rh;
        if (!m_autoScroll.isActive())
            m_autoScroll.start();
        return;
    }
    m_autoScroll.stop();
    const int target = rowAtY(pos.y());
    if (target != m_itemIndex)
        applySelection(target, true, m_dragModifiers & Qt::ShiftModifier,
                       m_dragModifiers & Qt::ControlModifier);
}

void TVListBox::autoScrollTick() {
    if (!m_pressed || m_rowCount == 0) {
        m_autoScroll.stop();
        return;
    }
    const qint64 from = m_itemIndex < 0 ? m_top - 1 : m_itemIndex;
    const qint64 step = qint64(m_scrollDistance + 1) * m_scrollDirection;
    const int target = static_cast<int>(std::clamp<qint64>(from + step, 0, m_rowCount - 1));
    if (target == m_itemIndex)
        return;
    applySelection(target, true, m_dragModifiers & Qt::ShiftModifier,
                   m_dragModifiers & Qt::ControlModifier);
}

void TVListBox::mouseReleaseEvent(QMouseEvent*) {
    endPress();
}

void TVListBox::endPress() {
    m_autoScroll.stop();
    m_pressed = false;
    m_dragPending = false;
}

void TVListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (viewport()->rect().contains(event->position().toPoint()))
        emit OnDblClick();
}

void TVListBox::startRowDrag() {
    m_dragPending = false;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(DragMimeType(), QByteArray());
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction);
    emit OnEndDrag();
    // The drag swallowed the button release; without it the press would live on.
    endPress();
}

void TVListBox::wheelEvent(QWheelEvent* event) {
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    m_wheelRemainder -= notches * 120;
    if (notches != 0)
        SetTopRow(static_cast<int>(std::clamp<qint64>(
            qint64(m_top) - qint64(notches) * QApplication::wheelScrollLines(), 1, maxTop())));
    event->accept();
}

// --- keyboard ---------------------------------------------------------------------------

void TVListBox::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const int key = event->key();

    if ((key == Qt::Key_Left || key == Qt::Key_Right) && shift && m_headerSortedIndex != -1) {
        const int next = m_headerSortedIndex + (key == Qt::Key_Left ? -1 : 1);
        SetHeaderSortedIndex(std::clamp(next, 1, qMax(1, m_columns.Count())));
        return;
    }
    // A shown bar owns the sideways keys, also one kept in view (and idle) while the columns
    // fit; only a list without one lets them move the focus.
    if ((key == Qt::Key_Left || key == Qt::Key_Right) &&
        horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
        const int step = ctrl ? viewport()->width() * 9 / 10 : 1;
        SetHOffset(m_hOffset + (key == Qt::Key_Left ? -step : step));
        return;
    }
    if (m_rowCount == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }

    const qint64 page = qMax(VisibleRows(), 1);
    const qint64 cur = m_itemIndex;
    const qint64 shown = m_top - 1;
    qint64 target;
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            target = cur < 0 ? shown : cur - 1;
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            target = cur < 0 ? shown : cur + 1;
            break;
        case Qt::Key_PageUp:
            target = cur < 0 ? shown : cur - page;
            break;
        case Qt::Key_PageDown:
            // From nothing it goes one page below the list's first row, wherever the view is.
            target = cur < 0 ? page : cur + page;
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = m_rowCount - 1;
            break;
        case Qt::Key_Space:
            if (m_multiSelect && !m_extendedSelect && m_itemIndex >= 0) {
                const bool was = m_selections.IsSelected(m_itemIndex);
                syncSelectionHooks();
                if (!m_selections.Toggle(m_itemIndex))
                    emit OnCannotSelect();
                announceSelection(m_itemIndex, was);
                return;
            }
            if (m_multiSelect && m_extendedSelect) {
                selectByKey(
                    static_cast<int>(std::clamp<qint64>(cur < 0 ? shown : cur, 0, m_rowCount - 1)),
                    ctrl);
                return;
            }
            QAbstractScrollArea::keyPressEvent(event);
            return;
        default: {
            const QString text = event->text();
            if (text.size() == 1 && text[0].isLetterOrNumber() && OnCharToItem) {
                int index = -1;
                OnCharToItem(this, text[0], index);
                if (index >= 0 && index < m_rowCount) {
                    moveByKey(index, mods);
                    return;
                }
            }
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
    }
    target = std::clamp<qint64>(target, 0, m_rowCount - 1);
    if (target == cur)
        return;
    moveByKey(static_cast<int>(target), mods);
}

// With extended selection Ctrl+arrows move the focus alone, so scattered rows are picked from
// the keyboard as they are with Ctrl+click: Ctrl+Space toggles the focused row (a Ctrl+click on
// it), Space selects it and keeps the rest. With nothing focused both act on the row that
// shows the focus frame, the top row shown.
void TVListBox::selectByKey(int target, bool ctrl) {
    if (ctrl || !m_selections.IsSelected(target))
        applySelection(target, false, false, true);
    else if (target != m_itemIndex)
        SetItemIndex(target);
}

void TVListBox::moveByKey(int target, Qt::KeyboardModifiers mods) {
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    if (!m_multiSelect) {
        applySelection(target, false, false, false);
    } else if (!m_extendedSelect || (ctrl && !shift)) {
        // Without extended selection, and with Ctrl alone, keys move the focus only.
        SetItemIndex(target);
    } else {
        applySelection(target, false, shift, ctrl);
    }
}

// --- header -----------------------------------------------------------------------------

void TVListBox::headerSizing(int col, int width, bool final) {
    if (m_changeColsImmediate == final)
        return;
    m_columns.SetWidth(col, width);
    emit OnHeaderChanged();
}

void TVListBox::headerPressed(int col) {
    if (m_headerSortedIndex == -1)
        return;
    SetHeaderSortedIndex(col);
    emit OnHeaderSectionClick(col);
}

void RemoveSelectedRows(TVListBox& view, QStringList& list) {
    TSelections& selections = view.Selections();
    if (list.isEmpty() || selections.SelectedCount() == 0)
        return;
    // Ranges never overlap, so deleting whole ranges from the highest first leaves the lower
    // row numbers valid; no per-row list is built, whatever was selected.
    std::vector<TRowRange> ranges = selections.Ranges();
    std::sort(ranges.begin(), ranges.end(),
              [](const TRowRange& a, const TRowRange& b) { return a.First > b.First; });
    for (const TRowRange& r : ranges) {
        if (r.First >= list.size())
            continue;
        list.remove(r.First, qMin<qsizetype>(r.Count, list.size() - r.First));
    }
    selections.Clear();
    view.SetRowCount(static_cast<int>(list.size()));
    view.Refresh();
}
