#include "gui/ProgramIcon.h"

#include <QPainter>
#include <QPen>

QImage DrawProgramIcon(int nSize)
{
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The SVG's 32 x 32 units.
    painter.scale(nSize / 32.0, nSize / 32.0);
    const QPointF top[] = {{16, 3}, {29, 9}, {16, 15}, {3, 9}};
    const QPointF left[] = {{3, 9}, {16, 15}, {16, 29}, {3, 23}};
    const QPointF right[] = {{16, 15}, {29, 9}, {29, 23}, {16, 29}};
    QPen edge(QColor(0xc8, 0xd2, 0xff), 0.4);
    edge.setJoinStyle(Qt::RoundJoin);
    painter.setPen(edge);
    painter.setBrush(QColor(0x78, 0x8c, 0xff));
    painter.drawPolygon(top, 4);
    painter.setBrush(QColor(0x00, 0x00, 0xb2));
    painter.drawPolygon(left, 4);
    painter.setBrush(QColor(0x00, 0x00, 0x6e));
    painter.drawPolygon(right, 4);
    return image;
}
