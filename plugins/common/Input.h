#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plugin {

// The bytes an entry point is asked to read: the caller's memory as it is, or the content of the
// named file from the given offset on, read whole (libraries seek freely in their data).
class Input {
public:
    // SPI_SUCCESS or the error code for the caller.
    [[nodiscard]] int open(const char* buf, std::intptr_t len, unsigned int flag);

    const std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::vector<std::uint8_t> m_storage;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// Reads a file from `offset` to its end into `out`: SPI_SUCCESS or an error code. Only regular
// files are read, so a named pipe or a device cannot block the viewer.
[[nodiscard]] int readFile(const char* path, std::uint64_t offset, std::vector<std::uint8_t>& out);

}  // namespace plugin
