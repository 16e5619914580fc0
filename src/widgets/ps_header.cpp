#include "widgets/ps_header.h"

#include "widgets/vlistbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>

namespace {

constexpr int BorderGrip = 2;

}  // namespace

TPSHeader::TPSHeader(TVListBox* owner) : QWidget(owner), m_owner(owner) {
    setObjectName(QStringLiteral("header"));
    setMouseTracking(true);
}

int TPSHeader::widthOf(int col) const {
    return col == m_sizeCol ? m_liveWidth : m_owner->Columns().Width(col);
}

int TPSHeader::leftOf(int col) const {
    int x = -m_owner->HOffset();
    for (int c = 0; c < col; ++c)
        x += widthOf(c);
    return x;
}

int TPSHeader::borderAt(int x) const {
    const int count = m_owner->Columns().Count();
    int right = -m_owner->HOffset();
    for (int c = 0; c + 1 < count; ++c) {
        right += widthOf(c);
        if (qAbs(x - right) > BorderGrip)
            continue;
        // Columns of width 0 hide behind this border; taking the last of them lets the user
        // pull a hidden column open again.
        while (c + 2 < count && widthOf(c + 1) == 0)
            ++c;
        return c;
    }
    return -1;
}

int TPSHeader::columnAt(int x) const {
    const int count = m_owner->Columns().Count();
    int left = -m_owner->HOffset();
    for (int c = 0; c < count; ++c) {
        const int w = widthOf(c);
        if (x >= left && (x < left + w || c + 1 == count))
            return c;
        left += w;
    }
    return -1;
}

void TPSHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TCols& cols = m_owner->Columns();
    const int count = cols.Count();
    int x = -m_owner->HOffset();
    for (int c = 0; c < count && x < width(); ++c) {
        const int w = widthOf(c);
        QRect r(x, 0, w, height());
        if (c + 1 == count)
            r.setRight(qMax(r.right(), width() - 1));
        x += w;
        if (r.right() < 0 || r.width() <= 0)
            continue;
        bool drawStandard = true;
        if (m_owner->OnHeaderPaintSection)
            m_owner->OnHeaderPaintSection(this, &p, c + 1, r, drawStandard);
        if (!drawStandard)
            continue;
        QStyleOptionHeader opt;
        opt.initFrom(this);
        opt.rect = r;
        opt.section = c;
        opt.orientation = Qt::Horizontal;
        opt.text = cols.Title(c);
        opt.state |= QStyle::State_Raised | QStyle::State_Horizontal;
        const Qt::Alignment align = cols.Alignment(c);
        opt.textAlignment =
            (align & Qt::AlignHorizontal_Mask) |
            (m_owner->HeaderVertAlign() ? align & Qt::AlignVertical_Mask : Qt::AlignVCenter);
        opt.position = count == 1       ? QStyleOptionHeader::OnlyOneSection
                       : c == 0         ? QStyleOptionHeader::Beginning
                       : c + 1 == count ? QStyleOptionHeader::End
                                        : QStyleOptionHeader::Middle;
        if (c + 1 == m_owner->HeaderSortedIndex()) {
            opt.sortIndicator = QStyleOptionHeader::SortDown;
            QFont bold = font();
            bold.setBold(true);
            p.setFont(bold);
        } else {
            p.setFont(font());
        }
        style()->drawControl(QStyle::CE_Header, &opt, &p, this);
    }
}

void TPSHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int x = event->position().toPoint().x();
    const int border = m_owner->HeaderAllowSizing() ? borderAt(x) : -1;
    if (border >= 0) {
        m_sizeCol = border;
        m_pressX = x;
        m_widthAtPress = m_owner->Columns().Width(border);
        m_liveWidth = m_widthAtPress;
        return;
    }
    const int col = columnAt(x);
    if (col >= 0)
        m_owner->headerPressed(col + 1);
}

void TPSHeader::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (m_sizeCol >= 0) {
        const int w = qMax(0, m_widthAtPress + x - m_pressX);
        if (w != m_liveWidth) {
            m_liveWidth = w;
            update();
            m_owner->headerSizing(m_sizeCol, w, false);
        }
        return;
    }
    const bool onBorder = m_owner->HeaderAllowSizing() && borderAt(x) >= 0;
    if (onBorder)
        setCursor(Qt::SplitHCursor);
    else
        unsetCursor();
}

void TPSHeader::mouseReleaseEvent(QMouseEvent*) {
    if (m_sizeCol < 0)
        return;
    const int col = m_sizeCol;
    const int w = m_liveWidth;
    m_sizeCol = -1;
    m_owner->headerSizing(col, w, true);
    update();
}
