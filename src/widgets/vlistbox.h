#pragma once

#include "widgets/cols.h"
#include "widgets/selections.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFlags>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QPainter;
class TPSHeader;
class TVListBoxAccessible;
class TVListBoxRowAccessible;

enum TOwnerDrawStateFlag { odSelected = 0x1, odDisabled = 0x2, odFocused = 0x4 };
Q_DECLARE_FLAGS(TOwnerDrawState, TOwnerDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOwnerDrawState)

enum TDragMode { dmManual, dmAutomatic };
enum TFaceStyle { fsWin95, fsWin31, fsSpeedButton, fsSingleBevel };
enum TBorderStyle { bsNone, bsSingle };

// A list that stores no text: it knows how many rows it has and which are selected, and asks
// its owner for the text of every cell it paints (OnGetItem). Painting and scrolling cost what
// the visible rows cost, whatever the row count. Rows are 0-based everywhere except the top
// row, which is 1-based; columns handed to the events are 1-based.
class TVListBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    // The handler may change the text, the font, the text colour and the background.
    using TGetItemEvent =
        std::function<void(TVListBox* Sender, int Index, int Col, QString& Strg,
                           TOwnerDrawState State, QFont& Font, QColor& FontColor, QColor& BGColor)>;
    // Clearing DrawStandard keeps the standard drawing from painting over the handler's.
    using TVLBDrawItemEvent =
        std::function<void(TVListBox* Sender, QPainter* Canvas, const QRect& Rect, int Index,
                           int Col, TOwnerDrawState State, bool& DrawStandard)>;
    using TIsProtectedEvent = std::function<void(TVListBox* Sender, int Index, bool& Protect)>;
    using TCharToItemEvent = std::function<void(TVListBox* Sender, QChar PressedChar, int& Index)>;
    using TPaintHeaderEvent = std::function<void(QObject* Sender, QPainter* Canvas, int Col,
                                                 const QRect& Rect, bool& DrawStandard)>;

    // The scroll bar's fixed range: any row count maps onto it.
    static constexpr int VScrollRange = 30000;
    static constexpr int AutoScrollInterval = 80;

    explicit TVListBox(QWidget* parent = nullptr);
    ~TVListBox() override;

    TGetItemEvent OnGetItem;
    TVLBDrawItemEvent OnDrawItem;
    TIsProtectedEvent OnIsProtected;
    TCharToItemEvent OnCharToItem;
    TPaintHeaderEvent OnHeaderPaintSection;

    // Line Index of an owner's list, or empty text when the list is shorter than the row
    // count (the owner changed its list and has not set the row count yet).
    static QString ItemOf(const QStringList& list, int Index);

    int RowCount() const { return m_rowCount; }
    // Negative values are ignored; 0 rows is a valid, empty list.
    void SetRowCount(int Value);
    int RowHeight() const { return m_rowHeight; }
    void SetRowHeight(int Value);
    // The row height in use: RowHeight, or the font's height with its leading when it is -1.
    int ActualRowHeight() const;
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int Value);
    int TopRow() const { return m_top; }
    void SetTopRow(int Value);
    int HOffset() const { return m_hOffset; }
    void SetHOffset(int Value);
    int VisibleRows() const;
    int TotalWidth() const;

    TCols& Columns() { return m_columns; }
    const TCols& Columns() const { return m_columns; }
    TSelections& Selections();
    const TSelections& Selections() const { return m_selections; }

    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool Value) { m_multiSelect = Value; }
    bool ExtendedSelect() const { return m_extendedSelect; }
    void SetExtendedSelect(bool Value) { m_extendedSelect = Value; }
    bool AlwaysVScrollbar() const { return m_alwaysV; }
    void SetAlwaysVScrollbar(bool Value);
    bool AlwaysHScrollbar() const { return m_alwaysH; }
    void SetAlwaysHScrollbar(bool Value);
    bool Header() const { return m_header; }
    void SetHeader(bool Value);
    bool HeaderAllowSizing() const { return m_headerAllowSizing; }
    void SetHeaderAllowSizing(bool Value) { m_headerAllowSizing = Value; }
    int HeaderSize() const { return m_headerSize; }
    void SetHeaderSize(int Value);
    int HeaderSortedIndex() const { return m_headerSortedIndex; }
    // -1 or a 1-based column number; other values are ignored.
    void SetHeaderSortedIndex(int Value);
    bool HeaderVertAlign() const { return m_headerVertAlign; }
    void SetHeaderVertAlign(bool Value);
    TFaceStyle HeaderFrame() const { return m_headerFrame; }
    void SetHeaderFrame(TFaceStyle Value);
    bool ChangeColsImmediate() const { return m_changeColsImmediate; }
    void SetChangeColsImmediate(bool Value) { m_changeColsImmediate = Value; }
    bool OwnerDraw() const { return m_ownerDraw; }
    void SetOwnerDraw(bool Value);
    bool VScrollTrack() const { return m_vScrollTrack; }
    void SetVScrollTrack(bool Value) { m_vScrollTrack = Value; }
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    TDragMode DragMode() const { return m_dragMode; }
    void SetDragMode(TDragMode Value) { m_dragMode = Value; }

    // The header widget (objectName "header"), for owners that style it.
    QWidget* HeaderWidget() const;
    // Where row Index is drawn in the row area, empty when it is not in view.
    QRect RowRect(int Index) const;
    // Owners call this after changing their backing list.
    void Refresh();

    // The MIME type of the drags the list box starts in dmAutomatic mode; the drop target
    // finds the list box as the drag's source.
    static QString DragMimeType();

