// Every run-time and library situation a script can meet, and the exact Japanese text it sees
// through pcall; and the other ways messages leave the runtime.

#include "EngineTestSupport.h"

#include "engine/ScriptCall.h"
#include "platform/Paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

using enginetest::EngineFixture;

namespace {

class ProfileMessagesTest : public EngineFixture {
protected:
    // Runs `code` as the chunk "t" and gives its first result as UTF-8 ("<nil>" for none).
    std::string result(const std::string& code)
    {
        const int top = lua_gettop(L());
        if (engine::loadChunk(L(), code, "=t") != 0 || lua_pcall(L(), 0, 1, 0) != 0) {
            std::string failure = std::string("failed: ") + platform::cp932ToUtf8(lua_tostring(L(), -1));
            lua_settop(L(), top);
            return failure;
        }
        std::size_t n = 0;
        const char* s = lua_tolstring(L(), -1, &n);
        std::string out = s ? platform::cp932ToUtf8(std::string_view(s, n)) : std::string("<nil>");
        lua_settop(L(), top);
        return out;
    }

    // The error message `body` raises, as pcall gives it.
    std::string errorOf(const std::string& body)
    {
        return result("return select(2, pcall(function() " + body + "\nend))");
    }
};

struct Case {
    const char* code;
    const char* expected;
};

// The runtime's own situations.
constexpr Case kRuntimeCases[] = {
    {"local x; x.y = 1", "t:1: 未定義の操作です。nil 型のローカル変数 `x' に対してテーブルインデックス指定が使われました"},
    {"undefinedGlobal()", "t:1: 未定義の操作です。nil 型のグローバル変数 `undefinedGlobal' に対して関数呼び出し構文が使われました"},
    {"local t = {} return t.a.b", "t:1: 未定義の操作です。nil 型のフィールド `a' に対してテーブルインデックス指定が使われました"},
    {"local t = {} t:nomethod()", "t:1: 未定義の操作です。nil 型のメソッド `nomethod' に対して関数呼び出し構文が使われました"},
    {"local u local f = function() return u + 1 end return f()",
     "t:1: 未定義の操作です。nil 型の外部ローカル変数 `u' に対して算術演算子が使われました"},
    {"return {} .. 'x'", "t:1: 未定義の操作です。table 型の値に対して連結演算子が使われました"},
    {"return #nil", "t:1: 未定義の操作です。nil 型の値に対して長さ演算子が使われました"},
    {"return {} < {}", "t:1: 未定義の操作です。table 型の値同士で比較演算子が使われました"},
    {"return 1 < 'x'", "t:1: 未定義の操作です。number 型の値と string 型の値の間で比較演算子が使われました"},
    {"local t = setmetatable({}, {}) getmetatable(t).__index = t return t.x",
     "t:1: gettable：メタテーブルへのアクセスが制限を超えて連鎖しました。依存関係がループしている可能性があります"},
    {"local t = setmetatable({}, {}) getmetatable(t).__newindex = t t.x = 1",
     "t:1: settable：メタテーブルへのアクセスが制限を超えて連鎖しました。依存関係がループしている可能性があります"},
    {"for i = 'a', 2 do end", "t:1: `for' の初期値に数値型以外の値が指定されました"},
    {"for i = 1, {} do end", "t:1: `for' の最大値に数値型以外の値が指定されました"},
    {"for i = 1, 2, {} do end", "t:1: `for' のステップ値に数値型以外の値が指定されました"},
    {"local t = {} t[nil] = 1", "t:1: テーブルのインデックスに無効値 nil が指定されました"},
    {"local t = {} t[0/0] = 1", "t:1: テーブルのインデックスに無効値 NaN が指定されました"},
    {"return next({}, 'nokey')", "`next'に対して不正なキー値が渡されました"},
    {"local function f() return 1 + f() end return f()", "t:1: システム内部で関数呼び出しスタックが限界を超えました"},
    {"local function f(s) return (string.gsub(s, '.', f)) end return f('x')",
     "<関数／式>のネストが深すぎます。呼び出しスタックが限界を超えました"},
    {"return select(2, xpcall(function() error('x') end, function() error('y') end))", "エラー処理中にエラーが発生しました"},
};

// The libraries' situations.
constexpr Case kLibraryCases[] = {
    // argument errors of the auxiliary library
    {"string.rep()", "t:1: 関数呼び出し `rep( #1 )' は引数の指定が間違っています (no value 型が渡されましたが、ここには string 型が必要です)"},
    {"return ('x'):rep({})", "t:1: 関数呼び出し `rep( #1 )' は引数の指定が間違っています (table 型が渡されましたが、ここには number 型が必要です)"},
    {"local t = {sub = string.sub} t:sub(1)",
     "t:1: `sub' メソッドに渡された self が間違っています (table 型が渡されましたが、ここには string 型が必要です)"},
    {"rawequal(1)", "t:1: 関数呼び出し `rawequal( #2 )' は引数の指定が間違っています (ここには値が必要です（NULLが渡されました）)"},
    // base library
    {"tonumber('1', 99)", "t:1: 関数呼び出し `tonumber( #2 )' は引数の指定が間違っています (基数が範囲外です)"},
    {"setmetatable({}, 1)", "t:1: 関数呼び出し `setmetatable( #2 )' は引数の指定が間違っています (nil かテーブルが必要です)"},
    {"setmetatable(setmetatable({}, {__metatable = 1}), {})", "t:1: 保護されたメタテーブルは変更できません"},
    {"getfenv(-1)", "t:1: 関数呼び出し `getfenv( #1 )' は引数の指定が間違っています (スタックレベル指定が負の値になっています)"},
    {"getfenv(100)", "t:1: 関数呼び出し `getfenv( #1 )' は引数の指定が間違っています (間違ったスタックレベル指定です)"},
    {"setfenv(print, {})", "t:1: `setfenv' は渡された関数環境を変更できません"},
    {"unpack({n = 100000})", "t:1: スタックオーバーフロー (このテーブルは展開（unpack）するには大きすぎます)"},
    {"select(0)", "t:1: 関数呼び出し `select( #1 )' は引数の指定が間違っています (インデックスが範囲外です)"},
    {"newproxy(1)", "t:1: 関数呼び出し `newproxy( #1 )' は引数の指定が間違っています (真偽値（boolean）か、toboolean メソッドを持つプロキシが必要です)"},
    {"collectgarbage('x')", "t:1: 関数呼び出し `collectgarbage( #1 )' は引数の指定が間違っています (間違ったオプション指定です)"},
    {"assert(false)", "t:1: アサーションに失敗しました"},
    {"_LOADED = 1 require('m')", "t:1: `_LOADED' はテーブルではありません"},
    {"_LOADED = {} LUA_PATH = 'no_such_dir/?.lua' require('m')", "t:1: パス `no_such_dir/?.lua' のパッケージ `m' がロードできません"},
    // coroutines
    {"coroutine.resume(1)", "t:1: 関数呼び出し `resume( #1 )' は引数の指定が間違っています (コルーチンの指定が必要です)"},
    {"coroutine.create(print)", "t:1: 関数呼び出し `create( #1 )' は引数の指定が間違っています (Lua 関数の指定が必要です)"},
    {"coroutine.wrap(print)", "t:1: 関数呼び出し `wrap( #1 )' は引数の指定が間違っています (Lua 関数の指定が必要です)"},
    {"local co = coroutine.create(function() end) coroutine.resume(co) return select(2, coroutine.resume(co))",
     "終了したコルーチンは再開（resume）できません"},
    {"local co co = coroutine.create(function() return coroutine.resume(co) end) return select(3, coroutine.resume(co))",
     "中断（yield）していないコルーチンは再開（resume）できません"},
    {"return select(3, coroutine.resume(coroutine.create(function() return pcall(coroutine.yield) end)))",
     "<メタメソッド／Ｃ言語関数>をまたいで中断（yield）しようとしました"},
    {"local f = coroutine.wrap(function() end) f() f()", "終了したコルーチンは再開（resume）できません"},
    // debug library
    {"debug.getinfo({})", "t:1: 関数呼び出し `getinfo( #1 )' は引数の指定が間違っています (関数でもスタックレベルでもありません)"},
    {"debug.getlocal(100, 1)", "t:1: 関数呼び出し `getlocal( #1 )' は引数の指定が間違っています (範囲外のスタックレベルが指定されました)"},
    // math library
    {"math.random(2, 1)", "t:1: 関数呼び出し `random( #2 )' は引数の指定が間違っています (乱数範囲の指定が間違っています)"},
    {"math.random(1, 2, 3)", "t:1: 引数の数が間違っています"},
    // string library
    {"string.char(256)", "t:1: 関数呼び出し `char( #1 )' は引数の指定が間違っています (間違った値指定です)"},
    {"string.dump(print)", "t:1: 渡された関数がダンプできませんでした"},
    {"string.find('a', '%f')", "t:1: 指定のパターンは `%f' の後ろに `[' が見つかりません"},
    {"string.find('a', '%')", "t:1: 間違ったパターン指定です (`%'で終わっています)"},
    {"string.find('a', '[a')", "t:1: 間違ったパターン指定です (`]' が見つかりません)"},
    {"string.find('a', '%b')", "t:1: 不整合な（unbalanced）パターン指定です"},
    {"string.find('a', string.rep('()', 33))", "t:1: キャプチャ数が多すぎます"},
    {"string.find('a', '%1')", "t:1: キャプチャ番号の指定が間違っています"},
    {"string.find('a', '(()')", "t:1: キャプチャが完結していません"},
    {"string.gsub('a', '(a)', '%2')", "t:1: キャプチャ番号の指定が間違っています"},
    {"string.gsub('a', 'a', true)", "t:1: 関数呼び出し `gsub( #3 )' は引数の指定が間違っています (文字列か関数の指定が必要です)"},
    {"string.gsub('a', 'a', {a = {}})", "t:1: 置換値が間違っています (table 型)"},
    {"string.format('%y', 1)", "t:1: `format' 関数に間違ったフォーマットが指定されました"},
    {"string.format('%------5d', 1)", "t:1: 間違ったフォーマット指定です (長すぎます)"},
    {"string.format('%123d', 1)", "t:1: 間違ったフォーマット指定です (幅または精度の指定が長すぎます)"},
    {"string.format('%1$d', 1)", "t:1: `format' 関数の (d$) オプションは廃止されました"},
    {"string.format('%s %2$s', 'a', 'b')", "t:1: `format' 関数の (d$) オプションは廃止されました"},
    {"string.format('%d')", "t:1: 関数呼び出し `format( #2 )' は引数の指定が間違っています (値がありません)"},
    // table library
    {"table.concat({{}})", "t:1: 関数呼び出し `concat( #1 )' は引数の指定が間違っています (テーブルに文字列以外の値が含まれています)"},
    {"table.sort({3, 2, 1, 5, 4, 7, 6, 9, 8}, function() return true end)",
     "t:1: `sort' 内で呼び出された比較関数の振る舞いが正しくありません"},
    // I/O and OS libraries
    {"io.read('*w')", "t:1: `read' 関数の `*w' オプションは廃止されました"},
    {"io.read('x')", "t:1: 関数呼び出し `read( #1 )' は引数の指定が間違っています (間違ったオプション指定です)"},
    {"io.read('*z')", "t:1: 関数呼び出し `read( #1 )' は引数の指定が間違っています (間違ったフォーマット指定です)"},
    {"local f = io.tmpfile() f:close() f:write('x')", "t:1: 操作対象のファイルが開かれていません"},
    {"local f = io.tmpfile() local it = f:lines() f:close() it()", "t:1: 書き込み対象のファイルが開かれていません"},
    {"io.tmpfile():seek('bad')", "t:1: 関数呼び出し `seek( #1 )' は引数の指定が間違っています (間違ったモード指定です)"},
    {"io.popen('ls')", "t:1: `popen' 関数はこのビルド設定ではサポートされません"},
    {"io.output():write({})", "t:1: 関数呼び出し `write( #1 )' は引数の指定が間違っています (table 型が渡されましたが、ここには string 型が必要です)"},
    {"io.tmpfile().read({})", "t:1: 関数呼び出し `read( #1 )' は引数の指定が間違っています (無効なファイルです)"},
    {"os.time({})", "t:1: 日付テーブル内に `day' フィールドが見つかりません"},
    {"os.date(string.rep('%c', 100))", "t:1: `date' 関数に指定されたフォーマットが長すぎます"},
    {"os.setlocale({})", "t:1: 関数呼び出し `setlocale( #1 )' は引数の指定が間違っています (文字列が必要です)"},
    {"os.setlocale('C', 'nothing')", "t:1: 関数呼び出し `setlocale( #2 )' は引数の指定が間違っています (間違ったオプション指定です)"},
};

TEST_F(ProfileMessagesTest, RuntimeSituationsGiveTheCatalogueTexts)
{
    for (const Case& c : kRuntimeCases)
        EXPECT_EQ(errorOf(c.code), c.expected) << c.code;
}

TEST_F(ProfileMessagesTest, LibrarySituationsGiveTheCatalogueTexts)
{
    for (const Case& c : kLibraryCases)
        EXPECT_EQ(errorOf(c.code), c.expected) << c.code;
}

TEST_F(ProfileMessagesTest, ParserMessagesUseTheSyntaxErrorFormat)
{
    const Case cases[] = {
        {"x = = 1", "[string \"x = = 1\"]:1: `=' 付近に文法エラーがあります。予期せぬシンボルです"},
        {"x", "[string \"x\"]:1: `<eof>' 付近に文法エラーがあります。この位置には `=' が必要です"},
        {"if x then\\n\\nx = 1", "[string \"if x then...\"]:3: `<eof>' 付近に文法エラーがあります。"
                                 "1行目の `if' が閉じていません。この位置には `end' が必要です"},
        {"local function", "[string \"local function\"]:1: `<eof>' 付近に文法エラーがあります。この位置には <変数名／フィールド名> が必要です"},
        {"break", "[string \"break\"]:1: `<eof>' 付近に文法エラーがあります。`break' 文がありますが、ループがありません"},
        {"f(", "[string \"f(\"]:1: `<eof>' 付近に文法エラーがあります。予期せぬシンボルです"},
        {"for x do end", "[string \"for x do end\"]:1: `do' 付近に文法エラーがあります。この位置には `=' か `in' が必要です"},
        {"function f(1) end", "[string \"function f(1) end\"]:1: `1' 付近に文法エラーがあります。この位置には <引数名> か `...' が必要です"},
        {"return 1 1", "[string \"return 1 1\"]:1: `1' 付近に文法エラーがあります。この位置には EOF が必要です（ファイルが正しく終わっていません）"},
        {"x = f\\n(g)()", "[string \"x = f...\"]:2: `(' 付近に文法エラーがあります。あいまいな表記です (関数呼び出しか数式のカッコか判断できません)"},
        {"x.y:z 1", "[string \"x.y:z 1\"]:1: `1' 付近に文法エラーがあります。この位置には関数呼び出しの引数が必要です"},
        {"function f() x = ... end", "[string \"function f() x = ... end\"]:1: `...' 付近に文法エラーがあります。可変長引数の関数の外では `...' は使えません"},
        {"(x) = 1", "[string \"(x) = 1\"]:1: `=' 付近に文法エラーがあります。文法エラー"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(result(std::string("return select(2, loadstring(") + "\"" + c.code + "\"))"), c.expected) << c.code;
    // Chunk nesting and the limits of a function.
    EXPECT_EQ(result("return select(2, loadstring('return ' .. string.rep('(', 300) .. '1' .. string.rep(')', 300)))"),
              "[string \"return " + std::string(56, '(') + "...\"]:1: "
              "文法上のネストが限界を超えました（複雑すぎる<式／チャンク>構造です）");
    EXPECT_EQ(result("local t = {} for i = 1, 201 do t[i] = 'local a' .. i end "
                     "return select(2, loadstring(table.concat(t, ' ')))"),
              "[string \"local a1 local a2 local a3 local a4 local a5 local a6 local a7 ...\"]:1: "
              "ローカル変数の数が限界を超えました (最大:200)");
}

TEST_F(ProfileMessagesTest, LongMessagesAreTranslatedInLinearTime)
{
    // A syntax error near a long token full of position-like text, and a long argument error.
    const std::string near = result("local s = string.rep(':1: near ' .. string.char(39), 50000) "
                                    "return select(2, loadstring('x = 1 \"' .. s .. '\"'))");
    EXPECT_NE(near.find("...\"]:1: `\":1: near ':1: near '"), std::string::npos) << near.substr(0, 120);
    EXPECT_NE(near.find("' 付近に文法エラーがあります。予期せぬシンボルです"), std::string::npos);
    const std::string arg = errorOf("string.rep(string.rep(\"' (\", 100000))");
    EXPECT_NE(arg.find("関数呼び出し `rep( #2 )'"), std::string::npos);
}

TEST_F(ProfileMessagesTest, ScriptOwnErrorValuesAreNeverAltered)
{
    EXPECT_EQ(errorOf("error('attempt to call a nil value', 0)"), "attempt to call a nil value");
    EXPECT_EQ(errorOf("error('attempt to call a nil value')"), "t:1: attempt to call a nil value");
    EXPECT_EQ(errorOf("assert(false, 'stack overflow')"), "t:1: stack overflow");
    EXPECT_EQ(errorOf("local f = coroutine.wrap(function() error('not enough memory', 0) end) f()"), "not enough memory");
    EXPECT_EQ(result("return type(select(2, pcall(error, {})))"), "table");
    // A rethrown translated message stays translated.
    EXPECT_EQ(errorOf("local ok, e = pcall(function() local x; x() end) error(e, 0)"),
              "t:1: 未定義の操作です。nil 型のローカル変数 `x' に対して関数呼び出し構文が使われました");
}

TEST_F(ProfileMessagesTest, HandlersAndCoroutinesSeeTranslatedMessages)
{
    EXPECT_EQ(result("return select(2, xpcall(function() local x; x() end, function(m) return 'H:' .. m end))"),
              "H:t:1: 未定義の操作です。nil 型のローカル変数 `x' に対して関数呼び出し構文が使われました");
    EXPECT_EQ(result("return select(2, coroutine.resume(coroutine.create(function() return 1 + nil end)))"),
              "t:1: 未定義の操作です。nil 型の値に対して算術演算子が使われました");
    EXPECT_EQ(errorOf("local f = coroutine.wrap(function() local n; n() end) f()"),
              "t:1: 未定義の操作です。nil 型のローカル変数 `n' に対して関数呼び出し構文が使われました");
    // The first message a host-level handler receives is already Japanese.
    run("seen = nil function _TRACEBACK(m) seen = m return m end function fails() local q; q.x = 1 end");
    const std::string expected = "[string \"seen = nil function _TRACEBACK(m) seen = m ...\"]:1: "
                                 "未定義の操作です。nil 型のローカル変数 `q' に対してテーブルインデックス指定が使われました";
    lua_getglobal(L(), "fails");
    boxesDuring([&] { EXPECT_FALSE(engine.callPrepared(0, 0)); });
    EXPECT_EQ(platform::cp932ToUtf8(global("seen")), expected);
    run("seen = nil");
    const std::string boxes = boxesDuring([&] { EXPECT_TRUE(engine.callWithStrings("fails")); });
    EXPECT_EQ(platform::cp932ToUtf8(global("seen")), expected) << "event calls too";
    EXPECT_NE(boxes.find("Lua 実行時エラー(1)：" + expected), std::string::npos) << boxes;
}

TEST_F(ProfileMessagesTest, TracebackHasTheFiveZeroLayoutInJapanese)
{
    EXPECT_EQ(result("local function inner() local r = debug.traceback('m') return r end local r = inner() return r"),
              "m\nスタックトレース:\n\tt:1: 関数 `inner'\n\tt:1: メインプログラム");
    EXPECT_EQ(result("local r = (function()\nlocal r = debug.traceback() return r end)() return r"),
              "スタックトレース:\n\tt:2: 関数 <t:1>\n\tt:2: メインプログラム");
    EXPECT_EQ(result("return tostring(_TRACEBACK == debug.traceback)"), "true");
    // A deep stack keeps its first 11 levels and its last 10.
    const std::string deep = result("local function f(n) if n == 0 then local r = debug.traceback() return r end "
                                    "local r = f(n - 1) return r end local r = f(40) return r");
    EXPECT_NE(deep.find("\n\t...\n"), std::string::npos);
    EXPECT_EQ(std::count(deep.begin(), deep.end(), '\n'), 11 + 1 + 10) << deep;
    // A message that is not text comes back as it is.
    EXPECT_EQ(result("local t = {} return tostring(debug.traceback(t) == t)"), "true");
}

TEST_F(ProfileMessagesTest, SyntaxErrorOfAStartScriptIsShownWithItsLine)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "selvarin_profile_syntax.lua";
    std::ofstream(file) << "local a = 1\nlocal s = 'unfinished\n";
    const std::string path = platform::fromOsPath(file.string());
    const std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine.runFile(path)); });
    std::filesystem::remove(file);
    const std::string shown = platform::cp932ToUtf8(path);
    EXPECT_NE(boxes.find("MessageBox[スクリプトエラー]: Lua 文法エラー(3)：" + shown.substr(shown.size() > 52 ? shown.size() - 52 : 0)),
              std::string::npos)
        << boxes;
    EXPECT_NE(boxes.find(":2: `'unfinished' 付近に文法エラーがあります。文字列が正しく閉じていません"), std::string::npos) << boxes;
}

TEST_F(ProfileMessagesTest, RunawayScriptsMeetTheCatalogueMessagesAndTheProgramGoesOn)
{
    engine.setMemoryLimit(64u << 20);
    ASSERT_TRUE(engine.open());
    EXPECT_EQ(errorOf("local s = string.rep('x', 2^20) while true do s = s .. s end"), "メモリ不足です");
    EXPECT_EQ(errorOf("local t = {} for i = 1, 1e9 do t[i] = {} end"), "メモリ不足です");
    EXPECT_EQ(result("return 'still running'"), "still running");
}

}  // namespace
