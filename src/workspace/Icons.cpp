#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace qb {

namespace {

void Page(QPainter& p, QRectF r, QColor fill) {
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor c) {
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QPointF d = to - from;
    qreal len = std::hypot(d.x(), d.y());
    QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head{to + u * 1.5, to - u * 5 + n * 4, to - u * 5 - n * 4};
    p.setBrush(c);
    p.setPen(QPen(c, 1));
    p.drawPolygon(head);
}

QPixmap Draw(TIcon which, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 20.0, size / 20.0);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    const QColor blue(30, 90, 190), green(20, 140, 60), red(190, 40, 40);
    switch (which) {
    case TIcon::App: {
        p.setBrush(blue);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(1, 1, 18, 18), 4, 4);
        p.setPen(QPen(Qt::white, 1.6));
        // a boat (渡: crossing) on two waves
        QPainterPath hull;
        hull.moveTo(4, 10);
        hull.lineTo(16, 10);
        hull.lineTo(13.5, 13);
        hull.lineTo(6.5, 13);
        hull.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(hull);
        p.drawLine(QPointF(10, 4), QPointF(10, 10));
        p.setBrush(Qt::NoBrush);
        QPainterPath wave;
        wave.moveTo(3, 16);
        wave.cubicTo(6, 14.5, 7, 17.5, 10, 16);
        wave.cubicTo(13, 14.5, 14, 17.5, 17, 16);
        p.drawPath(wave);
        break;
    }
    case TIcon::Browse: {
        Page(p, QRectF(2.5, 2.5, 11, 14), QColor(250, 250, 240));
        p.setBrush(QColor(200, 225, 255, 200));
        p.setPen(QPen(QColor(40, 40, 40), 1.6));
        p.drawEllipse(QPointF(12, 11), 4, 4);
        p.setPen(QPen(QColor(40, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 14), QPointF(18.5, 17.5));
        break;
    }
    case TIcon::NextSentence:
        Page(p, QRectF(2.5, 3.5, 9, 13), QColor(250, 250, 240));
        Arrow(p, QPointF(9, 10), QPointF(17.5, 10), blue);
        break;
    case TIcon::Expand:
        Page(p, QRectF(2.5, 3.5, 9, 13), QColor(250, 250, 240));
        Arrow(p, QPointF(8, 7), QPointF(17.5, 7), blue);
        Arrow(p, QPointF(8, 13), QPointF(17.5, 13), blue);
        break;
    case TIcon::Confirm:
        Page(p, QRectF(2.5, 3.5, 11, 13), QColor(250, 250, 240));
        p.setPen(QPen(green, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(7, 11), QPointF(10.5, 15), QPointF(18, 5)});
        break;
    case TIcon::Add:
        p.setBrush(QColor(250, 240, 200));
        p.drawRect(QRectF(2.5, 2.5, 11, 15));
        p.setPen(QPen(QColor(150, 100, 40), 1.2));
        p.drawLine(QPointF(5, 2.5), QPointF(5, 17.5));
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawEllipse(QPointF(14.5, 14.5), 5, 5);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(14.5, 11.5), QPointF(14.5, 17.5));
        p.drawLine(QPointF(11.5, 14.5), QPointF(17.5, 14.5));
        break;
    case TIcon::Undo: {
        p.setPen(QPen(blue, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        arc.moveTo(6, 8);
        arc.cubicTo(12, 3.5, 18.5, 7, 16.5, 13);
        arc.cubicTo(15.5, 16, 12, 17, 9, 16.5);
        p.drawPath(arc);
        p.setBrush(blue);
        p.setPen(QPen(blue, 1));
        p.drawPolygon(QPolygonF{QPointF(2.5, 9.5), QPointF(8.5, 3.5), QPointF(9.5, 11)});
        break;
    }
    case TIcon::Copy:
        Page(p, QRectF(2.5, 2.5, 10, 12), QColor(235, 235, 235));
        Page(p, QRectF(7.5, 5.5, 10, 12), QColor(255, 255, 255));
        break;
    case TIcon::Cut:
        p.setPen(QPen(QColor(70, 70, 70), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 2.5), QPointF(13, 13));
        p.drawLine(QPointF(14, 2.5), QPointF(7, 13));
        p.setPen(QPen(red, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6, 15.5), 2.8, 2.8);
        p.drawEllipse(QPointF(14, 15.5), 2.8, 2.8);
        break;
    case TIcon::Paste:
        p.setBrush(QColor(200, 150, 90));
        p.drawRoundedRect(QRectF(2.5, 3.5, 12, 15), 1.5, 1.5);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(5.5, 2, 6, 3));
        Page(p, QRectF(8.5, 8.5, 9, 10), QColor(255, 255, 255));
        break;
    }
    return pm;
}

} // namespace

QIcon MakeIcon(TIcon which) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64}) icon.addPixmap(Draw(which, size));
    return icon;
}

} // namespace qb
