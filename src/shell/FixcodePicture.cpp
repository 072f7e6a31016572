#include "FixcodePicture.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace orvid {

namespace {
const QColor kNavy(0x0d, 0x2b, 0x4e);
const QColor kBlue(0x1f, 0x63, 0x9c);
const QColor kAmber(0xf2, 0xa9, 0x00);
const QColor kDarkAmber(0x9a, 0x6a, 0x00);

// The tag: a disc with a bright rim, its coil as three rings and a code across it; drawn
// in a 48-unit square.
void DrawTag(QPainter& p)
{
    p.save();
    const QPointF centre(21, 21);
    QRadialGradient body(centre - QPointF(6, 6), 26);
    body.setColorAt(0, QColor(0xe9, 0xf0, 0xf7));
    body.setColorAt(1, QColor(0xa9, 0xbd, 0xd2));
    p.setPen(QPen(kNavy, 1.5));
    p.setBrush(body);
    p.drawEllipse(centre, 19, 19);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 1.2));
    for (qreal r : {15.5, 13.5, 11.5})
        p.drawEllipse(centre, r, r);
    // The code: a strip of bars of two widths, as a fixed number written once.
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    const qreal widths[] = {1.2, 2.4, 1.2, 1.2, 2.4, 1.2, 2.4, 1.2};
    qreal x = 13.4;
    for (qreal w : widths) {
        p.drawRect(QRectF(x, 17, w, 8));
        x += w + 1.0;
    }
    p.restore();
}

// The padlock over the tag's lower right.
void DrawLock(QPainter& p)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kDarkAmber, 3.0, Qt::SolidLine, Qt::RoundCap));
    QPainterPath shackle;
    shackle.moveTo(31, 34);
    shackle.lineTo(31, 29.5);
    shackle.arcTo(QRectF(31, 24, 10, 11), 180, -180);
    shackle.lineTo(41, 34);
    p.drawPath(shackle);
    QPainterPath body;
    body.addRoundedRect(QRectF(27, 33, 18, 13), 2.5, 2.5);
    p.setPen(QPen(kDarkAmber, 1.2));
    p.setBrush(kAmber);
    p.drawPath(body);
    // keyhole
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(36, 38.2), 1.8, 1.8);
    p.drawRect(QRectF(35.3, 38.5, 1.4, 4.5));
    p.restore();
}
} // namespace

QPixmap DrawFixcodePicture(const QSize& logicalSize, qreal devicePixelRatio)
{
    if (devicePixelRatio <= 0)
        devicePixelRatio = 1;
    QPixmap pm(logicalSize * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    if (logicalSize.isEmpty())
        return pm;
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The drawing fills a 48-unit square, centred in a picture of another shape.
    const qreal scale = qMin(logicalSize.width(), logicalSize.height()) / 48.0;
    p.translate((logicalSize.width() - 48 * scale) / 2, (logicalSize.height() - 48 * scale) / 2);
    p.scale(scale, scale);
    DrawTag(p);
    DrawLock(p);
    return pm;
}

FixcodePicture::FixcodePicture(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(kSize, kSize);
}

void FixcodePicture::paintEvent(QPaintEvent*)
{
    if (picture_.isNull() || picture_.devicePixelRatio() != devicePixelRatioF()
        || picture_.deviceIndependentSize().toSize() != size())
        picture_ = DrawFixcodePicture(size(), devicePixelRatioF());
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

} // namespace orvid
