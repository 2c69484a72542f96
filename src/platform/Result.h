#pragma once

#include <string>
#include <utility>
#include <variant>

namespace platform {

// Why an operation failed: the system's error number (0 when none applies) and its text.
struct Error {
    int code = 0;
    std::string message;
};

// A value or the reason there is none. Expected failures travel this way; exceptions are
// kept for allocation failure.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_data(std::move(value)) {}
    Result(Error error) : m_data(std::move(error)) {}

    bool ok() const noexcept { return m_data.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(m_data); }
    T&& value() && { return std::get<0>(std::move(m_data)); }
    const T& value() const& { return std::get<0>(m_data); }
    const Error& error() const { return std::get<1>(m_data); }

private:
    std::variant<T, Error> m_data;
};

struct Done {};
using Status = Result<Done>;

// The calling thread's errno as an Error with the system's text.
Error lastSystemError();

}  // namespace platform
