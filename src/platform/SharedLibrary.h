#pragma once

#include "Result.h"

#include <string_view>

namespace platform {

// One loaded shared object (dlopen with RTLD_NOW | RTLD_LOCAL), unloaded when its owner goes
// unless it was kept for good.
class SharedLibrary {
public:
    SharedLibrary() noexcept = default;
    SharedLibrary(SharedLibrary&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary() { close(); }

    // `scriptPath` is in script form. A bare name (no separator) is looked for beside the
    // executable, then in the current folder, then along the system's library path, as
    // scripts written for the viewer expect a plug-in name to be found.
    static Result<SharedLibrary> open(std::string_view scriptPath);

    explicit operator bool() const noexcept { return m_handle != nullptr; }
    // The address of an exported name, or null.
    void* symbol(const char* name) const noexcept;
    // As symbol, but only a name this object defines itself: dlsym would also find it in the
    // libraries the object depends on.
    void* ownSymbol(const char* name) const noexcept;
    void close() noexcept;
    // Never unloads the library: code of it may still be on some stack or in a signal's way
    // (a library that faulted).
    void keepLoaded() noexcept { m_handle = nullptr; }

private:
    explicit SharedLibrary(void* handle) noexcept : m_handle(handle) {}
    void* m_handle = nullptr;
};

}  // namespace platform
