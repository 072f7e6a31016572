#include "frmSystemWKLX9000IO.h"

#include "families/common/Exchange.h"
#include "link/LK.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {

QList<QPushButton*> buttonArray(QGroupBox* frame, QBoxLayout* layout, const char* name, const QStringList& texts)
{
    QList<QPushButton*> buttons;
    for (int i = 0; i < texts.size(); ++i) {
        auto* b = new QPushButton(texts[i], frame);
        b->setObjectName(QString::fromLatin1(name));
        b->setProperty("ctrlIndex", i);
        layout->addWidget(b);
        buttons.append(b);
    }
    return buttons;
}

QLabel* stateLabel(QGroupBox* frame, QBoxLayout* layout, const char* name)
{
    auto* l = new QLabel(QStringLiteral("OFF"), frame);
    l->setObjectName(QString::fromLatin1(name));
    l->setProperty("langTag", QStringLiteral("NOLANG"));
    l->setMinimumWidth(60);
    layout->addWidget(l);
    return l;
}

} // namespace

frmSystemWKLX9000IO::frmSystemWKLX9000IO(AppContext& ctx, QWidget* parent)
    : SmallWindow(ctx, "frmSystemWKLX9000IO", QStringLiteral("Ausgänge"), MenuEntry::IO, parent)
{
    auto* top = new QVBoxLayout(this);
    const auto frame = [this, top](const char* name, const QString& title) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(QString::fromLatin1(name));
        top->addWidget(box);
        return box;
    };
    auto* fb = frame("frameBuzzer", QStringLiteral("Buzzer"));
    auto* lb = new QHBoxLayout(fb);
    btBuzzer = buttonArray(fb, lb, "btBuzzer", {QStringLiteral("&Aus"), QStringLiteral("&Ein"), QStringLiteral("&Beep")});
    lblBuzzer = stateLabel(fb, lb, "lblBuzzer");
    auto* fl = frame("frameIndicator", QStringLiteral("Anzeige LED"));
    auto* ll = new QHBoxLayout(fl);
    btIndicatorLED = buttonArray(fl, ll, "btIndicatorLED",
                                 {QStringLiteral("&Aus"), QStringLiteral("&Rot"), QStringLiteral("&Grün"),
                                  QStringLiteral("&Gelb")});
    lblLED = stateLabel(fl, ll, "lblLED");
    auto* fr = frame("frameRelay", QStringLiteral("Relay"));
    auto* lr = new QHBoxLayout(fr);
    btRelay = buttonArray(fr, lr, "btRelay", {QStringLiteral("&Aus"), QStringLiteral("&Ein")});
    lblRelay = stateLabel(fr, lr, "lblRelay");
    btSet = new QPushButton(QStringLiteral("A&ktualisieren"), this);
    btSet->setObjectName(QStringLiteral("btSet"));
    top->addWidget(btSet, 0, Qt::AlignRight);
    top->setSizeConstraint(QLayout::SetFixedSize);

    timBuzzer.setSingleShot(true);
    timBuzzer.setInterval(kBeepMs);
    connect(&timBuzzer, &QTimer::timeout, this, [this] { buzzerTick(); });
    for (int i = 0; i < btBuzzer.size(); ++i)
        ConnectAction(ctx_, btBuzzer[i], &QPushButton::clicked, this, [this, i] { buzzerClick(i); });
    static const char* const kLed[] = {"OFF", "RED", "GREEN", "YELLOW"};
    for (int i = 0; i < btIndicatorLED.size(); ++i)
        ConnectAction(ctx_, btIndicatorLED[i], &QPushButton::clicked, this,
                      [this, i] { setOutput(led_, lblLED, QString::fromLatin1(kLed[i])); });
    for (int i = 0; i < btRelay.size(); ++i)
        ConnectAction(ctx_, btRelay[i], &QPushButton::clicked, this,
                      [this, i] { setOutput(relay_, lblRelay, i == 0 ? QStringLiteral("OFF") : QStringLiteral("ON")); });
    ConnectAction(ctx_, btSet, &QPushButton::clicked, this, [this] { btSet_Click(); });
}

