#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Line lists between the windows (QStringList) and the layers below (UTF-8 std::string).

inline QStringList toQStringList(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines)
        out.append(QString::fromStdString(line));
    return out;
}

inline std::vector<std::string> toStdLines(const QStringList& lines) {
    std::vector<std::string> out;
    out.reserve(std::size_t(lines.size()));
    for (const QString& line : lines)
        out.push_back(line.toStdString());
    return out;
}
