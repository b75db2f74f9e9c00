#pragma once
// ProfileStore over an INI file: "[Section]" lines followed by "key=value" lines.
//
// Every read parses the file as it is now. Every write takes an exclusive lock on a companion
// lock file, re-reads the file, changes the one value and replaces the file atomically (a
// temporary file renamed over it), so concurrent writers from several processes never lose an
// update and a crash never leaves a half-written file. A missing or garbled file reads as empty;
// lines that cannot be parsed are ignored. Strings are stored with '\\', newline and carriage
// return escaped, so any path round-trips.

#include <string>
#include <vector>

#include "platform/ProfileStore.h"

namespace platform {

class IniProfileStore : public ProfileStore {
public:
    explicit IniProfileStore(std::string path);

    std::string FilePath() const override { return m_path; }

    int ReadInt(const std::string& section, const std::string& key, int def) override;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    struct Line {
        std::string section;  // the section the line belongs to
        std::string key;      // empty for section headers and unparsed lines
        std::string text;     // the raw line as stored
    };

    std::vector<Line> Load() const;
    bool Find(const std::string& section, const std::string& key, std::string& rawValue) const;
    bool Store(const std::string& section, const std::string& key, const std::string& rawValue);

    std::string m_path;
};

}  // namespace platform
