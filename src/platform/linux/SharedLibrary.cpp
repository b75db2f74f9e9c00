#include "platform/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/windows/WideText.h"
#else
#include <dlfcn.h>
#endif

bool CSharedLibrary::Open(const std::string& path)
{
    Close();
#ifdef _WIN32
    // A full path is loaded from there alone, and what it needs from its own folder and the
    // system's: never from the current folder or the search path.
    m_handle = reinterpret_cast<void*>(LoadLibraryExW(
        platform::Wide(path).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
#else
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    return m_handle != nullptr;
}

void CSharedLibrary::Close()
{
    if (m_handle == nullptr)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(m_handle));
#else
    dlclose(m_handle);
#endif
    m_handle = nullptr;
}

void* CSharedLibrary::Symbol(const char* name) const
{
    if (m_handle == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(m_handle), name));
#else
    return dlsym(m_handle, name);
#endif
}
