#pragma once

#include <QWidget>

class TVListBox;

// The column header of a list box: one section per column, scrolled with the rows, with
// column sizing by dragging a border and the sort column chosen by a click.
class TPSHeader : public QWidget {
public:
    explicit TPSHeader(TVListBox* owner);

    // The column whose border is being dragged, -1 when none.
    int SizingColumn() const { return m_sizeCol; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int widthOf(int col) const;
    int leftOf(int col) const;
    int borderAt(int x) const;
    int columnAt(int x) const;

    TVListBox* m_owner;
    int m_sizeCol = -1;
    int m_pressX = 0;
    int m_widthAtPress = 0;
    int m_liveWidth = 0;
};
