#include "widgets/cols.h"

namespace {

// One pass over the pattern: a title holding "%1" or the like stays as it is.
QString line(const QString& title, int width, const QString& valign, const QString& halign) {
    return QStringLiteral("%1;%2;%3;%4").arg(title, QString::number(width), valign, halign);
}

}  // namespace

TCols::TCols() : m_lines{QStringLiteral("Column 1;100;0;0")} {}

void TCols::SetColumns(const QStringList& lines) {
    m_lines = lines;
    changed();
}

void TCols::Add(const QString& Title, int Width, int VAlign, int HAlign) {
    m_lines.append(line(Title, Width, QString::number(VAlign), QString::number(HAlign)));
    changed();
}

QString TCols::Title(int i) const {
    if (i < 0 || i >= Count())
        return QStringLiteral("Error: Column not assigned!");
    return field(i, 0);
}

int TCols::Width(int i) const {
    return qMax(0, field(i, 1).toInt());
}

int TCols::VAlign(int i) const {
    return field(i, 2).toInt();
}

int TCols::HAlign(int i) const {
    return field(i, 3).toInt();
}

Qt::Alignment TCols::Alignment(int i) const {
    const int h = HAlign(i);
    const int v = VAlign(i);
    return (h == 1   ? Qt::AlignHCenter
            : h == 2 ? Qt::AlignRight
                     : Qt::AlignLeft) |
           (v == 1   ? Qt::AlignVCenter
            : v == 2 ? Qt::AlignBottom
                     : Qt::AlignTop);
}

void TCols::SetWidth(int i, int Width) {
    if (i < 0 || i >= Count())
        return;
    QStringList parts = m_lines[i].split(QLatin1Char(';'));
    const QString valign = parts.size() > 2 ? parts[2] : QStringLiteral("0");
    const QString halign = parts.size() > 3 ? parts[3] : QStringLiteral("0");
    m_lines[i] = line(parts[0], Width, valign, halign);
    changed();
}

QString TCols::field(int i, int n) const {
    if (i < 0 || i >= Count())
        return {};
    return m_lines[i].section(QLatin1Char(';'), n, n);
}

void TCols::changed() {
    if (OnChange)
        OnChange();
}
