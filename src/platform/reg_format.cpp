#include "platform/reg_format.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && namesEqual(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(std::string_view text) : m_t(text) {}

    RegDocument run() {
        RegDocument doc;
        // One entry per line at most: one allocation instead of a series of copies, within
        // reason for a file of junk lines.
        const auto lines = static_cast<std::size_t>(std::count(m_t.begin(), m_t.end(), '\n'));
        doc.entries.reserve(std::min<std::size_t>(lines + 1, 1 << 16));
        readHeader(doc);
        bool inKey = false;
        while (!atEnd()) {
            skipBlanks();
            if (atEol()) {
                skipEol();
                continue;
            }
            char c = m_t[m_pos];
            if (c == ';') {
                restOfLine();
            } else if (c == '[') {
                RegEntry e = keyHeader();
                inKey = e.kind == RegEntry::Kind::Key;
                doc.entries.push_back(std::move(e));
            } else if (c == '"' || c == '@') {
                if (!inKey)
                    fail("a value outside any key");
                doc.entries.push_back(valueLine(doc.dialect));
            } else {
                fail("unexpected text");
            }
            skipEol();
        }
        return doc;
    }

private:
    [[noreturn]] void fail(const std::string& why) { throw RegParseError(m_line, why); }

    bool atEnd() const { return m_pos >= m_t.size(); }
    // A lone CR inside a line is ordinary text; CR LF, LF and the end of the text end a line.
    bool atEol() const {
        if (atEnd() || m_t[m_pos] == '\n')
            return true;
        return m_t[m_pos] == '\r' && (m_pos + 1 == m_t.size() || m_t[m_pos + 1] == '\n');
    }
    void skipEol() {
        if (atEnd())
            return;
        if (m_t[m_pos] == '\r')
            ++m_pos;
        if (m_pos < m_t.size() && m_t[m_pos] == '\n')
            ++m_pos;
        ++m_line;
    }
    void skipBlanks() {
        while (!atEnd() && (m_t[m_pos] == ' ' || m_t[m_pos] == '\t'))
            ++m_pos;
    }
    std::string_view restOfLine() {
        std::size_t start = m_pos;
        std::size_t nl = m_t.find('\n', m_pos);
        m_pos = nl == std::string_view::npos ? m_t.size() : nl;
        if (m_pos > start && m_t[m_pos - 1] == '\r')
            --m_pos;
        return m_t.substr(start, m_pos - start);
    }
    void expectLineEnd() {
        skipBlanks();
        if (!atEnd() && m_t[m_pos] == ';')
            restOfLine();
        if (!atEol())
            fail("unexpected text after the value");
    }

    void readHeader(RegDocument& doc) {
        for (;;) {
            if (atEnd())
                fail("not a registry file: it is empty");
            std::string_view l = restOfLine();
            while (!l.empty() && (l.back() == ' ' || l.back() == '\t' || l.back() == '\r'))
                l.remove_suffix(1);
            while (!l.empty() && (l.front() == ' ' || l.front() == '\t'))
                l.remove_prefix(1);
            if (l.empty()) {
                skipEol();
                continue;
            }
            if (namesEqual(l, kHeader5))
                doc.dialect = RegDialect::Regedit5;
            else if (namesEqual(l, kHeader4))
                doc.dialect = RegDialect::Regedit4;
            else
                fail("not a registry file: the first line must be \"" + std::string(kHeader5) +
                     "\" or \"" + std::string(kHeader4) + "\"");
            skipEol();
            return;
        }
    }

    RegEntry keyHeader() {
        RegEntry e;
        e.line = m_line;
        ++m_pos;
        std::string_view l = restOfLine();
        while (!l.empty() && (l.back() == ' ' || l.back() == '\t'))
            l.remove_suffix(1);
        if (l.empty() || l.back() != ']')
            fail("a key header without its closing bracket");
        l.remove_suffix(1);
        if (!l.empty() && l.front() == '-') {
            e.kind = RegEntry::Kind::DeleteKey;
            l.remove_prefix(1);
        }
        if (l.empty())
            fail("a key header without a key");
        if (l.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos)
            fail("a control character in a key name");
        std::size_t depth = 0;
        for (char c : l)
            depth += c == '\\';
        if (depth > kMaxKeyDepth + 4)
            fail("keys nested too deep");
        e.key = std::string(l);
        return e;
    }

    RegEntry valueLine(RegDialect dialect) {
        RegEntry e;
        e.line = m_line;
        e.kind = RegEntry::Kind::SetValue;
        if (m_t[m_pos] == '@')
            ++m_pos;
        else
            e.name = quoted();
        skipBlanks();
        if (atEnd() || m_t[m_pos] != '=')
            fail("expected \"=\" after the value name");
        ++m_pos;
        skipBlanks();
        if (atEol())
            fail("a value without data");
        std::string_view rest = m_t.substr(m_pos);
        if (rest.front() == '"') {
            e.value = RegValue::string(quoted());
            if (m_line == e.line) {
                expectLineEnd();
            } else {
                // A text over several lines followed by junk is most likely a lost quote
                // where the text began.
                try {
                    expectLineEnd();
                } catch (const RegParseError&) {
                    throw RegParseError(e.line, "a text without its closing quote");
                }
            }
        } else if (rest.front() == '-') {
            ++m_pos;
            e.kind = RegEntry::Kind::DeleteValue;
            expectLineEnd();
        } else if (startsWithNoCase(rest, "dword:")) {
            m_pos += 6;
            std::uint32_t v = hexNumber();
            e.value = RegValue::dword(v);
            expectLineEnd();
        } else if (startsWithNoCase(rest, "hex:")) {
            m_pos += 4;
            e.value = RegValue::binary(hexBytes());
        } else if (startsWithNoCase(rest, "hex(")) {
            m_pos += 4;
            std::uint32_t type = hexNumber();
            if (m_t.substr(m_pos, 2) != "):")
                fail("expected \"):\" after the value type");
            m_pos += 2;
            e.value = typedValue(type, hexBytes(), dialect);
        } else {
            fail("unknown kind of value");
        }
        return e;
    }

    static RegValue typedValue(std::uint32_t type, std::string bytes, RegDialect dialect) {
        auto t = static_cast<RegType>(type);
        if (t == RegType::String || t == RegType::ExpandString) {
            std::string text =
                dialect == RegDialect::Regedit5 ? utf16leToUtf8(bytes) : toUtf8Text(bytes);
            if (!text.empty() && text.back() == '\0')
                text.pop_back();  // the terminator the registry stores with the text
            return {t, std::move(text)};
        }
        return {t, std::move(bytes)};
    }

    std::uint32_t hexNumber() {
        std::uint32_t v = 0;
        int digits = 0;
        while (!atEnd() && hexDigit(m_t[m_pos]) >= 0) {
            if (++digits > 8)
                fail("a number longer than 8 hex digits");
            v = (v << 4) | static_cast<std::uint32_t>(hexDigit(m_t[m_pos]));
            ++m_pos;
        }
        if (digits == 0)
            fail("expected a hex number");
        return v;
    }

    // "xx,xx,..." up to the end of the line, continued over lines that end in "\".
    std::string hexBytes() {
        std::string out;
        for (;;) {
            skipBlanks();
            if (atEol())
                return out;
            char c = m_t[m_pos];
            if (c == '\\') {
                ++m_pos;
                skipBlanks();
                if (!atEol())
                    fail("unexpected text after a line continuation");
                if (atEnd())
                    fail("the file ends in the middle of a value");
                skipEol();
                if (atEnd())
                    throw RegParseError(m_line - 1, "the file ends in the middle of a value");
                continue;
            }
            if (c == ';') {
                restOfLine();
                return out;
            }
            int hi = hexDigit(c);
            if (hi < 0)
                fail("expected a hex byte");
            ++m_pos;
            int lo = atEnd() ? -1 : hexDigit(m_t[m_pos]);
            if (lo >= 0) {
                ++m_pos;
                out += static_cast<char>(hi * 16 + lo);
            } else {
                out += static_cast<char>(hi);
            }
            skipBlanks();
            if (!atEnd() && m_t[m_pos] == ',')
                ++m_pos;
            else if (!atEol() && m_t[m_pos] != '\\' && m_t[m_pos] != ';')
                fail("expected a comma between hex bytes");
        }
    }

    // A quoted string with its escapes. Regedit writes a line break inside a text value as it
    // is, so a string may run over lines; the line break is then part of the text.
    std::string quoted() {
        const std::size_t startLine = m_line;
        std::string out;
        ++m_pos;
        for (;;) {
            std::size_t next = m_t.find_first_of("\"\\\n", m_pos);
            if (next == std::string_view::npos)
                throw RegParseError(startLine, "a text without its closing quote");
            out.append(m_t.substr(m_pos, next - m_pos));
            m_pos = next;
            char c = m_t[m_pos];
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (c == '\n') {
                out += c;
                ++m_pos;
                ++m_line;
                continue;
            }
            if (m_pos + 1 >= m_t.size())
                throw RegParseError(startLine, "a text without its closing quote");
            switch (m_t[m_pos + 1]) {
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case '0':
                    out += '\0';
                    break;
                default:
                    // Not an escape: the backslash is text, as regedit reads it.
                    out += '\\';
                    ++m_pos;
                    continue;
            }
            m_pos += 2;
        }
    }

    std::string_view m_t;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

