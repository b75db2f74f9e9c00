#pragma once
// An in-memory settings store that logs every read and write, installed as the program's store
// for the lifetime of a ScopedRecordingStore. Lets tests check what the pages read and write, and
// in which order.

#include <map>
#include <string>
#include <vector>

#include "platform/ProfileKeys.h"
#include "platform/ProfileStore.h"

namespace settings_test {

class RecordingStore : public platform::ProfileStore {
public:
    int ReadInt(const std::string& section, const std::string& key, int def) override;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    // Every operation so far: "read Section/Key" or "write Section/Key=value".
    const std::vector<std::string>& Log() const { return m_log; }
    // Only the writes, in order.
    std::vector<std::string> Writes() const;
    void ClearLog() { m_log.clear(); }

    bool Has(const platform::IntSetting& s) const;
    int Get(const platform::IntSetting& s) const;
    std::string Get(const platform::StringSetting& s) const;
    // Puts a value in without logging it.
    void Put(const platform::IntSetting& s, int value);
    void Put(const platform::StringSetting& s, const std::string& value);

private:
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_log;
};

class ScopedRecordingStore {
public:
    ScopedRecordingStore();
    // Back to the settings file store of the test's configuration folder.
    ~ScopedRecordingStore();
    ScopedRecordingStore(const ScopedRecordingStore&) = delete;
    ScopedRecordingStore& operator=(const ScopedRecordingStore&) = delete;

    RecordingStore& operator*() const { return *m_store; }
    RecordingStore* operator->() const { return m_store; }

private:
    RecordingStore* m_store;
};

}  // namespace settings_test
