#include "OutputQueue.h"

#include <cstdio>
#include <new>

namespace engine {

void OutputQueue::append(std::string_view text)
{
    m_text.append(text);
    // Trim only when twice over the limit, so that trimming stays rare.
    if (m_text.size() > 2 * m_limit)
        m_text.erase(0, m_text.size() - m_limit);
}

std::string OutputQueue::take()
{
    std::string out;
    out.swap(m_text);
    return out;
}

FILE* OutputQueue::openWriteStream()
{
    cookie_io_functions_t io{};
    io.write = [](void* cookie, const char* buf, std::size_t size) -> ssize_t {
        // No exception may cross the C library's stream code.
        try {
            static_cast<OutputQueue*>(cookie)->append(std::string_view(buf, size));
        } catch (const std::bad_alloc&) {
            return -1;
        }
        return static_cast<ssize_t>(size);
    };
    FILE* f = fopencookie(this, "w", io);
    if (f)
        std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

FILE* openEmptyReadStream()
{
    cookie_io_functions_t io{};
    io.read = [](void*, char*, std::size_t) -> ssize_t { return 0; };
    FILE* f = fopencookie(nullptr, "r", io);
    if (f)
        std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

}  // namespace engine
