#pragma once
// Loading a shared library by name at run time and looking up entry points.

#include <QString>

namespace Platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the file; false when it cannot be loaded.
    bool load(const QString& path);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }
    void* symbol(const char* name) const;

private:
    void* m_handle = nullptr;
};

} // namespace Platform
