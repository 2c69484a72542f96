// The string table, menu, toolbar and accelerators of the main window.

#include "Commands.h"

#include <algorithm>

namespace app::commands {
namespace {

constexpr CommandStrings kStrings[] = {
    {OperatePager, "左右のクリックでページ移動します（←前　次→）", "ページ送りモード"},
    {OperateViewer, "左ボタンで次のページへ移動、右クリックでメニューを表示します", "閲覧モード"},
    {AdjustLessor, "縦か横のどちらか一方にスクロールするように表示します", "縦横どちらかを合わせる"},
    {AdjustGreator, "画面サイズに画像がすべておさまるように幅か高さを合わせます", "全体が見れるように"},
    {AdjustWidth, "横幅が画面におさまるように表示します", "横幅を合わせる"},
    {AdjustHeight, "縦幅が画面におさまるように表示します", "高さを合わせる"},
    {AdjustNone, "自動でサイズ調節をしません", "サイズ調節しない"},
    {Scale50, "50%の拡大率で表示します", "50%"},
    {Scale25, "25%の拡大率で表示します", "25%"},
    {Scale75, "75%の拡大率で表示します", "75%"},
    {Scale100, "100%の拡大率で表示します", "100%"},
    {Scale150, "150%の拡大率で表示します", "150%"},
    {Scale200, "200%の拡大率で表示します", "200%"},
    {Scale400, "400%の拡大率で表示します", "400%"},
    {NextImage, "次の画像を開く", "次の画像"},
    {PrevImage, "前の画像を開く", "前の画像"},
    {LinearFilter, "線形補間法で滑らかに拡大表示します。やや画像がぼやけます", "滑らかに拡大"},
    {FileList, "ファイル一覧ウインドウを表示/非表示", "ファイル一覧ウインドウ"},
    {FullScreen, "全画面表示とウインドウ表示を切り替えます", "全画面/ウインドウ"},
    {ImageOnlyInFullScreen, "全画面表示の時は画像以外はなにも（スクロールバーも）表示しません", "全画面時は画像だけ"},
    {OpenFolder, "フォルダを選択して開く", "フォルダを開く"},
    {BgWhite, "背景を白く塗りつぶして表示します", "白背景"},
    {BgBlack, "背景を黒く塗りつぶして表示します", "黒背景"},
    {BgPattern, "背景用のパターン画像を並べて表示します", "パターン"},
    {Console, "スクリプトのコンソールを表示/非表示", "コンソールウインドウ"},
    {Workspace, "スクリプトのワークスペースを表示/非表示", "ワークスペースウインドウ"},
    {WheelSlow, "ホイールでのスクロール速度をゆっくりにします", "ホイール回転ゆっくり"},
    {WheelNormal, "ホイールでのスクロール速度を普通にします", "ホイール回転ふつう"},
    {WheelFast, "ホイールでのスクロール速度を速くします", "ホイール回転はやい"},
    {StartupOpenLastFile, "起動時に前回開いていたファイルリストを表示します", "起動時に前回のファイルを開く"},
    {ZoomIn, "拡大して表示", "拡大"},
    {ZoomOut, "縮小して表示", "縮小"},
    {HelpContents, "ヘルプファイルを表示します", "ヘルプを表示"},
    {ShowStopDialog, "ファイルリストの先頭または末尾まで来たら、ダイアログを表示します", "リスト末尾でダイアログを表示"},
    {FileOpen, "ファイルを選択して開く", "ファイルを開く"},
    {FileSaveAs, "表示中のファイルを新しい名前で保存", "名前をつけて保存"},
    {EditCopy, "選択範囲をコピーしてクリップボードに保存", "コピー"},
    {About, "バージョン情報を表示します", "バージョン情報"},
    {AppExit, "アプリケーションを終了します", "終了"},
};

struct TableString {
    StringId id;
    const char* text;
};

constexpr TableString kTableStrings[] = {
    {IdleMessage, " "},
    {IndicatorCaps, "CAP"},
    {IndicatorNum, "NUM"},
    {IndicatorScroll, "SCRL"},
    {IndicatorPages, "ページ/総ページ数"},
};

constexpr StringId kIndicators[] = {IndicatorPages, IndicatorCaps, IndicatorNum, IndicatorScroll};

constexpr MenuRow kMenu[] = {
    {0, 0, "ファイル(&F)"},
        {1, OpenFolder, "フォルダを開く(&F)...\tCtrl+F"},
        {1, FileOpen, "ファイルを開く(&O)...\tCtrl+O"},
        {1, -1, nullptr},
        {1, FileSaveAs, "名前を付けて保存(&A)...\tCtrl+S"},
        {1, -1, nullptr},
        {1, AppExit, "終了(&X)"},
    {0, 0, "編集(&E)"},
        {1, EditCopy, "コピー(&C)\tCtrl+C"},
    {0, 0, "表示(&V)"},
        {1, FullScreen, "全画面/ウインドウ(&F)\tAlt+Enter"},
        {1, -1, nullptr},
        {1, ViewToolBar, "ツールバー(&T)"},
        {1, ViewStatusBar, "ステータスバー(&S)"},
        {1, -1, nullptr},
        {1, FileList, "ファイル一覧ウインドウ(&L)\tTab"},
    {0, 0, "設定(&O)"},
        {1, 0, "表示サイズ"},
            {2, AdjustGreator, "全体をおさめる(&A)"},
            {2, AdjustWidth, "横幅を合わせる(&W)"},
            {2, AdjustHeight, "高さを合わせる(&H)"},
            {2, AdjustLessor, "どちらかにスクロール(&B)"},
            {2, -1, nullptr},
            {2, Scale25, "25%"},
            {2, Scale50, "50%"},
            {2, Scale75, "75%"},
            {2, Scale100, "100%"},
            {2, Scale150, "150%"},
            {2, Scale200, "200%"},
            {2, Scale400, "400%"},
        {1, 0, "背景"},
            {2, BgWhite, "白(&W)"},
            {2, BgBlack, "黒(&B)"},
            {2, BgPattern, "パターン(&C)"},
        {1, 0, "ホイール回転"},
            {2, WheelSlow, "ゆっくり(&S)"},
            {2, WheelNormal, "ふつう(&N)"},
            {2, WheelFast, "はやい(&F)"},
        {1, 0, "その他の設定"},
            {2, StartupOpenLastFile, "起動時に前回のファイルを開く"},
            {2, ShowStopDialog, "リスト末尾でダイアログを表示する"},
        {1, -1, nullptr},
        {1, LinearFilter, "滑らかに拡大(&L)"},
    {0, 0, "ﾍﾙﾌﾟ(&H)"},
        {1, HelpContents, "ヘルプの目次(&H)"},
        {1, Console, "デバッグコンソール(&C)"},
        // Without an item of its own the workspace could not be reached at all.
        {1, Workspace, "ワークスペース(&W)"},
        {1, -1, nullptr},
        {1, About, "バージョン情報(&A)..."},
};

constexpr int kToolbar[] = {
    OpenFolder, FileSaveAs, EditCopy, 0, PrevImage, NextImage, 0, FileList, 0, FullScreen, 0,
    AdjustGreator, AdjustWidth, AdjustHeight, AdjustLessor, 0, ZoomOut, Scale100, ZoomIn,
};

const Accelerator kAccelerators[] = {
    {QKeySequence(Qt::Key_Plus), ZoomIn},
    {QKeySequence(Qt::Key_Minus), ZoomOut},
    {QKeySequence(Qt::CTRL | Qt::Key_C), EditCopy},
    {QKeySequence(Qt::CTRL | Qt::Key_Insert), EditCopy},
    {QKeySequence(Qt::CTRL | Qt::Key_F), OpenFolder},
    {QKeySequence(Qt::CTRL | Qt::Key_N), FileNew},
    {QKeySequence(Qt::CTRL | Qt::Key_O), FileOpen},
    {QKeySequence(Qt::CTRL | Qt::Key_P), Print},
    {QKeySequence(Qt::CTRL | Qt::Key_S), FileSaveAs},
    {QKeySequence(Qt::CTRL | Qt::Key_V), EditPaste},
    {QKeySequence(Qt::SHIFT | Qt::Key_Insert), EditPaste},
    {QKeySequence(Qt::CTRL | Qt::Key_X), EditCut},
    {QKeySequence(Qt::SHIFT | Qt::Key_Delete), EditCut},
    {QKeySequence(Qt::CTRL | Qt::Key_Z), EditUndo},
    {QKeySequence(Qt::ALT | Qt::Key_Backspace), EditUndo},
    {QKeySequence(Qt::CTRL | Qt::Key_Up), ZoomIn},
    {QKeySequence(Qt::CTRL | Qt::Key_Down), ZoomOut},
    {QKeySequence(Qt::CTRL | Qt::Key_Left), PrevImage},
    {QKeySequence(Qt::CTRL | Qt::Key_Right), NextImage},
    {QKeySequence(Qt::CTRL | Qt::Key_Space), NextImage},
    {QKeySequence(Qt::Key_Escape), ExitRequest},
    {QKeySequence(Qt::Key_F6), NextPane},
    {QKeySequence(Qt::SHIFT | Qt::Key_F6), PrevPane},
    {QKeySequence(Qt::ALT | Qt::Key_Return), FullScreen},
    {QKeySequence(Qt::ALT | Qt::Key_Enter), FullScreen},
    {QKeySequence(Qt::Key_Tab), FileList},
};

constexpr int kAll[] = {
    OperatePager, OperateViewer, AdjustLessor, AdjustGreator, AdjustWidth, AdjustHeight, AdjustNone,
    Scale50, Scale25, Scale75, Scale100, Scale150, Scale200, Scale400, NextImage, PrevImage,
    LinearFilter, FileList, FullScreen, ImageOnlyInFullScreen, OpenFolder, ExitRequest, BgWhite,
    BgBlack, BgPattern, Console, Workspace, WheelSlow, WheelNormal, WheelFast, StartupOpenLastFile,
    ZoomIn, ZoomOut, HelpContents, ShowStopDialog, FileNew, FileOpen, FileSaveAs, PrintSetup, Print,
    PrintPreview, EditCopy, EditCut, EditPaste, EditUndo, About, AppExit, NextPane, PrevPane,
    ViewToolBar, ViewStatusBar,
};

}  // namespace

const char* text(StringId id)
{
    for (const TableString& s : kTableStrings) {
        if (s.id == id)
            return s.text;
    }
    return "";
}

std::span<const StringId> indicators() { return kIndicators; }

std::span<const CommandStrings> strings() { return kStrings; }

const CommandStrings* stringsOf(int id)
{
    const auto it = std::find_if(std::begin(kStrings), std::end(kStrings), [id](const CommandStrings& s) { return s.id == id; });
    return it == std::end(kStrings) ? nullptr : &*it;
}

std::span<const MenuRow> menu() { return kMenu; }
std::span<const int> toolbar() { return kToolbar; }
std::span<const Accelerator> accelerators() { return kAccelerators; }
std::span<const int> all() { return kAll; }

}  // namespace app::commands
