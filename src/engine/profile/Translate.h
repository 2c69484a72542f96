#pragma once

#include <optional>
#include <string>
#include <string_view>

// The runtime's messages in the words scripts of this system know. Every message the runtime,
// its parser and its libraries can raise has one Japanese text; the position prefixes
// ("chunk:line: ") and the names, types and numbers inside are carried over.
namespace engine::profile {

// The Japanese form of a run-time or library message, or nothing when `text` is none of the
// runtime's messages (a script's own text, or one that is already translated).
std::optional<std::string> translateMessage(std::string_view text);

// The Japanese form of a message of the runtime's parser for the chunk `chunkName`
// ("chunk:line: message near 'token'"); other texts come back through translateMessage.
std::string translateSyntaxError(std::string_view text, std::string_view chunkName);

}  // namespace engine::profile
