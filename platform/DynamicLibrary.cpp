#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace Platform {

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load(const QString& path)
{
    unload();
    m_handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void DynamicLibrary::unload()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }

} // namespace Platform
