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
    {Id::EditorInitFailed, "Scintillaエディットコンポーネントの初期化に失敗しました。"},
    {Id::EditorErrorCaption, "エラー"},
    {Id::MenuHelp, "ﾍﾙﾌﾟ(&H)"},
    {Id::MenuAbout, "バージョン情報(&A)..."},
    {Id::BatchUsage, "usage: selvarin [--timeout SECONDS] --batch FILE.lua [ARG...]"},
    {Id::BatchScriptMissing, "selvarin: script not found: %s"},
    {Id::TableContainsItself, "自分自身を含むテーブルは複製できません"},
    {Id::TableTooDeep, "テーブルの入れ子が深すぎます"},
    {Id::TooManyResults, "戻り値が多すぎます"},
    {Id::SeparateInitFailed, "app.separateDoFile()  Lua環境の初期化に失敗しました"},
    {Id::SeparateFileMissing, "app.separateDoFile()  スクリプトファイルが見つかりません：%s"},
    {Id::SeparateTimeLimit, "app.separateDoFile()  スクリプトの実行が %d 秒を超えたので中止しました"},
    {Id::ScriptStalled, "スクリプトが %d 秒以上応答していません。\nスクリプトの実行を中止しますか？"},
    {Id::ScriptStopped, "スクリプトの実行を中止しました"},
    {Id::ScriptTimeLimit, "スクリプトの実行が %d 秒を超えたので中止しました"},
    {Id::InvalidBufferHandle, "無効なBufferハンドルです"},
    {Id::BufferNotOpen, "操作対象のBufferが開かれていません"},
    {Id::InvalidSurfaceHandle, "無効なSurfaceハンドルです"},
    {Id::SurfaceNotOpen, "操作対象のSurfaceが開かれていません"},
    {Id::InvalidLWindowHandle, "無効なLWindowハンドルです"},
    {Id::InvalidSusiePluginHandle, "無効なSusie_pluginハンドルです"},
    {Id::SusiePluginNotOpen, "操作対象のSusie_pluginが開かれていません"},
    {Id::InvalidPluginSpecified, "不正なプラグインの指定です"},
    {Id::ArchiveInfoFailed, "アーカイブ情報の取得中にエラーが発生しました"},
    {Id::InvalidFile, "無効なファイルです"},
    {Id::FileNotOpen, "操作対象のファイルが開かれていません"},
    {Id::HostInternalError, "内部エラーのため処理を中止しました (%s)"},
    {Id::OptionalDialogCancel, "ｷｬﾝｾﾙ"},
    {Id::DefaultOpenFilter, "All Files (*.*)|*.*||"},
    {Id::HelpMissing, "ヘルプファイルが見つかりません。\n%s"},
    {Id::HelpOpenFailed, "ヘルプファイルを開くアプリケーションが見つかりません。\n%s"},
    // Script language profile.
    {Id::SyntaxNear, "%s:%d: `%s' 付近に文法エラーがあります。%s"},
    {Id::LimitExceeded, "%sが限界を超えました (最大:%d)"},
    {Id::LimitLines, "１チャンクの行数"},
    {Id::LimitItems, "テーブルコンストラクタのアイテム数"},
    {Id::LimitLocals, "ローカル変数の数"},
    {Id::LimitUpvalues, "外部ローカル変数（上位値）の数"},
    {Id::LimitAssignTargets, "代入文の変数の数"},
    {Id::LexControlChar, "認識できない制御文字が見つかりました"},
    {Id::LexCharCode, "(文字コード：%d)"},
    {Id::LexMalformedNumber, "間違った数字表記"},
    {Id::LexAmbiguousNumber, "あいまいな表記です (小数点か連結演算子か判断できません)"},
    {Id::LexUnfinishedLongComment, "囲みコメントが --[[...]] のように正しく閉じていません"},
    {Id::LexUnfinishedLongString, "複数行文字列が [[...]] のように正しく閉じていません"},
    {Id::LexUnfinishedString, "文字列が正しく閉じていません"},
    {Id::LexEscapeTooLarge, "エスケープシーケンスの１０進数値が大きすぎます"},
    {Id::ParseEofExpected, "この位置には EOF が必要です（ファイルが正しく終わっていません）"},
    {Id::ParseChunkNesting, "文法上のネストが限界を超えました（複雑すぎる<式／チャンク>構造です）"},
    {Id::ParseUnclosed, "%d行目の `%s' が閉じていません。この位置には `%s' が必要です"},
    {Id::ParseTokenExpected, "この位置には `%s' が必要です"},
    {Id::ParseNameExpected, "この位置には <変数名／フィールド名> が必要です"},
    {Id::ParseParamExpected, "この位置には <引数名> か `...' が必要です"},
    {Id::ParseAmbiguousCall, "あいまいな表記です (関数呼び出しか数式のカッコか判断できません)"},
    {Id::ParseArgsExpected, "この位置には関数呼び出しの引数が必要です"},
    {Id::ParseUnexpectedSymbol, "予期せぬシンボルです"},
    {Id::ParseAssignOrIn, "この位置には `=' か `in' が必要です"},
    {Id::ParseSyntaxError, "文法エラー"},
    {Id::ParseNoLoop, "`break' 文がありますが、ループがありません"},
    {Id::ParseJumpTooLong, "制御構造のコードサイズが大きすぎます（相対ジャンプ命令が生成できません）"},
    {Id::ParseTooManyConstants, "スコープ内の定数リテラルの数が限界を超えました"},
    {Id::ParseVarargOutside, "可変長引数の関数の外では `...' は使えません"},
    {Id::ParseTooComplex, "関数または式が複雑すぎます"},
    {Id::ParseCodeTooLarge, "関数のコードサイズが限界を超えました"},
    {Id::UndumpBadCode, "%s : 不正なコードを検出しました"},
    {Id::UndumpEof, "%s : 予期せぬ EOF です"},
    {Id::UndumpBadInteger, "%s : 不正な整数データを検出しました"},
    {Id::UndumpBadConstant, "%s : 不正な定数を検出しました"},
    {Id::UndumpBadHeader, "%s : ファイルの識別コードが Luaバイナリのものと異なります"},
    {Id::OpOnValue, "未定義の操作です。%s 型の値に対して%sが使われました"},
    {Id::OpOnNamed, "未定義の操作です。%s 型の%s `%s' に対して%sが使われました"},
    {Id::OpArithmetic, "算術演算子"},
    {Id::OpConcatenate, "連結演算子"},
    {Id::OpCall, "関数呼び出し構文"},
    {Id::OpIndex, "テーブルインデックス指定"},
    {Id::OpLength, "長さ演算子"},
    {Id::KindGlobal, "グローバル変数"},
    {Id::KindLocal, "ローカル変数"},
    {Id::KindMethod, "メソッド"},
    {Id::KindField, "フィールド"},
    {Id::KindUpvalue, "外部ローカル変数"},
    {Id::CompareSameType, "未定義の操作です。%s 型の値同士で比較演算子が使われました"},
    {Id::CompareMixedTypes, "未定義の操作です。%s 型の値と %s 型の値の間で比較演算子が使われました"},
    {Id::LoopInGettable, "gettable：メタテーブルへのアクセスが制限を超えて連鎖しました。依存関係がループしている可能性があります"},
    {Id::LoopInSettable, "settable：メタテーブルへのアクセスが制限を超えて連鎖しました。依存関係がループしている可能性があります"},
    {Id::ForInitial, "`for' の初期値に数値型以外の値が指定されました"},
    {Id::ForLimit, "`for' の最大値に数値型以外の値が指定されました"},
    {Id::ForStep, "`for' のステップ値に数値型以外の値が指定されました"},
    {Id::StringTooLong, "文字列のサイズが限界を超えました"},
    {Id::InvalidNextKey, "`next'に対して不正なキー値が渡されました"},
    {Id::TableOverflow, "テーブルの内部処理がオーバーフローしました"},
    {Id::TableIndexNil, "テーブルのインデックスに無効値 nil が指定されました"},
    {Id::TableIndexNaN, "テーブルのインデックスに無効値 NaN が指定されました"},
    {Id::BlockTooBig, "メモリ割り当てエラー: 要求サイズが制限を超えています"},
    {Id::CStackOverflow, "<関数／式>のネストが深すぎます。呼び出しスタックが限界を超えました"},
    {Id::CallStackOverflow, "システム内部で関数呼び出しスタックが限界を超えました"},
    {Id::ResumeNotSuspended, "中断（yield）していないコルーチンは再開（resume）できません"},
    {Id::ResumeDead, "終了したコルーチンは再開（resume）できません"},
    {Id::YieldAcrossBoundary, "<メタメソッド／Ｃ言語関数>をまたいで中断（yield）しようとしました"},
    {Id::ErrorInErrorHandling, "エラー処理中にエラーが発生しました"},
    {Id::BaseOutOfRange, "基数が範囲外です"},
    {Id::NilOrTableExpected, "nil かテーブルが必要です"},
    {Id::ProtectedMetatable, "保護されたメタテーブルは変更できません"},
    {Id::LevelNegative, "スタックレベル指定が負の値になっています"},
    {Id::InvalidLevel, "間違ったスタックレベル指定です"},
    {Id::NoFunctionEnvironment, "スタックレベル %d で最後に呼び出された関数環境は存在しません"},
    {Id::SetfenvGivenObject, "`setfenv' は渡された関数環境を変更できません"},
    {Id::UnpackTooBig, "このテーブルは展開（unpack）するには大きすぎます"},
    {Id::LoadedNotTable, "`_LOADED' はテーブルではありません"},
    {Id::RequireFailed, "パッケージ `%s' (%s) のロード中にエラーが発生しました"},
    {Id::RequireNotFound, "パス `%s' のパッケージ `%s' がロードできません"},
    {Id::TooManyPathMarks, "パス並びの一要素に含まれるマークが多すぎます"},
    {Id::CoroutineExpected, "コルーチンの指定が必要です"},
    {Id::LuaFunctionExpected, "Lua 関数の指定が必要です"},
    {Id::ResumeTooManyArgs, "resume 関数に渡された引数の数が多すぎます"},
    {Id::ResumeTooManyResults, "resume 関数で返された戻り値の数が多すぎます"},
    {Id::ProxyExpected, "真偽値（boolean）か、toboolean メソッドを持つプロキシが必要です"},
    {Id::AssertionFailed, "アサーションに失敗しました"},
    {Id::IndexOutOfRange, "インデックスが範囲外です"},
    {Id::ReaderNotString, "読み込み関数は文字列を返さなければなりません"},
    {Id::InvalidOption, "間違ったオプション指定です"},
    {Id::FunctionOrLevelExpected, "関数でもスタックレベルでもありません"},
    {Id::LevelOutOfRange, "範囲外のスタックレベルが指定されました"},
    {Id::TracebackHeader, "スタックトレース:"},
    {Id::TracebackFunction, " 関数 `%s'"},
    {Id::TracebackFunctionAt, " 関数 <%s:%d>"},
    {Id::TracebackMain, " メインプログラム"},
    {Id::FileAlreadyClosed, "書き込み対象のファイルが開かれていません"},
    {Id::PopenUnsupported, "`popen' 関数はこのビルド設定ではサポートされません"},
    {Id::InvalidFormat, "間違ったフォーマット指定です"},
    {Id::ReadWordObsolete, "`read' 関数の `*w' オプションは廃止されました"},
    {Id::TooManyArguments, "引数の数が多すぎます"},
    {Id::InvalidMode, "間違ったモード指定です"},
    {Id::TmpnameFailed, "`tmpname' 関数は一時ファイル名の作成に失敗しました"},
    {Id::DateFormatTooLong, "`date' 関数に指定されたフォーマットが長すぎます"},
    {Id::DateFieldMissing, "日付テーブル内に `%s' フィールドが見つかりません"},
    {Id::StringExpected, "文字列が必要です"},
    {Id::CannotCloseStandardFile, "標準ファイルは閉じられません"},
    {Id::RandomIntervalEmpty, "乱数範囲の指定が間違っています"},
    {Id::WrongArgumentCount, "引数の数が間違っています"},
    {Id::InvalidValue, "間違った値指定です"},
    {Id::DumpFailed, "渡された関数がダンプできませんでした"},
    {Id::PatternMissingBracketAfterF, "指定のパターンは `%%f' の後ろに `[' が見つかりません"},
    {Id::PatternEndsWithPercent, "間違ったパターン指定です (`%'で終わっています)"},
    {Id::PatternMissingBracket, "間違ったパターン指定です (`]' が見つかりません)"},
    {Id::PatternMissingBalanceArgs, "間違ったパターン指定です (`%b' の引数がありません)"},
    {Id::PatternUnbalanced, "不整合な（unbalanced）パターン指定です"},
    {Id::TooManyCaptures, "キャプチャ数が多すぎます"},
    {Id::InvalidPatternCapture, "パターンのキャプチャ指定が間違っています"},
    {Id::InvalidCaptureIndex, "キャプチャ番号の指定が間違っています"},
    {Id::UnfinishedCapture, "キャプチャが完結していません"},
    {Id::ReplacementExpected, "文字列か関数の指定が必要です"},
    {Id::InvalidReplacement, "置換値が間違っています (%s 型)"},
    {Id::FormatInvalidOption, "`format' 関数に間違ったフォーマットが指定されました"},
    {Id::FormatObsoleteDollar, "`format' 関数の (d$) オプションは廃止されました"},
    {Id::FormatRepeatedFlags, "間違ったフォーマット指定です (長すぎます)"},
    {Id::FormatWidthTooLong, "間違ったフォーマット指定です (幅または精度の指定が長すぎます)"},
    {Id::NoValue, "値がありません"},
    {Id::ConcatNonString, "テーブルに文字列以外の値が含まれています"},
    {Id::SortInvalidOrder, "`sort' 内で呼び出された比較関数の振る舞いが正しくありません"},
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
