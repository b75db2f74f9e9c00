#include "settings/RecordingStore.h"

#include <memory>

#include "platform/Profile.h"

namespace settings_test {

namespace {
std::string Name(const std::string& section, const std::string& key) { return section + "/" + key; }
}  // namespace

int RecordingStore::ReadInt(const std::string& section, const std::string& key, int def)
{
    m_log.push_back("read " + Name(section, key));
    const auto it = m_values.find(Name(section, key));
    return it == m_values.end() ? def : std::stoi(it->second);
}

std::string RecordingStore::ReadString(const std::string& section, const std::string& key,
                                       const std::string& def)
{
    m_log.push_back("read " + Name(section, key));
    const auto it = m_values.find(Name(section, key));
    return it == m_values.end() ? def : it->second;
}

bool RecordingStore::WriteInt(const std::string& section, const std::string& key, int value)
{
    return WriteString(section, key, std::to_string(value));
}

bool RecordingStore::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value)
{
    m_log.push_back("write " + Name(section, key) + "=" + value);
    m_values[Name(section, key)] = value;
    return true;
}

std::vector<std::string> RecordingStore::Writes() const
{
    std::vector<std::string> writes;
    for (const std::string& entry : m_log) {
        if (entry.rfind("write ", 0) == 0)
            writes.push_back(entry);
    }
    return writes;
}

bool RecordingStore::Has(const platform::IntSetting& s) const
{
    return m_values.count(Name(s.section, s.key)) != 0;
}

int RecordingStore::Get(const platform::IntSetting& s) const
{
    const auto it = m_values.find(Name(s.section, s.key));
    return it == m_values.end() ? s.defaultValue : std::stoi(it->second);
}

void RecordingStore::Put(const platform::IntSetting& s, int value)
{
    m_values[Name(s.section, s.key)] = std::to_string(value);
}

std::string RecordingStore::Get(const platform::StringSetting& s) const
{
    const auto it = m_values.find(Name(s.section, s.key));
    return it == m_values.end() ? s.defaultValue : it->second;
}

void RecordingStore::Put(const platform::StringSetting& s, const std::string& value)
{
    m_values[Name(s.section, s.key)] = value;
}

ScopedRecordingStore::ScopedRecordingStore()
{
    auto store = std::make_unique<RecordingStore>();
    m_store = store.get();
    platform::SetProfileStore(std::move(store));
}

ScopedRecordingStore::~ScopedRecordingStore() { platform::SetRegistryKey("Dravellin Software"); }

}  // namespace settings_test
