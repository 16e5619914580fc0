#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class TVListBox;

// What a screen reader sees of a TVListBox: a list whose items are its rows. A row's
// interface is made only when a client asks for that row, and kept in a small registry that
// is trimmed once it grows, so a client that walks a list of a million rows does not leave a
// million interfaces behind. The list offers the table interface, which tells AT-SPI clients
// that it manages its descendants (they follow the focus instead of walking every child), and
// is how they read and change the selection.
class TVListBoxAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    // Registers the factory once; the list box calls it when it is made.
    static void Install();
    // Whether a screen reader may be listening, so that events are worth sending: the
    // platform's answer, or what Qt last announced to its activation observers. The latter
    // is the same answer on a desktop and lets the offscreen platform, which has no bridge,
    // be told that a client listens.
    static bool Listening();
    // The list box's row count changed: rows past the end are dropped and clients are told.
    static void RowCountChanged(TVListBox* list);
    // Hands an event of a list box to Qt's accessibility layer. A test can watch them on the
    // way: the offscreen platform it runs on has no bridge, and Qt drops events there.
    using EventWatch = void (*)(QAccessibleEvent* event);
    static void Send(QAccessibleEvent* event);
    static void SetEventWatch(EventWatch watch);

    explicit TVListBoxAccessible(TVListBox* list);
    ~TVListBoxAccessible() override;

    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // The list as a table of one column: row r is cell (r, 0).
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override { return 1; }
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // Above this many row interfaces the registry is trimmed to the focused row and the rows
    // in view, once the current call has returned.
    static constexpr int KeptRows = 512;

private:
    TVListBox* list() const;
    void dropRows(bool keepFocusAndView);
    void scheduleTrim() const;

    mutable QHash<int, QAccessible::Id> m_rows;
    mutable bool m_trimPending = false;
};

// One row of a TVListBox, addressed by its number; its text and state are read from the list
// box whenever they are asked for, so nothing of the row is copied.
class TVListBoxRowAccessible : public QAccessibleInterface,
                               public QAccessibleTableCellInterface,
                               public QAccessibleActionInterface {
public:
    TVListBoxRowAccessible(TVListBox* list, int row);

    int Row() const { return m_row; }
    const TVListBox* List() const { return m_list; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    QPointer<TVListBox> m_list;
    int m_row;
};
