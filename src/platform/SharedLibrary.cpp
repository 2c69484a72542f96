#include "SharedLibrary.h"

#include "Paths.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>

namespace platform {

namespace {

// Under the address sanitizer a closed library stays mapped: what the initialisers of its own
// dependencies allocated is then still reachable at the leak check, and its frames keep names.
#ifdef __SANITIZE_ADDRESS__
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif

void* openOsPath(const std::string& osPath, std::string& error)
{
    void* handle = ::dlopen(osPath.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (!handle) {
        const char* text = ::dlerror();
        error = text ? text : "dlopen failed";
    }
    return handle;
}

}  // namespace

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

Result<SharedLibrary> SharedLibrary::open(std::string_view scriptPath)
{
    const std::string osPath = toOsPath(scriptPath);
    if (osPath.empty())
        return Error{0, "empty library name"};
    std::string error;
    if (osPath.find('/') != std::string::npos) {
        if (void* h = openOsPath(osPath, error))
            return SharedLibrary(h);
        return Error{0, error};
    }
    // dlopen alone would search only the system's library path for a bare name.
    for (const std::string& folder : {moduleFolder(), currentDirectory()}) {
        const std::string candidate = toOsPath(joinScriptPath(folder, scriptPath));
        if (fileExists(joinScriptPath(folder, scriptPath)))
            if (void* h = openOsPath(candidate, error))
                return SharedLibrary(h);
    }
    if (void* h = openOsPath(osPath, error))
        return SharedLibrary(h);
    return Error{0, error};
}

void* SharedLibrary::symbol(const char* name) const noexcept
{
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

void* SharedLibrary::ownSymbol(const char* name) const noexcept
{
    void* address = symbol(name);
    if (!address)
        return nullptr;
    link_map* self = nullptr;
    Dl_info info {};
    if (::dlinfo(m_handle, RTLD_DI_LINKMAP, &self) != 0 || !self || ::dladdr(address, &info) == 0)
        return nullptr;
    const bool same = info.dli_fname && self->l_name && std::strcmp(info.dli_fname, self->l_name) == 0;
    return same ? address : nullptr;
}

void SharedLibrary::close() noexcept
{
    if (m_handle)
        ::dlclose(m_handle);
    m_handle = nullptr;
}

}  // namespace platform
