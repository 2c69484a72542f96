#include "FileListFrame.h"

#include "GridView.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace tools {
namespace {

CFileListFrame* g_instance = nullptr;

// No key hints: keys typed in the grid go to the script.
struct MenuItem {
    int id;  // the standard edit command numbers; 0 for the view filters, which have no handler
    const char* caption;
};

constexpr int kEditCopy = 57634;

constexpr MenuItem kEditItems[] = {
    {57643, "元に戻す(&U)"}, {57644, "やり直し(&R)"}, {57635, "切り取り(&T)"},
    {kEditCopy, "コピー(&C)"}, {57637, "貼り付け(&P)"}, {57632, "削除(&D)"},
    {57642, "すべて選択(&A)"},
};

constexpr MenuItem kViewItems[] = {
    {0, "読み込めるファイル(&R)"},
    {0, "画像ファイル(&P)"},
    {0, "すべて(&A)"},
};

}  // namespace

CFileListFrame::CFileListFrame(QWidget* owner) : CToolFrame(owner)
{
    g_instance = this;
    setObjectName("fileListFrame");
    setWindowTitle(QString::fromUtf8("ファイル一覧"));
    resize(320, 400);

    m_message = new QLabel(" ", this);
    m_message->setObjectName("fileListStatus");
    statusBar()->addWidget(m_message, 1);
    auto* kana = new QLabel(QString::fromUtf8("カナ"), this);
    kana->setObjectName("kanaIndicator");
    kana->setEnabled(false);  // the kana lock is not a state this platform reports
    statusBar()->addPermanentWidget(kana);

    createMenu();

    m_view = new CGridView(this);
    setCentralWidget(m_view);
}

CFileListFrame::~CFileListFrame()
{
    if (g_instance == this)
        g_instance = nullptr;
}

CFileListFrame* CFileListFrame::instance() noexcept { return g_instance; }

void CFileListFrame::createMenu()
{
    const auto add = [this](QMenu* menu, const MenuItem& item) {
        QAction* a = menu->addAction(QString::fromUtf8(item.caption));
        a->setData(item.id);
        a->setEnabled(false);
        return a;
    };
    QMenu* edit = menuBar()->addMenu(QString::fromUtf8("編集(&E)"));
    for (const MenuItem& item : kEditItems) {
        QAction* a = add(edit, item);
        if (item.id == kEditCopy) {
            m_copy = a;
            connect(a, &QAction::triggered, this, [this] {
                if (m_runCopy)
                    m_runCopy();
            });
        }
    }
    connect(edit, &QMenu::aboutToShow, this, &CFileListFrame::refreshCopy);
    QMenu* view = menuBar()->addMenu(QString::fromUtf8("表示(&V)"));
    for (const MenuItem& item : kViewItems)
        add(view, item);
}

void CFileListFrame::setCopyCommand(std::function<void()> run, std::function<bool()> enabled)
{
    m_runCopy = std::move(run);
    m_copyEnabled = std::move(enabled);
    // The script is asked for the state when the menu opens, not here.
    m_copy->setEnabled(static_cast<bool>(m_runCopy));
}

void CFileListFrame::refreshCopy()
{
    m_copy->setEnabled(m_runCopy && (!m_copyEnabled || m_copyEnabled()));
}

}  // namespace tools
