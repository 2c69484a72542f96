#include "Translate.h"

#include "Scanner.h"

#include "engine/Format.h"
#include "engine/Messages.h"

#include <array>
#include <charconv>
#include <vector>

namespace engine::profile {

namespace {

using msg::Id;

// Patterns are the runtime's English texts with "{s}" (any text) and "{d}" (an integer) in
// place of their variable parts; English messages never contain braces.
struct Capture {
    std::string_view text;
};

bool matchAt(std::string_view pattern, std::string_view text, std::vector<Capture>& captures)
{
    while (!pattern.empty()) {
        if (pattern.starts_with("{s}")) {
            pattern.remove_prefix(3);
            // Only a literal follows: it must end the text, so the capture is known at once
            // (this keeps every rule linear in the length of a long message).
            if (pattern.find('{') == std::string_view::npos) {
                if (!text.ends_with(pattern))
                    return false;
                captures.push_back({text.substr(0, text.size() - pattern.size())});
                return true;
            }
            // Shortest first, so that the literal that follows decides where the text ends.
            for (std::size_t len = 0; len <= text.size(); ++len) {
                captures.push_back({text.substr(0, len)});
                if (matchAt(pattern, text.substr(len), captures))
                    return true;
                captures.pop_back();
            }
            return false;
        }
        if (pattern.starts_with("{d}")) {
            pattern.remove_prefix(3);
            std::size_t len = (!text.empty() && text[0] == '-') ? 1 : 0;
            const std::size_t digits = len;
            while (len < text.size() && text[len] >= '0' && text[len] <= '9')
                ++len;
            if (len == digits)
                return false;
            captures.push_back({text.substr(0, len)});
            if (matchAt(pattern, text.substr(len), captures))
                return true;
            captures.pop_back();
            return false;
        }
        if (text.empty() || text.front() != pattern.front())
            return false;
        pattern.remove_prefix(1);
        text.remove_prefix(1);
    }
    return text.empty();
}

std::optional<std::vector<Capture>> match(std::string_view pattern, std::string_view text)
{
    std::vector<Capture> captures;
    if (matchAt(pattern, text, captures))
        return captures;
    return std::nullopt;
}

long long toInteger(std::string_view digits)
{
    long long v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return v;
}

// One argument of the Japanese text: a capture (as text, as a number, or as a detail text
// that is itself translated), or a fixed word of the catalogue.
struct Arg {
    enum class Kind : unsigned char { Text, Integer, Detail, Word } kind;
    int capture = 0;
    Id word = Id::Count;
};

constexpr Arg text(int i) { return {Arg::Kind::Text, i}; }
constexpr Arg integer(int i) { return {Arg::Kind::Integer, i}; }
constexpr Arg detail(int i) { return {Arg::Kind::Detail, i}; }
constexpr Arg word(Id id) { return {Arg::Kind::Word, 0, id}; }

struct Rule {
    std::string pattern;
    Id id;
    std::vector<Arg> args;
};

std::optional<std::string> translateDetail(std::string_view text);

std::string render(const Rule& rule, const std::vector<Capture>& captures)
{
    // Holds the texts the arguments point into.
    std::array<std::string, 4> owned;
    std::vector<FormatArg> args;
    args.reserve(rule.args.size());
    std::size_t next = 0;
    for (const Arg& a : rule.args) {
        switch (a.kind) {
        case Arg::Kind::Text:
            args.emplace_back(captures[a.capture].text);
            break;
        case Arg::Kind::Integer:
            args.emplace_back(toInteger(captures[a.capture].text));
            break;
        case Arg::Kind::Detail: {
            std::string& slot = owned[next++];
            slot = translateDetail(captures[a.capture].text).value_or(std::string(captures[a.capture].text));
            args.emplace_back(std::string_view(slot));
            break;
        }
        case Arg::Kind::Word:
            args.emplace_back(std::string_view(msg::text(a.word)));
            break;
        }
    }
    switch (args.size()) {
    case 0: return format(msg::text(rule.id), {});
    case 1: return format(msg::text(rule.id), {args[0]});
    case 2: return format(msg::text(rule.id), {args[0], args[1]});
    case 3: return format(msg::text(rule.id), {args[0], args[1], args[2]});
    default: return format(msg::text(rule.id), {args[0], args[1], args[2], args[3]});
    }
}

std::optional<std::string> applyRules(const std::vector<Rule>& rules, std::string_view text)
{
    for (const Rule& rule : rules) {
        if (auto captures = match(rule.pattern, text))
            return render(rule, *captures);
    }
    return std::nullopt;
}

// The operations and kinds of named values in "attempt to ..." messages.
constexpr std::pair<std::string_view, Id> kOperations[] = {
    {"perform arithmetic on", Id::OpArithmetic}, {"concatenate", Id::OpConcatenate},
    {"call", Id::OpCall},                        {"index", Id::OpIndex},
    {"get length of", Id::OpLength},
};
constexpr std::pair<std::string_view, Id> kKinds[] = {
    {"global", Id::KindGlobal}, {"local", Id::KindLocal},     {"method", Id::KindMethod},
    {"field", Id::KindField},   {"upvalue", Id::KindUpvalue},
};

// Messages that stand alone (after an optional position prefix).
const std::vector<Rule>& messageRules()
{
    static const std::vector<Rule> rules = [] {
        std::vector<Rule> r = {
            // auxiliary library
            {"bad argument #{d} to '{s}' ({s})", Id::ArgBad, {text(1), integer(0), detail(2)}},
            {"calling '{s}' on bad self ({s})", Id::ArgBadSelf, {text(0), detail(1)}},
            {"stack overflow ({s})", Id::StackOverflow, {detail(0)}},
            // comparisons, loops, tables
            {"attempt to compare two {s} values", Id::CompareSameType, {text(0)}},
            {"attempt to compare {s} with {s}", Id::CompareMixedTypes, {text(0), text(1)}},
            {"loop in gettable", Id::LoopInGettable, {}},
            {"loop in settable", Id::LoopInSettable, {}},
            {"'for' initial value must be a number", Id::ForInitial, {}},
            {"'for' limit must be a number", Id::ForLimit, {}},
            {"'for' step must be a number", Id::ForStep, {}},
            {"string length overflow", Id::StringTooLong, {}},
            {"invalid key to 'next'", Id::InvalidNextKey, {}},
            {"table overflow", Id::TableOverflow, {}},
            {"table index is nil", Id::TableIndexNil, {}},
            {"table index is NaN", Id::TableIndexNaN, {}},
            // memory, stacks, coroutines
            {"not enough memory", Id::NotEnoughMemory, {}},
            {"memory allocation error: block too big", Id::BlockTooBig, {}},
            {"C stack overflow", Id::CStackOverflow, {}},
            {"stack overflow", Id::CallStackOverflow, {}},
            {"cannot resume non-suspended coroutine", Id::ResumeNotSuspended, {}},
            {"cannot resume dead coroutine", Id::ResumeDead, {}},
            {"attempt to yield across metamethod/C-call boundary", Id::YieldAcrossBoundary, {}},
            {"error in error handling", Id::ErrorInErrorHandling, {}},
            // base library
            {"'setfenv' cannot change environment of given object", Id::SetfenvGivenObject, {}},
            {"no function environment for tail call at level {d}", Id::NoFunctionEnvironment, {integer(0)}},
            {"cannot change a protected metatable", Id::ProtectedMetatable, {}},
            {"assertion failed!", Id::AssertionFailed, {}},
            {"too many results to unpack", Id::UnpackTooBig, {}},
            {"too many results to resume", Id::ResumeTooManyResults, {}},
            {"too many arguments to resume", Id::ResumeTooManyArgs, {}},
            {"reader function must return a string", Id::ReaderNotString, {}},
            {"wrong number of arguments to 'insert'", Id::WrongArgumentCount, {}},
            {"wrong number of arguments", Id::WrongArgumentCount, {}},
            // string library
            {"invalid capture index", Id::InvalidCaptureIndex, {}},
            {"invalid pattern capture", Id::InvalidPatternCapture, {}},
            {"malformed pattern (ends with '%')", Id::PatternEndsWithPercent, {}},
            {"malformed pattern (missing ']')", Id::PatternMissingBracket, {}},
            {"malformed pattern (missing arguments to '%b')", Id::PatternMissingBalanceArgs, {}},
            {"missing '[' after '%f' in pattern", Id::PatternMissingBracketAfterF, {}},
            {"unbalanced pattern", Id::PatternUnbalanced, {}},
            {"unfinished capture", Id::UnfinishedCapture, {}},
            {"too many captures", Id::TooManyCaptures, {}},
            {"invalid replacement value (a {s})", Id::InvalidReplacement, {text(0)}},
            // A positional item ("%1$d") stops the runtime at its "$".
            {"invalid option '%$' to 'format'", Id::FormatObsoleteDollar, {}},
            {"invalid option '%{s}' to 'format'", Id::FormatInvalidOption, {}},
            {"invalid format (repeated flags)", Id::FormatRepeatedFlags, {}},
            {"invalid format (width or precision too long)", Id::FormatWidthTooLong, {}},
            {"unable to dump given function", Id::DumpFailed, {}},
            // table library
            {"invalid order function for sorting", Id::SortInvalidOrder, {}},
            {"invalid value (at index {d}) in table for 'concat'", Id::ConcatNonString, {}},
            // I/O library
            {"attempt to use a closed file", Id::FileNotOpen, {}},
            {"file is already closed", Id::FileAlreadyClosed, {}},
            {"'popen' not supported", Id::PopenUnsupported, {}},
            // precompiled chunks
            {"{s}: unexpected end in precompiled chunk", Id::UndumpEof, {text(0)}},
            {"{s}: bad header in precompiled chunk", Id::UndumpBadHeader, {text(0)}},
            {"{s}: bad constant in precompiled chunk", Id::UndumpBadConstant, {text(0)}},
            {"{s}: bad code in precompiled chunk", Id::UndumpBadCode, {text(0)}},
            {"{s}: bad integer in precompiled chunk", Id::UndumpBadInteger, {text(0)}},
        };
        // Operations on values: every operation with every kind of named value.
        for (const auto& [op, opWord] : kOperations) {
            for (const auto& [kind, kindWord] : kKinds) {
                r.push_back({"attempt to " + std::string(op) + " " + std::string(kind) + " '{s}' (a {s} value)",
                             Id::OpOnNamed, {text(1), word(kindWord), text(0), word(opWord)}});
            }
            r.push_back({"attempt to " + std::string(op) + " a {s} value", Id::OpOnValue, {text(0), word(opWord)}});
        }
        return r;
    }();
    return rules;
}

// Detail texts inside the argument errors.
const std::vector<Rule>& detailRules()
{
    static const std::vector<Rule> rules = {
        {"{s} expected, got {s}", Id::ArgTypeMismatch, {text(1), text(0)}},
        {"value expected", Id::ArgValueExpected, {}},
        {"invalid option '{s}'", Id::InvalidOption, {}},
        {"invalid option", Id::InvalidOption, {}},
        {"base out of range", Id::BaseOutOfRange, {}},
        {"nil or table expected", Id::NilOrTableExpected, {}},
        {"level must be non-negative", Id::LevelNegative, {}},
        {"invalid level", Id::InvalidLevel, {}},
        {"coroutine expected", Id::CoroutineExpected, {}},
        {"Lua function expected", Id::LuaFunctionExpected, {}},
        {"boolean or proxy expected", Id::ProxyExpected, {}},
        {"index out of range", Id::IndexOutOfRange, {}},
        {"function or level expected", Id::FunctionOrLevelExpected, {}},
        {"level out of range", Id::LevelOutOfRange, {}},
        {"interval is empty", Id::RandomIntervalEmpty, {}},
        {"invalid value", Id::InvalidValue, {}},
        {"string/function/table expected", Id::ReplacementExpected, {}},
        {"invalid format", Id::InvalidFormat, {}},
        {"invalid mode", Id::InvalidMode, {}},
        {"no value", Id::NoValue, {}},
        {"too many results to unpack", Id::UnpackTooBig, {}},
        {"too many arguments", Id::TooManyArguments, {}},
        {"too many results to resume", Id::ResumeTooManyResults, {}},
        {"too many arguments to resume", Id::ResumeTooManyArgs, {}},
        {"too many captures", Id::TooManyCaptures, {}},
        {"string slice too long", Id::StringTooLong, {}},
    };
    return rules;
}

std::optional<std::string> translateDetail(std::string_view text) { return applyRules(detailRules(), text); }

// Bodies of the parser's messages.
const std::vector<Rule>& syntaxRules()
{
    static const std::vector<Rule> rules = {
        {"'<eof>' expected", Id::ParseEofExpected, {}},
        {"'<name>' expected", Id::ParseNameExpected, {}},
        {"'=' or 'in' expected", Id::ParseAssignOrIn, {}},
        {"'{s}' expected (to close '{s}' at line {d})", Id::ParseUnclosed, {integer(2), text(1), text(0)}},
        {"'{s}' expected", Id::ParseTokenExpected, {text(0)}},
        {"<name> or '...' expected", Id::ParseParamExpected, {}},
        {"ambiguous syntax (function call x new statement)", Id::ParseAmbiguousCall, {}},
        {"function arguments expected", Id::ParseArgsExpected, {}},
        {"unexpected symbol", Id::ParseUnexpectedSymbol, {}},
        {"syntax error", Id::ParseSyntaxError, {}},
        {"no loop to break", Id::ParseNoLoop, {}},
        {"cannot use '...' outside a vararg function", Id::ParseVarargOutside, {}},
        {"chunk has too many syntax levels", Id::ParseChunkNesting, {}},
        {"control structure too long", Id::ParseJumpTooLong, {}},
        {"function or expression too complex", Id::ParseTooComplex, {}},
        {"constant table overflow", Id::ParseTooManyConstants, {}},
        {"code size overflow", Id::ParseCodeTooLarge, {}},
        {"unfinished string", Id::LexUnfinishedString, {}},
        {"unfinished long string", Id::LexUnfinishedLongString, {}},
        {"unfinished long comment", Id::LexUnfinishedLongComment, {}},
        {"malformed number", Id::LexMalformedNumber, {}},
        {"escape sequence too large", Id::LexEscapeTooLarge, {}},
    };
    return rules;
}

// The quantities of the parser's limits.
constexpr std::pair<std::string_view, Id> kQuantities[] = {
    {"local variables", Id::LimitLocals},
    {"upvalues", Id::LimitUpvalues},
    {"items in a constructor", Id::LimitItems},
    {"variables in assignment", Id::LimitAssignTargets},
};

std::optional<std::string> translateLimit(std::string_view body)
{
    auto captures = match("main function has more than {d} {s}", body);
    if (!captures)
        captures = match("function at line {d} has more than {d} {s}", body);
    if (captures) {
        const std::string_view limit = (*captures)[captures->size() - 2].text;
        const std::string_view what = captures->back().text;
        for (const auto& [name, id] : kQuantities) {
            if (what == name)
                return format(msg::text(Id::LimitExceeded), {std::string_view(msg::text(id)), toInteger(limit)});
        }
        return std::nullopt;
    }
    if (body == "chunk has too many lines")
        return format(msg::text(Id::LimitExceeded), {std::string_view(msg::text(Id::LimitLines)), 2147483645});
    return std::nullopt;
}

// Length of a "chunk:line: " prefix that ends at `colon` (the position of ": "), or 0.
bool digitsBefore(std::string_view text, std::size_t colonSpace, std::size_t& digitsStart)
{
    std::size_t i = colonSpace;
    while (i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9')
        --i;
    if (i == colonSpace || i == 0 || text[i - 1] != ':')
        return false;
    digitsStart = i;
    return true;
}

}  // namespace

std::optional<std::string> translateMessage(std::string_view text)
{
    // The message itself, then after each "...:line: " prefix in turn.
    if (auto body = applyRules(messageRules(), text))
        return body;
    for (std::size_t at = text.find(": "); at != std::string_view::npos; at = text.find(": ", at + 1)) {
        std::size_t digits = 0;
        if (!digitsBefore(text, at, digits))
            continue;
        if (auto body = applyRules(messageRules(), text.substr(at + 2)))
            return std::string(text.substr(0, at + 2)) + *body;
    }
    return std::nullopt;
}

std::string translateSyntaxError(std::string_view text, std::string_view chunkName)
{
    const std::string id = chunkId(chunkName, kSyntaxIdSize);
    // "chunk:line: body" or "chunk:line: body near 'token'".
    if (text.size() > id.size() + 1 && text.starts_with(id) && text[id.size()] == ':') {
        std::string_view rest = text.substr(id.size() + 1);
        std::size_t lineEnd = 0;
        while (lineEnd < rest.size() && rest[lineEnd] >= '0' && rest[lineEnd] <= '9')
            ++lineEnd;
        if (lineEnd > 0 && rest.substr(lineEnd).starts_with(": ")) {
            const long long line = toInteger(rest.substr(0, lineEnd));
            std::string_view body = rest.substr(lineEnd + 2);
            // The parser's own words never hold " near '"; the token after it may.
            const std::size_t near = body.find(" near '");
            if (near != std::string_view::npos && body.ends_with('\'')) {
                const std::string_view token = body.substr(near + 7, body.size() - near - 8);
                const std::string_view what = body.substr(0, near);
                std::optional<std::string> japanese = applyRules(syntaxRules(), what);
                if (!japanese)
                    japanese = translateLimit(what);
                if (japanese)
                    return format(msg::text(Id::SyntaxNear), {id, line, token, *japanese});
            } else if (auto japanese = translateLimit(body)) {
                return std::string(text.substr(0, id.size() + 1 + lineEnd + 2)) + *japanese;
            } else if (auto plain = applyRules(syntaxRules(), body)) {
                return std::string(text.substr(0, id.size() + 1 + lineEnd + 2)) + *plain;
            }
        }
    }
    return translateMessage(text).value_or(std::string(text));
}

}  // namespace engine::profile
