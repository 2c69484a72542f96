#include "WorkSpaceFrame.h"

#include "SciEdit.h"

#include <memory>

namespace tools {
namespace {

CWorkSpaceFrame* g_workspace = nullptr;

}  // namespace

CWorkSpaceFrame::CWorkSpaceFrame(QWidget* owner) : CToolFrame(owner), m_view(new CWorkspaceEdit(this))
{
    g_workspace = this;
    setObjectName(QStringLiteral("workspaceFrame"));
    setWindowTitle(QString::fromUtf8("ワークスペース"));
    resize(560, 420);
    setCentralWidget(m_view);
}

CWorkSpaceFrame::~CWorkSpaceFrame()
{
    if (g_workspace == this)
        g_workspace = nullptr;
}

CWorkSpaceFrame* CWorkSpaceFrame::create(QWidget* owner)
{
    std::unique_ptr<CWorkSpaceFrame> frame(new CWorkSpaceFrame(owner));
    if (!frame->m_view->createComponent())
        return nullptr;
    return frame.release();  // the owner's child
}

CWorkSpaceFrame* CWorkSpaceFrame::instance() noexcept { return g_workspace; }

}  // namespace tools
