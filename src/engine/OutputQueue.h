#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace engine {

// What scripts write to their standard output and error, and what child processes print,
// waiting for the console to take it on the next idle pass. Writing never blocks: when nobody
// takes the text, only the newest `limit` bytes are kept.
class OutputQueue {
public:
    explicit OutputQueue(std::size_t limit = 8u << 20) : m_limit(limit) {}

    void append(std::string_view text);
    // Everything queued so far; the queue is empty afterwards.
    std::string take();

    // An unbuffered C stream whose writes append to this queue. The caller closes it.
    FILE* openWriteStream();

private:
    std::string m_text;
    std::size_t m_limit;
};

// A C stream that is always at end of file: standard input where nothing ever writes to it.
FILE* openEmptyReadStream();

}  // namespace engine
