#include "Lamp.h"

#include <QPainter>

namespace orvid {

Lamp::Lamp(QWidget* parent, QColor colour) : QWidget(parent), colour_(colour)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
}

void Lamp::setLit(bool on)
{
    if (lit_ == on)
        return;
    lit_ = on;
    repaint();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.setBrush(lit_ ? QBrush(colour_) : Qt::NoBrush);
    const int d = qMin(width(), height()) - 2;
    p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

} // namespace orvid
