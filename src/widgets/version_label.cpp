#include "widgets/version_label.h"

#include <QStringList>

namespace {

struct ResourceName {
    const char* key;
    const char* prefix;
};

constexpr ResourceName resourceNames[] = {
    {"CompanyName", "Company Name:"},
    {"FileDescription", "File Description:"},
    {"FileVersion", "File Version:"},
    {"InternalName", "Internal Name:"},
    {"LegalCopyright", "Legal Copyright:"},
    {"OriginalFilename", "Original Filename:"},
    {"ProductName", "Product Name:"},
    {"ProductVersion", "Product Version:"},
    {"Comments", "Comments:"},
    {"Flags", "Flags:"},
};

const char* const flagNames[] = {"Debug Build",   "Pre-Release Build", "Patched Build",
                                 "Private Build", "InfoInferred",      "Special Build"};

TVersionData makeProgramData() {
    const QString version = QStringLiteral(KAVRIN32_VERSION);
    TVersionData d;
    d.Translation = QStringLiteral("040904B0");  // U.S. English, Unicode
    d.Strings = {
        {QStringLiteral("CompanyName"), QStringLiteral("Pellido Software")},
        {QStringLiteral("FileDescription"),
         QStringLiteral("Kavrin/32 - posts messages and binary attachments to Usenet")},
        {QStringLiteral("FileVersion"), version},
        {QStringLiteral("InternalName"), QStringLiteral("kavrin32")},
        {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright \u00A9 Pellido Software")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("kavrin32")},
        {QStringLiteral("ProductName"), QStringLiteral("Kavrin/32")},
        {QStringLiteral("ProductVersion"), version},
        {QStringLiteral("Comments"), QString()},
    };
#ifndef NDEBUG
    d.Flags |= TVersionData::DebugBuild;
#endif
    if (KAVRIN32_VERSION_MAJOR == 0)
        d.Flags |= TVersionData::PreRelease;
    return d;
}

}  // namespace

const TVersionData& TVersionData::Program() {
    static const TVersionData data = makeProgramData();
    return data;
}

TVersionLabel::TVersionLabel(QWidget* parent) : QLabel(parent), m_data(TVersionData::Program()) {
    SetVersionResource(vrFileVersion);
}

QString TVersionLabel::KeyOf(TVersionResources Resource) {
    return QString::fromLatin1(resourceNames[Resource].key);
}

QString TVersionLabel::PrefixOf(TVersionResources Resource) {
    return QString::fromLatin1(resourceNames[Resource].prefix);
}

void TVersionLabel::SetVersionResource(TVersionResources Value) {
    m_resource = Value;
    m_key = KeyOf(Value);
    m_prefix = PrefixOf(Value);
    recompute();
}

void TVersionLabel::SetVersionResourceKey(const QString& Value) {
    m_key = Value;
    m_prefix = Value;
    recompute();
}

void TVersionLabel::SetInfoPrefix(const QString& Value) {
    m_prefix = Value;
    recompute();
}

void TVersionLabel::SetShowInfoPrefix(bool Value) {
    m_showPrefix = Value;
    recompute();
}

void TVersionLabel::SetLangCharset(const QString& Value) {
    m_langCharset = Value;
    m_langFound = false;
    recompute();
}

void TVersionLabel::SetVersionData(const TVersionData& Data) {
    m_data = Data;
    if (m_langFound)
        m_langCharset = QStringLiteral("-1");
    recompute();
}

QString TVersionLabel::valueText() {
    if (!m_data.Present)
        return QStringLiteral("< No Data Available >");
    if (!m_data.Readable)
        return QStringLiteral("< Error retrieving version info >");
    if (m_resource == vrFlags && m_key == KeyOf(vrFlags)) {
        QStringList set;
        for (int bit = 0; bit < 6; ++bit)
            if (m_data.Flags & (1u << bit))
                set.append(QString::fromLatin1(flagNames[bit]));
        return set.join(QStringLiteral(", "));
    }
    if (m_langCharset == QStringLiteral("-1")) {
        if (m_data.Translation.size() < 8)
            return QStringLiteral("< Error retrieving translation info >");
        m_langCharset = m_data.Translation.toUpper();
        m_langFound = true;
    }
    if (m_langCharset.compare(m_data.Translation, Qt::CaseInsensitive) != 0 ||
        !m_data.Strings.contains(m_key))
        return QStringLiteral("< Error retrieving version info >");
    const QString value = m_data.Strings.value(m_key);
    // A stored value holds its terminating zero; one shorter than two bytes is empty.
    if (value.isEmpty())
        return QStringLiteral("< No Version Info >");
    return value;
}

void TVersionLabel::recompute() {
    const QString text = valueText();
    setText(m_showPrefix ? m_prefix + QLatin1Char(' ') + text : text);
}
