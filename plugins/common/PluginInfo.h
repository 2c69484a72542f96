#pragma once

#include <selvarin/spi.h>

#include <initializer_list>
#include <new>

namespace plugin {

// GetPluginInfo over a plug-in's texts: version, name line, then pattern and description pairs.
// Copies text `infono` into buf, cut to fit and NUL-terminated; returns the length written, 0 when
// there is no such entry or no room.
int pluginInfo(int infono, char* buf, int buflen, std::initializer_list<const char*> texts);

// Runs an entry point's body so that no C++ exception leaves the plug-in.
template <typename Body>
int guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        // The caller is C; an error code is all it can take. No script code runs in a plug-in.
        return SPI_OTHER_ERROR;
    }
}

}  // namespace plugin