// Escapes what would break the line structure or the quotes; everything else is written as it
// is, as regedit does.
void appendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

// Regedit's layout: bytes as "xx," wrapped before column 80, continuation lines indented by
// two spaces.
void appendHex(std::string& out, std::size_t lineStart, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t col = out.size() - lineStart;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        col += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++col;
            if (col > 76) {
                out += "\\\n  ";
                col = 2;
            }
        }
    }
}

void appendValue(std::string& out, const std::string& name, const RegValue& v) {
    const std::size_t lineStart = out.size();
    if (name.empty())
        out += '@';
    else
        appendQuoted(out, toUtf8Text(name));
    out += '=';
    char buf[32];
    switch (v.type) {
        case RegType::String:
            appendQuoted(out, toUtf8Text(v.data));
            break;
        case RegType::ExpandString:
            out += "hex(2):";
            appendHex(out, lineStart, utf8ToUtf16le(toUtf8Text(v.data)) + std::string(2, '\0'));
            break;
        case RegType::Binary:
            out += "hex:";
            appendHex(out, lineStart, v.data);
            break;
        case RegType::DWord:
            if (v.data.size() == 4) {
                std::uint32_t u = 0;
                for (int i = 0; i < 4; ++i)
                    u |= std::uint32_t(static_cast<unsigned char>(v.data[i])) << (8 * i);
                std::snprintf(buf, sizeof buf, "dword:%08x", u);
                out += buf;
                break;
            }
            [[fallthrough]];
        default:
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
            out += buf;
            appendHex(out, lineStart, v.data);
    }
    out += '\n';
}

