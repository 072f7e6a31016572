#include "frmSplash.h"

#include "Version.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/WindowPlacement.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace orvid {

namespace {
bool g_hourglass = false;

const QColor kNavy(0x0d, 0x2b, 0x4e);
const QColor kBlue(0x1f, 0x63, 0x9c);
const QColor kAmber(0xf2, 0xa9, 0x00);

// A font of the given weight whose text fits the width.
QFont FittedFont(const QString& text, int maxWidth, int maxPixelSize, int weight, qreal spacing)
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setWeight(QFont::Weight(weight));
    f.setLetterSpacing(QFont::PercentageSpacing, spacing);
    for (int px = maxPixelSize; px > 6; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(text) <= maxWidth)
            break;
    }
    return f;
}

// The reading-field symbol: a dot with three arcs opening to the right.
void DrawWaves(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour)
{
    p.save();
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, radius * 0.16, radius * 0.16);
    QPen pen(colour, radius * 0.11, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const qreal r = radius * (0.2 + 0.27 * i);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 135 * 16, 90 * 16);
    }
    p.restore();
}

void DrawCentredText(QPainter& p, const QRectF& area, const QString& text, const QFont& font,
                     const QColor& colour)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(area, Qt::AlignHCenter | Qt::AlignVCenter, text);
}
} // namespace

