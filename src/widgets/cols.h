#pragma once

#include <QString>
#include <Qt>
#include <QStringList>

#include <functional>

// The column definitions of a list box, kept as text lines "title;width;valign;halign", for
// example "Column 1;35;0;0". Vertical alignment: 0 top, 1 centre, 2 bottom. Horizontal
// alignment: 0 left, 1 centre, 2 right. Indexes are 0-based.
class TCols {
public:
    TCols();

    // Called after every change so the list box can lay itself out again.
    std::function<void()> OnChange;

    const QStringList& Columns() const { return m_lines; }
    void SetColumns(const QStringList& lines);

    void Add(const QString& Title, int Width, int VAlign = 0, int HAlign = 0);
    int Count() const { return static_cast<int>(m_lines.size()); }
    QString Title(int i) const;
    int Width(int i) const;
    int VAlign(int i) const;
    int HAlign(int i) const;
    // Both alignments of column i as Qt flags.
    Qt::Alignment Alignment(int i) const;
    void SetWidth(int i, int Width);

private:
    QString field(int i, int n) const;
    void changed();

    QStringList m_lines;
};