void appendKey(std::string& out, const MemorySettingsStore::Key& key, const std::string& path) {
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto& [name, v] : key.values())
        appendValue(out, name, v);
    for (const auto& sub : key.subkeys()) {
        std::string name = toUtf8Text(sub->name);
        // A line break cannot stand in a key header; the store refuses such names, this only
        // keeps the file readable should one slip through.
        for (char& c : name)
            if (c == '\n' || c == '\r')
                c = ' ';
        appendKey(out, *sub, path + "\\" + name);
    }
}

std::vector<std::string> keyParts(const RegEntry& e) {
    auto rel = relativeToRoot(e.key);
    if (!rel)
        throw RegParseError(e.line, "a key outside the program's settings: " + e.key);
    const auto parts = splitSettingsPath(*rel);
    if (parts.size() > kMaxKeyDepth)
        throw RegParseError(e.line, "keys nested too deep");
    return {parts.begin(), parts.end()};
}

}  // namespace

std::string toUtf8Text(std::string_view bytes) {
    return isValidUtf8(bytes) ? std::string(bytes) : windows1252ToUtf8(bytes);
}

RegDocument parseRegFile(std::string_view bytes) {
    if (bytes.size() > kMaxRegFileBytes)
        throw RegParseError(1, "the file is too large to be a registry file");
    std::string text;
    if (bytes.starts_with("\xFF\xFE")) {
        text = utf16leToUtf8(bytes.substr(2));
    } else if (bytes.starts_with("\xFE\xFF")) {
        throw RegParseError(1, "UTF-16 big-endian text is not a registry file");
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        text = toUtf8Text(bytes);
    }
    return Parser(text).run();
}

