#include "Splash.h"

#include "Fonts.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>

namespace qb {

TSplashForm::TSplashForm(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents); // ignores input
    setObjectName(QStringLiteral("SplashForm"));
    setFixedSize(298, 153);
}

void TSplashForm::ShowNow() {
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect g = s->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
    show();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TSplashForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));
    // Lowered outer bevel, raised inner bevel.
    QRect outer = rect().adjusted(0, 0, -1, -1);
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(outer.topLeft(), outer.topRight());
    p.drawLine(outer.topLeft(), outer.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(outer.bottomLeft(), outer.bottomRight());
    p.drawLine(outer.topRight(), outer.bottomRight());
    QRect inner = outer.adjusted(1, 1, -1, -1);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(inner.topLeft(), inner.topRight());
    p.drawLine(inner.topLeft(), inner.bottomLeft());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(inner.bottomLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomRight());

    p.setFont(RequestedFont("隶书", 32));
    p.setPen(Qt::blue);
    p.drawText(QRect(0, 4, width(), 33), Qt::AlignHCenter | Qt::AlignVCenter,
               QString::fromUtf8("文渡翻译环境"));
    p.fillRect(QRect(8, 38, 280, 1), pal.color(QPalette::Dark));
    p.setPen(pal.color(QPalette::WindowText));
    p.setFont(RequestedFont("宋体", 14));
    p.drawText(QRect(0, 50, width(), 22), Qt::AlignHCenter | Qt::AlignVCenter,
               QString::fromUtf8("（英汉 1.0 版）"));
    p.drawText(QRect(0, height() - 40, width(), 22), Qt::AlignHCenter | Qt::AlignVCenter,
               QString::fromUtf8("正在载入词库，请稍候..."));
}

} // namespace qb
