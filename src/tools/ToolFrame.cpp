#include "ToolFrame.h"

#include <algorithm>

namespace tools {
namespace {

std::vector<CToolFrame*>& frames()
{
    static std::vector<CToolFrame*> list;
    return list;
}

}  // namespace

CToolFrame::CToolFrame(QWidget* owner) : QMainWindow(owner, Qt::Tool)
{
    frames().push_back(this);
}

CToolFrame::~CToolFrame()
{
    auto& list = frames();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<CToolFrame*>& CToolFrame::toolFrames() noexcept { return frames(); }

void CToolFrame::focusInEvent(QFocusEvent* event)
{
    QMainWindow::focusInEvent(event);
    if (QWidget* view = centralWidget())
        view->setFocus();
}

}  // namespace tools
