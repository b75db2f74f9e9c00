#include "platform/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

bool CSharedLibrary::Open(const std::string& path)
{
    Close();
#ifdef _WIN32
    m_handle = reinterpret_cast<void*>(
        LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