IKLXParameterTarget* frmSystemWKLX9000IO::target() const
{
    if (target_)
        return target_;
    return ctx_.lk ? dynamic_cast<IKLXParameterTarget*>(ctx_.lk->CurrentWindow()) : nullptr;
}

void frmSystemWKLX9000IO::refresh(IKLXParameterTarget& t, clsParameter& parameter, QLabel* label)
{
    t.ReadCmd(parameter, false);
    label->setText(parameter.value().toUpper());
}

void frmSystemWKLX9000IO::apply(IKLXParameterTarget& t, clsParameter& parameter, QLabel* label, const QString& value)
{
    // The label shows what the reader reported: the state read back, else the value it
    // took. A value it refused, or never got, is not shown as its state.
    const QString before = parameter.value();
    parameter.setValue(value);
    t.WriteCmd(parameter);
    if (!t.LastExchangeOk())
        parameter.setValue(before);
    refresh(t, parameter, label);
}

bool frmSystemWKLX9000IO::setOutput(clsParameter& parameter, QLabel* label, const QString& value)
{
    IKLXParameterTarget* t = target();
    if (!t)
        return false;
    ExchangeScope scope(t->ParameterExchanges());
    if (!scope)
        return false;
    apply(*t, parameter, label, value);
    return true;
}

void frmSystemWKLX9000IO::buzzerClick(int index)
{
    if (!setOutput(buzzer_, lblBuzzer, index == 0 ? QStringLiteral("OFF") : QStringLiteral("ON")) || index != 2)
        return;
    timBuzzer.start();
    // The reader left before the tick: its close-down switches the buzzer off while the
    // connection is still the reader's.
    if (IKLXParameterTarget* t = target())
        t->SetClosingStep(this, [this, t] {
            timBuzzer.stop();
            buzzerOff(*t);
        });
}

void frmSystemWKLX9000IO::buzzerOff(IKLXParameterTarget& t)
{
    t.SetClosingStep(this, {});
    apply(t, buzzer_, lblBuzzer, QStringLiteral("OFF"));
}

void frmSystemWKLX9000IO::buzzerTick()
{
    IKLXParameterTarget* t = target();
    if (!t)
        return;
    // A tick inside another exchange's wait must not start one of its own there: it comes
    // again shortly, so the buzzer still goes off.
    ExchangeScope scope(t->ParameterExchanges(), ExchangeScope::Polling::SuspendAndRestore, false);
    if (!scope) {
        QTimer::singleShot(kBeepRetryMs, this, [this] { buzzerTick(); });
        return;
    }
    buzzerOff(*t);
}

void frmSystemWKLX9000IO::btSet_Click()
{
    IKLXParameterTarget* t = target();
    if (!t)
        return;
    ExchangeScope scope(t->ParameterExchanges());
    if (!scope)
        return;
    refresh(*t, buzzer_, lblBuzzer);
    refresh(*t, led_, lblLED);
    refresh(*t, relay_, lblRelay);
}

void frmSystemWKLX9000IO::loading()
{
    lblBuzzer->setText(QStringLiteral("OFF"));
    lblLED->setText(QStringLiteral("OFF"));
    lblRelay->setText(QStringLiteral("OFF"));
    buzzer_.Init(QStringLiteral("BUZZER"), QStringLiteral("OFF"));
    led_.Init(QStringLiteral("LED"), QStringLiteral("OFF"));
    relay_.Init(QStringLiteral("RELAY"), QStringLiteral("OFF"));
    whenLinkFree([this] { btSet_Click(); });
}

void frmSystemWKLX9000IO::closing()
{
    // A Beep whose end is still due: the buzzer must not stay on with its window gone.
    if (timBuzzer.isActive()) {
        timBuzzer.stop();
        buzzerTick();
    }
}

} // namespace orvid
