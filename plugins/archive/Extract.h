#pragma once

#include <selvarin/spi.h>

#include <cstdint>

namespace archive_spi {

// GetFile with its output in memory. Input file: `path` and the entry's position; input memory:
// the block from the entry's position on.
int extractFromFile(const char* path, std::int64_t position, HLOCAL* out, SpiProgressCallback progress, intptr_t user);
int extractFromMemory(const void* data, std::int64_t size, HLOCAL* out, SpiProgressCallback progress, intptr_t user);

}  // namespace archive_spi
