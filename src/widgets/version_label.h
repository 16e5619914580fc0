#pragma once

#include <QLabel>
#include <QMap>
#include <QString>

#include <cstdint>

enum TVersionResources {
    vrCompanyName,
    vrFileDescription,
    vrFileVersion,
    vrInternalName,
    vrLegalCopyright,
    vrOriginalFilename,
    vrProductName,
    vrProductVersion,
    vrComments,
    vrFlags,
};

// The version facts of the program: what a version resource holds on other platforms,
// compiled in from the build's project version and the product's fixed facts.
struct TVersionData {
    // File flags, one bit each.
    enum : std::uint32_t {
        DebugBuild = 0x01,
        PreRelease = 0x02,
        Patched = 0x04,
        PrivateBuild = 0x08,
        InfoInferred = 0x10,
        SpecialBuild = 0x20,
    };

    bool Present = true;   // false: the program carries no version facts at all
    bool Readable = true;  // false: they exist but cannot be read
    // The language and code page block, eight hex digits; empty when there is none.
    QString Translation;
    // Key to value, all within the one translation block.
    QMap<QString, QString> Strings;
    std::uint32_t Flags = 0;

    // This build's own facts.
    static const TVersionData& Program();
};

// A label showing one entry of the program's version facts, with a prefix.
class TVersionLabel : public QLabel {
    Q_OBJECT

public:
    explicit TVersionLabel(QWidget* parent = nullptr);

    TVersionResources VersionResource() const { return m_resource; }
    // Sets the key and the prefix from the resource's own pair.
    void SetVersionResource(TVersionResources Value);
    QString VersionResourceKey() const { return m_key; }
    // A key set directly is also the prefix.
    void SetVersionResourceKey(const QString& Value);
    QString InfoPrefix() const { return m_prefix; }
    void SetInfoPrefix(const QString& Value);
    bool ShowInfoPrefix() const { return m_showPrefix; }
    void SetShowInfoPrefix(bool Value);
    // "-1" takes the first translation and is replaced by it.
    QString LangCharset() const { return m_langCharset; }
    void SetLangCharset(const QString& Value);

    // The facts shown; the program's own unless a test hands in others.
    void SetVersionData(const TVersionData& Data);

    static QString KeyOf(TVersionResources Resource);
    static QString PrefixOf(TVersionResources Resource);

private:
    void recompute();
    QString valueText();

    TVersionData m_data;
    TVersionResources m_resource = vrFileVersion;
    QString m_key;
    QString m_prefix;
    bool m_showPrefix = true;
    QString m_langCharset = QStringLiteral("-1");
    // LangCharset was "-1" and took the first translation of the facts in use.
    bool m_langFound = false;
};
