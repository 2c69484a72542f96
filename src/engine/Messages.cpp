#include "Messages.h"

#include "platform/TextCodec.h"

#include <array>
#include <utility>

namespace engine::msg {
namespace {

constexpr std::pair<Id, const char*> kTable[] = {
    {Id::ApplicationName, "Selvarin"},
    {Id::ArgBad, "関数呼び出し `%s( #%d )' は引数の指定が間違っています (%s)"},
    {Id::ArgBadSelf, "`%s' メソッドに渡された self が間違っています (%s)"},
    {Id::ArgTypeMismatch, "%s 型が渡されましたが、ここには %s 型が必要です"},
    {Id::ArgValueExpected, "ここには値が必要です（NULLが渡されました）"},
    {Id::StackOverflow, "スタックオーバーフロー (%s)"},
    {Id::CannotReadFile, "%s が読み込めません: %s"},
    {Id::ToStringNotText, "引数に対して `tostring' 関数を呼び出しましたが、文字列を返しませんでした"},
    {Id::NotEnoughMemory, "メモリ不足です"},
    {Id::ScriptErrorCaption, "スクリプトエラー"},
    {Id::ErrorWithNoMessage, "(error with no message)"},
    {Id::SyntaxErrorReport, "Lua 文法エラー(%i)：%s"},
    {Id::MemoryErrorReport, "Lua メモリエラー(%i)：%s"},
    {Id::RuntimeErrorReport, "Lua 実行時エラー(%i)：%s"},
    {Id::EngineInitFailed, "Luaスクリプト環境の初期化に失敗しました。"},
    {Id::AppInitFailed, "アプリケーションの初期化に失敗しました。"},
    {Id::ExitConfirm, "%sを終了してよろしいですか？"},
    {Id::ExitConfirmCaption, "終了の確認"},
    {Id::AboutCaption, "バージョン情報"},
    {Id::AboutText, "%s %d.%d.%d build %d"},
    {Id::AboutNotice, "Lua で動きを決める画像ビューア"},
    {Id::ErrorCaption, "Error"},
    {Id::MenuHelp, "ﾍﾙﾌﾟ(&H)"},
    {Id::MenuAbout, "バージョン情報(&A)..."},
    {Id::BatchUsage, "usage: selvarin --batch FILE.lua [ARG...]"},
    {Id::BatchScriptMissing, "selvarin: script not found: %s"},
    {Id::InvalidBufferHandle, "無効なBufferハンドルです"},
    {Id::BufferNotOpen, "操作対象のBufferが開かれていません"},
    {Id::InvalidSurfaceHandle, "無効なSurfaceハンドルです"},
    {Id::SurfaceNotOpen, "操作対象のSurfaceが開かれていません"},
    {Id::InvalidFile, "無効なファイルです"},
    {Id::FileNotOpen, "操作対象のファイルが開かれていません"},
};

constexpr std::size_t kCount = static_cast<std::size_t>(Id::Count);

constexpr std::array<const char*, kCount> byId()
{
    std::array<const char*, kCount> texts{};
    for (const auto& [id, text] : kTable)
        texts[static_cast<std::size_t>(id)] = text;
    return texts;
}

constexpr std::array<const char*, kCount> kUtf8 = byId();

constexpr bool everyIdHasText()
{
    for (const char* t : kUtf8) {
        if (!t)
            return false;
    }
    return true;
}
static_assert(everyIdHasText(), "every message id needs a text");

}  // namespace

const char* utf8(Id id) { return kUtf8[static_cast<std::size_t>(id)]; }

const std::string& text(Id id)
{
    static const std::array<std::string, kCount> converted = [] {
        std::array<std::string, kCount> out;
        for (std::size_t i = 0; i < kCount; ++i)
            out[i] = platform::utf8ToCp932(kUtf8[i]);
        return out;
    }();
    return converted[static_cast<std::size_t>(id)];
}

}  // namespace engine::msg
