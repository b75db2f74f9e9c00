#include "platform/SharedLibrary.h"

#include <windows.h>

#include "platform/windows/WideText.h"

std::string CSharedLibrary::FileName(const std::string& name) { return name + ".dll"; }

bool CSharedLibrary::Open(const std::string& path)
{
    Close();
    // A full path is loaded from there alone, and what it needs from its own folder and the
    // system's: never from the current folder or the search path.
    m_handle = reinterpret_cast<void*>(LoadLibraryExW(
        platform::Wide(path).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    return m_handle != nullptr;
}

void CSharedLibrary::Close()
{
    if (m_handle == nullptr)
        return;
    FreeLibrary(reinterpret_cast<HMODULE>(m_handle));
    m_handle = nullptr;
}

void* CSharedLibrary::Symbol(const char* name) const
{
    if (m_handle == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(m_handle), name));
}
