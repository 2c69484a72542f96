#include "Icons.h"

#include "Commands.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {
namespace {

using namespace commands;

const QColor kInk(40, 44, 52);
const QColor kAccent(38, 110, 200);
const QColor kFolder(230, 180, 60);

void arrow(QPainter& p, QPointF tip, QPointF dir)
{
    const QPointF n(-dir.y(), dir.x());
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip - dir * 4 + n * 3);
    path.lineTo(tip - dir * 4 - n * 3);
    path.closeSubpath();
    p.fillPath(path, kInk);
}

void magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(kInk, 1.6));
    p.drawEllipse(QRectF(2, 2, 9, 9));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    p.setPen(QPen(kAccent, 1.6));
    p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
    if (plus)
        p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
}

void frame(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
}

void paint(QPainter& p, int id)
{
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case OpenFolder: {
        QPainterPath path;
        path.moveTo(1.5, 4);
        path.lineTo(6, 4);
        path.lineTo(7.5, 5.5);
        path.lineTo(14.5, 5.5);
        path.lineTo(14.5, 13.5);
        path.lineTo(1.5, 13.5);
        path.closeSubpath();
        p.fillPath(path, kFolder);
        p.setPen(QPen(kInk, 1));
        p.drawPath(path);
        break;
    }
    case FileSaveAs:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kAccent);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2.5, 7, 4));
        p.drawRect(QRectF(4.5, 9.5, 7, 4));
        break;
    case EditCopy:
        p.setPen(QPen(kInk, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
        break;
    case PrevImage:
        arrow(p, QPointF(3, 8), QPointF(-1, 0));
        p.fillRect(QRectF(6, 6.5, 8, 3), kInk);
        break;
    case NextImage:
        arrow(p, QPointF(13, 8), QPointF(1, 0));
        p.fillRect(QRectF(2, 6.5, 8, 3), kInk);
        break;
    case FileList:
        for (int row = 0; row < 4; ++row) {
            p.fillRect(QRectF(2, 2.5 + row * 3.2, 2, 2), kAccent);
            p.fillRect(QRectF(5.5, 2.5 + row * 3.2, 8.5, 2), kInk);
        }
        break;
    case FullScreen:
        frame(p);
        arrow(p, QPointF(3, 4), QPointF(-0.7, -0.7));
        arrow(p, QPointF(13, 12), QPointF(0.7, 0.7));
        break;
    case AdjustGreator:
        frame(p);
        p.fillRect(QRectF(4, 5, 8, 6), kAccent);
        break;
    case AdjustWidth:
        frame(p);
        p.fillRect(QRectF(5, 7, 6, 2), kInk);
        arrow(p, QPointF(2.5, 8), QPointF(-1, 0));
        arrow(p, QPointF(13.5, 8), QPointF(1, 0));
        break;
    case AdjustHeight:
        frame(p);
        p.fillRect(QRectF(7, 6, 2, 4), kInk);
        arrow(p, QPointF(8, 3.5), QPointF(0, -1));
        arrow(p, QPointF(8, 12.5), QPointF(0, 1));
        break;
    case AdjustLessor:
        frame(p);
        p.fillRect(QRectF(3, 4, 10, 8), kAccent);
        p.fillRect(QRectF(12, 3, 2, 10), kInk);
        break;
    case ZoomIn:
        magnifier(p, true);
        break;
    case ZoomOut:
        magnifier(p, false);
        break;
    case Scale100: {
        QFont font = p.font();
        font.setPixelSize(8);
        font.setBold(true);
        p.setFont(font);
        p.setPen(kInk);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "1:1");
        break;
    }
    default:
        break;
    }
}

QPixmap render(int id, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(size / 16.0, size / 16.0);
    paint(p, id);
    return pixmap;
}

}  // namespace

QIcon commandIcon(int id)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(render(id, size));
    return icon;
}

}  // namespace app
