#include "Toolbar.h"

#include "frmSplash.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace orvid {

namespace {
const QColor kInductive(0x14, 0x3c, 0x8c);
const QColor kMicrowave(0x9c, 0x1f, 0x1f);
const QColor kControl(0x1c, 0x6e, 0x32);

// Letters filling a 24-unit square, bold, one colour.
void DrawLetters(QPainter& p, const QString& letters, const QColor& colour)
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setWeight(QFont::Black);
    // Two letters need a narrower face than one.
    f.setPixelSize(letters.size() > 1 ? 13 : 20);
    if (letters.size() > 1)
        f.setStretch(QFont::Condensed);
    QPainterPath path;
    path.addText(0, 0, f, letters);
    const QRectF box = path.boundingRect();
    // Every button's letters stand equally tall (16 units); wide pairs are narrowed to
    // fit the 23-unit width rather than shrunk.
    const qreal sy = 16.0 / box.height();
    const qreal sx = qMin(sy, 23.0 / box.width());
    p.save();
    p.translate(12, 12);
    p.scale(sx, sy);
    p.translate(-box.center());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    p.restore();
}

// A hand-held reader with an antenna and its field.
void DrawReader(QPainter& p)
{
    p.save();
    // housing
    QPainterPath body;
    body.addRoundedRect(QRectF(3, 9, 11, 13), 2, 2);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(QColor(0x5a, 0x6b, 0x7d));
    p.drawPath(body);
    // display
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9f, 0xe0, 0x9f));
    p.drawRect(QRectF(5, 11, 7, 4));
    // keys
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(5 + c * 2.5, 16.5 + r * 2.5, 1.6, 1.6));
    // antenna
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 9), QPointF(11.5, 3));
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawEllipse(QPointF(11.5, 2.8), 1.2, 1.2);
    // field
    p.setPen(QPen(QColor(0xd9, 0x8a, 0x00), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const qreal r = 2.6 * i + 1;
        p.drawArc(QRectF(11.5 - r, 4 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
    p.restore();
}
} // namespace

Toolbar::Toolbar(QWidget* mainWindow, QToolBar* bar)
    : QObject(mainWindow)
    , mainWindow_(mainWindow)
    , bar_(bar)
{
    bar_->setObjectName(QStringLiteral("picToolbar"));
    bar_->setMovable(false);
    bar_->setFloatable(false);
    bar_->setIconSize(QSize(kIconSize, kIconSize));
    bar_->setContextMenuPolicy(Qt::PreventContextMenu);
    for (int i = 0; i < kButtonCount; ++i) {
        auto* b = new QToolButton(bar_);
        b->setObjectName(QStringLiteral("btToolbar"));
        b->setProperty("ctrlIndex", i);
        b->setAutoRaise(true);
        b->setIconSize(QSize(kIconSize, kIconSize));
        b->setFocusPolicy(Qt::NoFocus);
        b->installEventFilter(this);
        bar_->addWidget(b);
        buttons_[i].Index = i;
        buttons_[i].Image = b;
        connect(b, &QToolButton::clicked, this, [this, i] {
            if (!buttons_[i].Disabled)
                emit clicked(i);
        });
    }
}

Toolbar::~Toolbar() = default;

QToolButton* Toolbar::button(int index) const
{
    return index >= 0 && index < kButtonCount ? buttons_[index].Image : nullptr;
}

void Toolbar::InitToolbar()
{
    hotButton_ = -1;
}

void Toolbar::SetButtonPicture(int index, const QString& tooltip)
{
    if (index < 0 || index >= kButtonCount)
        return;
    buttons_[index].Image->setIcon(ButtonIcon(index));
    SetToolTipText(index, tooltip);
}

void Toolbar::SetToolTipText(int index, const QString& tooltip)
{
    if (index < 0 || index >= kButtonCount)
        return;
    buttons_[index].ToolTipText = tooltip;
    // Kept on the widget too (accessibility, tests); Qt's own tooltip is suppressed in
    // favour of the tip window below.
    buttons_[index].Image->setToolTip(tooltip);
}

frmTip* Toolbar::ensureTip()
{
    if (!tip_) {
        tip_ = new frmTip(mainWindow_);
        connect(tip_->timTip(), &QTimer::timeout, this, &Toolbar::ShowToolTip);
    }
    return tip_;
}

void Toolbar::PrepareToolTip(int index)
{
    hotButton_ = index;
    frmTip* t = ensureTip();
    if (!t->timTip()->isActive())
        t->timTip()->start();
}

void Toolbar::RedrawToolbar()
{
    if (tip_) {
        tip_->timTip()->stop();
        tip_->hide();
    }
}

void Toolbar::ShowToolTip()
{
    if (hotButton_ < 0 || !tip_) {
        RedrawToolbar();
        return;
    }
    if (QApplication::activeWindow() != mainWindow_) {
        RedrawToolbar();
        return;
    }
    QToolButton* b = buttons_[hotButton_].Image;
    const QRect global(b->mapToGlobal(QPoint(0, 0)), b->size());
    if (!global.contains(QCursor::pos())) {
        RedrawToolbar();
        return;
    }
    QLabel* label = tip_->lblTip();
    label->setText(QLatin1Char(' ') + buttons_[hotButton_].ToolTipText + QLatin1Char(' '));
    label->adjustSize();
    tip_->resize(label->size());
    QScreen* screen = b->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    tip_->move(TipPosition(global, tip_->size(), area));
    tip_->raise();
    tip_->show();
}

QPoint Toolbar::TipPosition(const QRect& button, const QSize& tip, const QRect& screen)
{
    int x = button.left() + (button.width() - tip.width()) / 2;
    int y = button.top() + button.height();
    if (y + tip.height() > screen.top() + screen.height())
        y = y - tip.height() - button.height();
    if (x < screen.left())
        x = screen.left();
    if (x + tip.width() > screen.left() + screen.width())
        x = screen.left() + screen.width() - tip.width();
    return {x, y};
}

bool Toolbar::eventFilter(QObject* watched, QEvent* event)
{
    auto* b = qobject_cast<QToolButton*>(watched);
    if (!b)
        return QObject::eventFilter(watched, event);
    const int index = b->property("ctrlIndex").toInt();
    switch (event->type()) {
    case QEvent::ToolTip:
        return true; // the tip window shows it
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
        if (!buttons_[index].Disabled && index >= 0 && index < kButtonCount) {
            bool inside = true;
            if (event->type() == QEvent::MouseMove)
                inside = b->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (inside)
                PrepareToolTip(index);
            else
                RedrawToolbar();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        RedrawToolbar();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QPixmap Toolbar::DrawButtonPicture(int index, int px)
{
    QPixmap pm(px, px);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 24.0, px / 24.0);
    switch (index) {
    case 0: {
        // "I" for information, on a round blue badge.
        p.setPen(Qt::NoPen);
        p.setBrush(kInductive);
        p.drawEllipse(QRectF(2, 2, 20, 20));
        QFont f(QStringLiteral("Serif"));
        f.setStyleHint(QFont::Serif);
        f.setWeight(QFont::Black);
        f.setPixelSize(16);
        QPainterPath path;
        path.addText(0, 0, f, QStringLiteral("I"));
        const QRectF box = path.boundingRect();
        p.translate(QPointF(12, 12) - box.center());
        p.setBrush(Qt::white);
        p.drawPath(path);
        break;
    }
    case 1: DrawReader(p); break;
    case 2: DrawLetters(p, QStringLiteral("KR"), kInductive); break;
    case 3: DrawLetters(p, QStringLiteral("KD"), kInductive); break;
    case 4: DrawLetters(p, QStringLiteral("WD"), kMicrowave); break;
    case 5: DrawLetters(p, QStringLiteral("WL"), kMicrowave); break;
    case 6: DrawLetters(p, QStringLiteral("HX"), kControl); break;
    default: break;
    }
    return pm;
}

QIcon Toolbar::ButtonIcon(int index)
{
    QIcon icon;
    for (int px : {kIconSize, kIconSize * 2})
        icon.addPixmap(DrawButtonPicture(index, px));
    return icon;
}

} // namespace orvid
