#include "platform/linux/IniProfileStore.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/linux/FileLock.h"

namespace platform {
namespace {

std::string Trim(const std::string& s)
{
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string Escape(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            const char n = raw[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += raw[i];
        }
    }
    return out;
}

// Integers are 32-bit values: anything from INT32_MIN to UINT32_MAX is accepted and kept as its
// 32-bit pattern, as a DWORD would be.
bool ParseInt(const std::string& text, int& value)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0')
        return false;
    if (v < INT32_MIN || v > static_cast<long long>(UINT32_MAX))
        return false;
    value = static_cast<int>(static_cast<std::uint32_t>(v));
    return true;
}

std::string ParentDir(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

IniProfileStore::IniProfileStore(std::string path) : m_path(std::move(path)) {}

std::vector<IniProfileStore::Line> IniProfileStore::Load() const
{
    std::vector<Line> lines;
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return lines;
    std::string section;
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        Line line{section, {}, text};
        const std::string t = Trim(text);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            section = t.substr(1, t.size() - 2);
            line.section = section;
        } else if (const std::size_t eq = text.find('='); eq != std::string::npos && !section.empty()) {
            line.key = Trim(text.substr(0, eq));
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

bool IniProfileStore::Find(const std::string& section, const std::string& key,
                           std::string& rawValue) const
{
    bool found = false;
    for (const Line& line : Load()) {
        if (!line.key.empty() && line.section == section && line.key == key) {
            rawValue = line.text.substr(line.text.find('=') + 1);
            found = true;  // the last occurrence wins, as a hand-edited file would expect
        }
    }
    return found;
}

int IniProfileStore::ReadInt(const std::string& section, const std::string& key, int def)
{
    std::string raw;
    int value = def;
    if (Find(section, key, raw) && ParseInt(raw, value))
        return value;
    return def;
}

std::string IniProfileStore::ReadString(const std::string& section, const std::string& key,
                                        const std::string& def)
{
    std::string raw;
    if (Find(section, key, raw))
        return Unescape(raw);
    return def;
}

bool IniProfileStore::WriteInt(const std::string& section, const std::string& key, int value)
{
    return Store(section, key, std::to_string(value));
}

bool IniProfileStore::WriteString(const std::string& section, const std::string& key,
                                  const std::string& value)
{
    return Store(section, key, Escape(value));
}

bool IniProfileStore::Store(const std::string& section, const std::string& key,
                            const std::string& rawValue)
{
    if (!MakeDirectories(ParentDir(m_path)))
        return false;
    FileLock lock(m_path + ".lock");
    if (!lock.Locked())
        return false;

    std::vector<Line> lines = Load();
    const std::string newLine = key + "=" + rawValue;
    bool replaced = false;
    std::size_t lastOfSection = std::string::npos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section != section)
            continue;
        lastOfSection = i;
        if (lines[i].key == key) {
            if (!replaced)
                lines[i].text = newLine;
            else
                lines[i].text.clear(), lines[i].key.clear();
            replaced = true;
        }
    }
    if (!replaced) {
        if (lastOfSection == std::string::npos) {
            if (!lines.empty() && !Trim(lines.back().text).empty())
                lines.push_back({lines.back().section, {}, ""});
            lines.push_back({section, {}, "[" + section + "]"});
            lines.push_back({section, key, newLine});
        } else {
            // Insert after the last non-blank line of the section.
            std::size_t at = lastOfSection;
            while (at > 0 && Trim(lines[at].text).empty() && lines[at].key.empty())
                --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at + 1), {section, key, newLine});
        }
    }

    std::ostringstream out;
    for (const Line& line : lines)
        out << line.text << '\n';
    return ReplaceFileAtomically(m_path, out.str());
}

}  // namespace platform
