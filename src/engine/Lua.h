#pragma once

// The interpreter's headers, in one place. The library is the C++ build: a raised error is a
// C++ exception, so host frames between a raise and its protected call unwind normally.
#include <lua.hpp>