void SetHourglass(bool on)
{
    if (on == g_hourglass)
        return;
    g_hourglass = on;
    if (on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

bool HourglassShown()
{
    return g_hourglass;
}

QString FormatVersionNumber(const QString& dotted)
{
    QStringList parts;
    for (const QString& part : dotted.split(QLatin1Char('.'))) {
        bool ok = false;
        const qulonglong n = part.trimmed().toULongLong(&ok);
        parts.append(ok ? QString::number(n) : part.trimmed());
    }
    return parts.join(QLatin1Char('.'));
}

QPixmap RenderMark(MarkStyle style, const QSize& logicalSize, qreal dpr)
{
    if (dpr <= 0)
        dpr = 1;
    QPixmap pm(logicalSize * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal w = logicalSize.width();
    const qreal h = logicalSize.height();

    switch (style) {
    case MarkStyle::Maker: {
        const QString text = QStringLiteral("VALDRECHT");
        DrawCentredText(p, QRectF(0, 0, w, h), text,
                        FittedFont(text, int(w) - 2, int(h) - 2, QFont::Black, 108), kNavy);
        break;
    }
    case MarkStyle::Splash:
    case MarkStyle::Logo: {
        const bool splash = style == MarkStyle::Splash;
        QLinearGradient bg(0, 0, 0, h);
        if (splash) {
            bg.setColorAt(0, kNavy);
            bg.setColorAt(1, kBlue);
        } else {
            bg.setColorAt(0, QColor(0xfa, 0xfb, 0xfd));
            bg.setColorAt(1, QColor(0xdd, 0xe6, 0xf0));
        }
        QPainterPath frame;
        const qreal radius = splash ? 0 : 14;
        frame.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), radius, radius);
        p.fillPath(frame, bg);
        if (!splash) {
            p.setPen(QPen(QColor(0x9a, 0xae, 0xc4), 1));
            p.drawPath(frame);
        }
        const QColor ink = splash ? QColor(Qt::white) : kNavy;
        const QColor soft = splash ? QColor(0xbf, 0xd8, 0xee) : kBlue;

        DrawWaves(p, QPointF(w / 2, h * 0.25), w * 0.16, splash ? kAmber : kBlue);

        const QString mark = QStringLiteral("ORVID");
        const QFont big = FittedFont(mark, int(w * 0.78), int(h * 0.2), QFont::Black, 112);
        DrawCentredText(p, QRectF(0, h * 0.38, w, h * 0.18), mark, big, ink);

        p.fillRect(QRectF(w * 0.25, h * 0.575, w * 0.5, 3), splash ? kAmber : kBlue);

        const QString sub = QStringLiteral("Systeme");
        DrawCentredText(p, QRectF(0, h * 0.6, w, h * 0.08), sub,
                        FittedFont(sub, int(w * 0.6), int(h * 0.055), QFont::DemiBold, 104), soft);
        const QString line = QStringLiteral("RFID Service und Test");
        DrawCentredText(p, QRectF(0, h * 0.69, w, h * 0.06), line,
                        FittedFont(line, int(w * 0.8), int(h * 0.04), QFont::Normal, 100), soft);

        if (splash) {
            const QString version = QStringLiteral("Version ") + FormatVersionNumber(QStringLiteral(ORVID_VERSION));
            DrawCentredText(p, QRectF(0, h * 0.8, w, h * 0.05), version,
                            FittedFont(version, int(w * 0.6), int(h * 0.035), QFont::Normal, 100), soft);
        }
        const QString maker = QStringLiteral("VALDRECHT");
        DrawCentredText(p, QRectF(0, h * 0.88, w, h * 0.08), maker,
                        FittedFont(maker, int(w * 0.45), int(h * 0.045), QFont::Black, 115), ink);
        break;
    }
    }
    return pm;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int px : {16, 24, 32, 48, 64, 128}) {
        QPixmap pm(px, px);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(px / 32.0, px / 32.0);
        QLinearGradient bg(0, 0, 0, 32);
        bg.setColorAt(0, kBlue);
        bg.setColorAt(1, kNavy);
        QPainterPath square;
        square.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        p.fillPath(square, bg);
        DrawWaves(p, QPointF(16, 16), 13, Qt::white);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// ---------------------------------------------------------------------------------------
frmStart::frmStart(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmStart"));
    setAttribute(Qt::WA_ShowWithoutActivating);
}

frmStart::~frmStart()
{
    if (loaded_)
        Unload();
}

void frmStart::Load()
{
    SetHourglass(true);
    setWindowState(Qt::WindowNoState);
    QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpr = screen ? screen->devicePixelRatio() : 1.0;
    picture_ = RenderMark(MarkStyle::Splash, QSize(kWidth, kHeight), dpr);
    setFixedSize(kWidth, kHeight);
    if (screen) {
        const QRect s = screen->geometry();
        move(s.left() + (s.width() - kWidth) / 2, s.top() + (s.height() - kHeight) / 2);
    }
    loaded_ = true;
    show();
}

void frmStart::Unload()
{
    loaded_ = false;
    hide();
    SetHourglass(false);
}

void frmStart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

// ---------------------------------------------------------------------------------------
frmLogo::frmLogo(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmLogo"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (parent)
        parent->installEventFilter(this);
}

void frmLogo::Load()
{
    // No cursor change here: the logo lives for the whole run and the splash already
    // shows the hourglass during the start-up.
    Recentre();
    lower();
    show();
}

void frmLogo::Recentre()
{
    QWidget* p = parentWidget();
    QSize size(kWidth, kHeight);
    // In a client area smaller than the picture the logo shrinks rather than being cut.
    if (p && (p->width() < kWidth + 8 || p->height() < kHeight + 8))
        size.scale(qMax(p->width() - 8, 40), qMax(p->height() - 8, 50), Qt::KeepAspectRatio);
    if (size != this->size() || picture_.isNull()) {
        setFixedSize(size);
        picture_ = RenderMark(MarkStyle::Logo, size, devicePixelRatioF());
    }
    if (p)
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
}

void frmLogo::paintEvent(QPaintEvent*)
{
    if (picture_.devicePixelRatio() != devicePixelRatioF())
        picture_ = RenderMark(MarkStyle::Logo, size(), devicePixelRatioF());
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

bool frmLogo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Recentre();
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
frmAbout::frmAbout(AppContext& ctx, QWidget* parent)
    : QDialog(parent)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Info über"));
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::StyledPanel);

    auto* icon = new QLabel(frame);
    icon->setObjectName(QStringLiteral("imgIcon"));
    icon->setPixmap(ProgramIcon().pixmap(QSize(48, 48), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop);

    auto makeLabel = [frame](const char* name, const QString& text) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    lblProgram_ = makeLabel("lblProgram", QString());
    QFont bold = lblProgram_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    lblProgram_->setFont(bold);
    lblVersion_ = makeLabel("lblVersion", QStringLiteral("Version"));
    lblVersionNum_ = makeLabel("lblVersionNum", QString());
    lblCopyright_ = makeLabel("lblCopyright",
                              QStringLiteral("Alle Rechte vorbehalten. Dieses Programm ist urheberrechtlich geschützt."));
    lblCopyright_->setWordWrap(true);
    lblSoftware_ = makeLabel("lblSoftware", QStringLiteral("Software Entwicklung:"));
    auto* lblAuthors = makeLabel("lblAuthors", QStringLiteral("Valdrecht Entwicklungsteam Identifikation"));
    lblAuthors->setProperty("langTag", QStringLiteral("NOLANG"));
    lblValdrecht_ = makeLabel("lblValdrecht", QString());

    // The number follows the word "Version" directly, whatever its translated length.
    auto* versionRow = new QHBoxLayout;
    versionRow->setSpacing(0);
    versionRow->addWidget(lblVersion_);
    versionRow->addWidget(lblVersionNum_);
    versionRow->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblProgram_);
    texts->addLayout(versionRow);
    texts->addSpacing(8);
    texts->addWidget(lblCopyright_);
    texts->addSpacing(8);
    texts->addWidget(lblSoftware_);
    texts->addWidget(lblAuthors);
    texts->addSpacing(8);
    texts->addWidget(lblValdrecht_);
    texts->addStretch(1);

    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->addWidget(icon);
    frameLayout->addSpacing(10);
    frameLayout->addLayout(texts, 1);

    btOk_ = new QPushButton(QStringLiteral("OK"), this);
    btOk_->setObjectName(QStringLiteral("btOk"));
    btOk_->setDefault(true);
    connect(btOk_, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOk_);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame, 1);
    outer->addLayout(buttons);
    setMinimumWidth(420);

    // The load steps.
    SetLanguage();
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("ORVID");
    lblProgram_->setText(name);
    lblVersionNum_->setText(QStringLiteral(" ") + QString::fromLatin1(kArticleNumber) + QLatin1Char(' ')
                            + FormatVersionNumber(QStringLiteral(ORVID_VERSION)));
    lblValdrecht_->setText(QString(QChar(0xA9)) + QStringLiteral(" Valdrecht Identifikationssysteme"));
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmAbout::SetLanguage()
{
    QWidget* parts[] = {lblVersion_, lblCopyright_, lblSoftware_};
    if (!textsStored_) {
        setProperty("langTag", windowTitle());
        for (QWidget* w : parts)
            w->setProperty("langTag", static_cast<QLabel*>(w)->text());
        textsStored_ = true;
    }
    if (!ctx_.language)
        return;
    const QString section = QStringLiteral("frmAbout");
    setWindowTitle(ctx_.language->Translate(section, section, property("langTag").toString()));
    for (QWidget* w : parts)
        static_cast<QLabel*>(w)->setText(
            ctx_.language->Translate(section, w->objectName(), w->property("langTag").toString()));
}

int frmAbout::ShowDialog(AppContext& ctx, QWidget* parent)
{
    frmAbout box(ctx, parent);
    return box.exec();
}

// ---------------------------------------------------------------------------------------
frmTip::frmTip(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmTip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    lblTip_ = new QLabel(QStringLiteral("Tooltip"), this);
    lblTip_->setObjectName(QStringLiteral("lblTip"));
    lblTip_->setFrameShape(QFrame::Box);
    lblTip_->setAutoFillBackground(true);
    QPalette pal = lblTip_->palette();
    pal.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));
    pal.setColor(QPalette::WindowText, Qt::black);
    lblTip_->setPalette(pal);
    lblTip_->move(0, 0);
    timTip_ = new QTimer(this);
    timTip_->setObjectName(QStringLiteral("timTip"));
    timTip_->setInterval(1000);
}

} // namespace orvid
