#include "platform/SharedLibrary.h"

#include <dlfcn.h>

std::string CSharedLibrary::FileName(const std::string& name) { return "lib" + name + ".so"; }

bool CSharedLibrary::Open(const std::string& path)
{
    Close();
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void CSharedLibrary::Close()
{
    if (m_handle == nullptr)
        return;
    dlclose(m_handle);
    m_handle = nullptr;
}

void* CSharedLibrary::Symbol(const char* name) const
{
    if (m_handle == nullptr)
        return nullptr;
    return dlsym(m_handle, name);
}
