#pragma once
// A shared library loaded at run time (dlopen / LoadLibrary), released when the object goes.
//
// Thread: user-interface thread (loading and unloading); Symbol may be called from any thread
// while the object lives.

#include <string>

class CSharedLibrary {
public:
    CSharedLibrary() = default;
    ~CSharedLibrary() { Close(); }
    CSharedLibrary(const CSharedLibrary&) = delete;
    CSharedLibrary& operator=(const CSharedLibrary&) = delete;

    // The file name of the library called name on this system: "lib<name>.so" on Linux,
    // "<name>.dll" on Windows.
    static std::string FileName(const std::string& name);

    // Loads the file at path; a bare file name is looked up the system's usual way. False when
    // it cannot be loaded.
    bool Open(const std::string& path);
    void Close();
    // Forgets the library without unloading it: it stays in the process until the end.
    void Detach() { m_handle = nullptr; }
    bool IsOpen() const { return m_handle != nullptr; }
    // Address of an exported name, or nullptr.
    void* Symbol(const char* name) const;

private:
    void* m_handle = nullptr;
};