std::optional<std::string> relativeToRoot(std::string_view fullKey) {
    if (!startsWithNoCase(fullKey, kRegistryRoot))
        return std::nullopt;
    std::string_view rest = fullKey.substr(kRegistryRoot.size());
    if (rest.empty())
        return std::string();
    if (rest.front() != '\\')
        return std::nullopt;
    return std::string(rest.substr(1));
}

std::unique_ptr<MemorySettingsStore::Key> buildTree(const RegDocument& doc) {
    using Key = MemorySettingsStore::Key;
    auto root = std::make_unique<Key>();
    Key* current = nullptr;
    for (const RegEntry& e : doc.entries) {
        switch (e.kind) {
            case RegEntry::Kind::Key:
                current = root.get();
                for (const auto& part : keyParts(e))
                    current = &current->subkey(part);
                break;
            case RegEntry::Kind::DeleteKey: {
                const auto parts = keyParts(e);
                if (parts.empty()) {
                    root = std::make_unique<Key>();
                } else {
                    Key* k = root.get();
                    for (std::size_t i = 0; k && i + 1 < parts.size(); ++i)
                        k = k->findSubkey(parts[i]);
                    if (k)
                        k->eraseSubkey(parts.back());
                }
                current = nullptr;
                break;
            }
            case RegEntry::Kind::SetValue:
                if (current)
                    current->setValue(e.name, e.value);
                break;
            case RegEntry::Kind::DeleteValue:
                if (current)
                    current->eraseValue(e.name);
                break;
        }
    }
    return root;
}

std::string writeRegFile(const MemorySettingsStore::Key& root) {
    std::string out;
    out.reserve(4096);
    out += kHeader5;
    out += '\n';
    appendKey(out, root, std::string(kRegistryRoot));
    return out;
}

RegImportResult importRegDocument(const RegDocument& doc, SettingsStore& store) {
    RegImportResult r;
    std::set<std::string_view, NamesLess> refused;
    for (const RegEntry& e : doc.entries) {
        if (e.kind != RegEntry::Kind::Key && e.kind != RegEntry::Kind::DeleteKey)
            continue;
        if (relativeToRoot(e.key))
            keyParts(e);  // refuses what the store could not hold before anything changes
        else if (refused.insert(e.key).second)
            r.refusedKeys.push_back(e.key);
    }
    if (!r.refusedKeys.empty())
        return r;

    SettingsUpdate update(store);
    std::string current;
    for (const RegEntry& e : doc.entries) {
        switch (e.kind) {
            case RegEntry::Kind::Key:
                current = *relativeToRoot(e.key);
                store.createKey(current);
                ++r.keys;
                break;
            case RegEntry::Kind::DeleteKey:
                store.deleteKeyTree(*relativeToRoot(e.key));
                ++r.deletedKeys;
                break;
            case RegEntry::Kind::SetValue:
                store.setValue(current, e.name, e.value);
                ++r.values;
                break;
            case RegEntry::Kind::DeleteValue:
                store.deleteValue(current, e.name);
                ++r.deletedValues;
                break;
        }
    }
    update.commit();
    return r;
}