signals:
    void OnChange();
    void OnCannotSelect();
    void OnHeaderIndexChanged();
    void OnHeaderChanged();
    void OnSelect(int Index);
    void OnDeSelect(int Index);
    void OnHeaderSectionClick(int Col);
    void OnClick();
    void OnDblClick();
    void OnEndDrag();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class TPSHeader;
    friend class TVListBoxAccessible;
    friend class TVListBoxRowAccessible;

    int maxTop() const;
    int positionOfTop(int top) const;
    int topOfPosition(int position) const;
    void updateScrollBars();
    void placeHeader();
    void layoutChanged();
    void vScrollAction(int action);
    void vScrollValue(int value);
    void syncSelectionHooks();
    bool isProtected(int row) const;
    int rowAtY(int y) const;
    void applySelection(int target, bool extension, bool shift, bool ctrl);
    void moveByKey(int target, Qt::KeyboardModifiers mods);
    void selectByKey(int target, bool ctrl);
    // A screen reader's picks: row alone in a single-selection list, else added or taken out.
    bool selectForClient(int row, bool select);
    // The texts of a row's columns as one line, for a screen reader.
    QString rowText(int row) const;
    // Screen-reader events; they cost nothing while no client listens.
    void announceFocus();
    void announceSelection(int row, bool wasSelected);
    void autoScrollTick();
    void endPress();
    void startRowDrag();
    void paintCell(QPainter& p, int row, int col, const QRect& cell, TOwnerDrawState state);
    void headerSizing(int col, int width, bool final);
    void headerPressed(int col);

    TCols m_columns;
    TSelections m_selections;
    TPSHeader* m_headerWidget = nullptr;
    QTimer m_autoScroll;

    int m_rowCount = 0;
    int m_rowHeight = -1;
    int m_itemIndex = -1;
    int m_top = 1;
    int m_hOffset = 0;
    int m_anchor = -1;
    int m_widestLast = 0;

    bool m_multiSelect = false;
    bool m_extendedSelect = true;
    bool m_alwaysV = false;
    bool m_alwaysH = false;
    bool m_header = true;
    bool m_headerAllowSizing = true;
    int m_headerSize = 20;
    int m_headerSortedIndex = -1;
    bool m_headerVertAlign = false;
    TFaceStyle m_headerFrame = fsWin95;
    bool m_changeColsImmediate = false;
    bool m_ownerDraw = false;
    bool m_vScrollTrack = false;
    TBorderStyle m_borderStyle = bsSingle;
    TDragMode m_dragMode = dmManual;

    // Mouse state between press and release.
    bool m_pressed = false;
    bool m_dragPending = false;
    QPoint m_pressPos;
    Qt::KeyboardModifiers m_dragModifiers;
    int m_scrollDirection = 0;
    int m_scrollDistance = 0;
    int m_wheelRemainder = 0;
    bool m_updatingBars = false;
};

// Deletes the entries of the view's selected rows from the owner's list, from the highest row
// down (the view keeps its rows in the order they were selected), then clears the selection
// and sets the row count to what is left. Rows past the end of the list are skipped.
void RemoveSelectedRows(TVListBox& view, QStringList& list);
