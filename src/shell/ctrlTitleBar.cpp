#include "ctrlTitleBar.h"

#include "foundations/AppContext.h"
#include "foundations/Help.h"
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"
#include "foundations/Utils.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace orvid {

const char* const ctrlTitleBar::WebAddress = "www.valdrecht.example";

namespace {

constexpr int kLogoSize = 22;
constexpr int kLogoTop = 4;

// The bar's emblem: a dark disc with a light chevron.
QPixmap logoPixmap()
{
    QPixmap pixmap(kLogoSize, kLogoSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3a, 0x68));
    p.drawEllipse(QRectF(0.5, 0.5, kLogoSize - 1, kLogoSize - 1));
    QPainterPath chevron;
    chevron.moveTo(6, 7);
    chevron.lineTo(11, 16);
    chevron.lineTo(16, 7);
    p.setPen(QPen(QColor(0xf2, 0xf2, 0xf2), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
    return pixmap;
}

} // namespace

ctrlTitleBar::ctrlTitleBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ctrlTitleBar"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setProperty("langTag", QStringLiteral("NOLANG"));
    imgLogo->setPixmap(logoPixmap());
    imgLogo->setFixedSize(kLogoSize, kLogoSize);
    imgLogo->setCursor(Qt::PointingHandCursor);
    imgLogo->setProperty("Tag", QStringLiteral("https://%1/").arg(QString::fromLatin1(WebAddress)));
    imgLogo->installEventFilter(this);

    // A new bar: the web address in 12-point type reading upwards on the current background.
    caption_ = QString::fromLatin1(WebAddress);
    setBackColor(palette().color(QPalette::Window));
    fontSize_ = 12;
    angle_ = 90;
    placeLogo();
}

ctrlTitleBar::ctrlTitleBar(AppContext& ctx, QWidget* parent)
    : ctrlTitleBar(parent)
{
    ctx_ = &ctx;
}

void ctrlTitleBar::setCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void ctrlTitleBar::setBackColor(const QColor& color)
{
    backColor_ = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    setAutoFillBackground(true);
}

void ctrlTitleBar::setFontSize(int points)
{
    fontSize_ = points;
    updateGeometry();
    update();
}

void ctrlTitleBar::setRotationAngle(int degrees)
{
    angle_ = degrees;
    update();
}

QFont ctrlTitleBar::captionFont() const
{
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    // Points to pixels on this screen: 12 points are 16 pixels at 96 dots per inch.
    font.setPixelSize(std::max(1, int(std::lround(fontSize_ * logicalDpiY() / 72.0))));
    return font;
}

ctrlTitleBar::CaptionLayout ctrlTitleBar::captionLayout() const
{
    // Measured with the font the caption is drawn in, so the fit test matches the drawing.
    const QFontMetricsF metrics(captionFont());
    const double tw = metrics.horizontalAdvance(caption_);
    CaptionLayout layout;
    layout.text = caption_;
    if (angle_ != 90) {
        layout.origin = QPointF(width() - 3, (height() - tw) / 2.0);
        return layout;
    }
    // Upwards from half the bar's width above the bottom edge.
    layout.origin = QPointF(10, height() - width() / 2.0);
    if (height() - imgLogo->y() > width() / 2.0 + tw)
        return layout;
    // Too long for the room below the logo: shortened with an ellipsis instead of being
    // started at the top corner, where upward text would lie outside the bar.
    layout.fits = false;
    const double room = layout.origin.y() - (imgLogo->y() + imgLogo->height()) - 4;
    layout.text = room > 0 ? metrics.elidedText(caption_, Qt::ElideRight, room) : QString();
    return layout;
}

void ctrlTitleBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), backColor_);
    const CaptionLayout layout = captionLayout();
    if (layout.text.isEmpty())
        return;
    const QFont font = captionFont();
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.translate(layout.origin);
    painter.rotate(-angle_);  // counter-clockwise on screen
    // The origin is the top-left of the text cell; Qt draws from the baseline.
    painter.drawText(QPointF(0, QFontMetricsF(font).ascent()), layout.text);
}

void ctrlTitleBar::placeLogo()
{
    imgLogo->move((width() - imgLogo->width()) / 2, kLogoTop);
}

void ctrlTitleBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeLogo();
    update();
}

QSize ctrlTitleBar::sizeHint() const
{
    const int textHeight = int(std::ceil(QFontMetricsF(captionFont()).height()));
    return QSize(std::max(kLogoSize + 6, 10 + textHeight + 4), 300);
}

bool ctrlTitleBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgLogo && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && imgLogo->rect().contains(mouse->position().toPoint())) {
            OpenLink();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ctrlTitleBar::OpenLink()
{
    const QString address = imgLogo->property("Tag").toString();
    const bool opened = opener_ ? opener_(address) : ShellOpen(address);
    if (opened)
        return true;
    emit linkOpenFailed(address);
    if (ctx_ && ctx_->language && ctx_->language->presenter()) {
        Language& language = *ctx_->language;
        MessageRequest request;
        request.title = language.Translate(QStringLiteral("frmMessage"), QStringLiteral("frmMessage"),
                                           QStringLiteral("Orvid"));
        request.args = address;
        request.text = FormatArgs(language.Translate(QStringLiteral("ctrlTitleBar"), QStringLiteral("OpenError"),
                                                     QStringLiteral("Die Adresse <%s> konnte nicht geöffnet werden.")),
                                  address);
        request.buttons = Msg::OkOnly;
        language.presenter()->present(request);
    }
    return false;
}

} // namespace orvid
