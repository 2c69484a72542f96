#include "Controllers.h"

#include <Qt>

namespace view {

void Controller::onMiddleDown(int x, int y)
{
    if (!m_host.isDragging())
        m_host.dragStart(x, y);
}

void Controller::onMiddleUp(int, int)
{
    if (m_host.isDragging())
        m_host.dragEnd();
}

void Controller::onMouseMove(int x, int y)
{
    if (m_host.isDragging())
        m_host.dragMove(x, y);
}

bool PagerController::onKeyDown(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Right:
        m_host.nextImage();
        return true;
    case Qt::Key_Left:
        m_host.previousImage();
        return true;
    case Qt::Key_Up:
        m_host.scrollByKey(true);
        return true;
    case Qt::Key_Down:
        m_host.scrollByKey(false);
        return true;
    default:
        return false;
    }
}

std::shared_ptr<Controller> makeController(int operateMode, ControllerHost& host)
{
    if (operateMode != 0)
        return std::make_shared<ViewerController>(host);
    return std::make_shared<PagerController>(host);
}

}  // namespace view
