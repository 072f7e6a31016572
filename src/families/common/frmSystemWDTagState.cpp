#include "frmSystemWDTagState.h"

#include "families/common/Exchange.h"


#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
constexpr int kBarBoxWidth = 160;
constexpr int kBarBoxHeight = 18;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLabel* makeValue(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* l = makeLabel(parent, name, text);
    // Device values are never translated.
    l->setProperty("langTag", QStringLiteral("NOLANG"));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(kBarBoxWidth);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}
} // namespace

frmSystemWDTagState::frmSystemWDTagState(AppContext& ctx, QWidget* parent)
    : FamilyDialog(ctx, "frmSystemWDTagState", QStringLiteral("Datenträger Status"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    lblIDCode = makeLabel(this, "lblIDCode", QStringLiteral("ID Code"));
    lblDate = makeLabel(this, "lblDate", QStringLiteral("Herstellungsdatum (Monat/Jahr)"));
    lblCycle = makeLabel(this, "lblCycle", QStringLiteral("Schreib- und Lesezyklen"));
    lblLEDOff = makeLabel(this, "lblLEDOff", QStringLiteral("Schreib- und Lesezeiten (LED aus)"));
    lblLEDOn = makeLabel(this, "lblLEDOn", QStringLiteral("Schreib- und Lesezeiten (LED an)"));
    lblBattery = makeLabel(this, "lblBattery", QStringLiteral("Batteriekapazität"));
    lblCIdCode = makeValue(this, "lblCIdCode");
    lblCDate = makeValue(this, "lblCDate");
    lblCCycle = makeValue(this, "lblCCycle");
    lblCLEDOff = makeValue(this, "lblCLEDOff");
    lblCLEDOn = makeValue(this, "lblCLEDOn");
    lblCBattery = makeValue(this, "lblCBattery", QStringLiteral("0.0%"));
    const QList<QPair<QLabel*, QLabel*>> rows = {
        {lblIDCode, lblCIdCode}, {lblDate, lblCDate},     {lblCycle, lblCCycle},
        {lblLEDOff, lblCLEDOff}, {lblLEDOn, lblCLEDOn}, {lblBattery, lblCBattery}};
    for (int i = 0; i < rows.size(); ++i) {
        grid->addWidget(rows[i].first, i, 0);
        grid->addWidget(rows[i].second, i, 1);
    }
    picBattery = new QFrame(this);
    picBattery->setObjectName(QStringLiteral("picBattery"));
    picBattery->setFrameShape(QFrame::Box);
    picBattery->setFixedSize(kBarBoxWidth, kBarBoxHeight);
    shpBattery = new QFrame(picBattery);
    shpBattery->setObjectName(QStringLiteral("shpBattery"));
    shpBattery->setAutoFillBackground(true);
    QPalette pal = shpBattery->palette();
    pal.setColor(QPalette::Window, QColor(0, 170, 0));
    shpBattery->setPalette(pal);
    shpBattery->setGeometry(0, 0, 0, kBarBoxHeight);
    grid->addWidget(picBattery, rows.size(), 1);
    top->addLayout(grid);

    lblState = makeLabel(this, "lblState", QString());
    lblState->setProperty("langTag", QStringLiteral("NOLANG"));
    lblState->setWordWrap(true);
    top->addWidget(lblState);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btReload = new QPushButton(QStringLiteral("&Aktualisieren"), this);
    btReload->setObjectName(QStringLiteral("btReload"));
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    buttons->addWidget(btReload);
    buttons->addWidget(btOk);
    top->addLayout(buttons);

    ConnectAction(ctx_, btReload, &QPushButton::clicked, this, &frmSystemWDTagState::Reload);
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
}

void frmSystemWDTagState::ShowTagState(const TagStateDisplay& display)
{
    lblState->setText(display.state);
    if (!display.valid) {
        lblCIdCode->clear();
        lblCDate->clear();
        lblCCycle->clear();
        lblCLEDOff->clear();
        lblCLEDOn->clear();
        lblCBattery->setText(QStringLiteral("0.0 %"));
        shpBattery->resize(0, shpBattery->height());
        return;
    }
    lblCIdCode->setText(display.idCode);
    lblCDate->setText(display.date);
    lblCCycle->setText(display.cycles);
    lblCLEDOff->setText(display.ledOff);
    lblCLEDOn->setText(display.ledOn);
    // A production date in the future or a wrong clock must not give more than a full
    // battery or a bar wider than its box.
    TagStateDisplay shown = display;
    shown.remaining = qBound(0.0, display.remaining, 100.0);
    lblCBattery->setText(shown.remaining == display.remaining
                             ? display.battery
                             : QString::number(shown.remaining, 'f', 1) + QLatin1Char('%'));
    shpBattery->resize(shown.barWidth(picBattery->width()), picBattery->height());
}

void frmSystemWDTagState::Reload()
{
    // Whatever the last exchange left in the label is not this reading's outcome.
    lblState->clear();
    ITagStateProvider* provider = provider_ ? provider_ : currentAs<ITagStateProvider>();
    if (!provider) {
        TagStateDisplay nothing;
        ShowTagState(nothing);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    provider->GetTagState(*this);
    QApplication::restoreOverrideCursor();
}

void frmSystemWDTagState::Load()
{
    Reload();
    SetLanguage();
    fitAndCentre();
}

void frmSystemWDTagState::ShowDialog(AppContext& ctx, QWidget* parent, ITagStateProvider* provider)
{
    frmSystemWDTagState dialog(ctx, parent ? parent : ctx.mainWindow);
    dialog.setProvider(provider);
    dialog.Load();
    dialog.exec();
}

} // namespace orvid
