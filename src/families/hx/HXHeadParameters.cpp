// The VNB (ultra-high-frequency) head parameters over the interface unit: one parameter
// read (RP) or written (WP), the line of a failed one, and the parameter action behind a
// head's parameter button (country profile, read all, the dialog, write the changed).

#include "HXProtocol.h"

#include "link/Ports.h"

namespace orvid {

using hx::HXCommand;

QByteArray HXProtocol::parameterData(const QByteArray& name, const QByteArray* value) const
{
    // [00 on Ethernet] "U", the name, the value's length (high byte first), the value.
    QByteArray data = EthernetMode ? QByteArray(1, '\0') : QByteArray();
    const qsizetype n = value ? value->size() : 0;
    data += "U" + name;
    data.append(static_cast<char>((n >> 8) & 0xFF)).append(static_cast<char>(n & 0xFF));
    return value ? data + *value : data;
}

int16_t HXProtocol::ReadCmd(clsParameter& p, bool asDefault, const QByteArray& channelIn, bool* replied)
{
    QByteArray channel = channelIn.isEmpty() ? Channel.toLatin1() : channelIn, reply;
    bool ok = false;
    const int16_t r = HXRead(HXCommand::RP, channel, parameterData(p.Name().toLatin1()), reply, false, ok);
    if (replied)
        *replied = ok && r >= 0;
    // The head's value as it came, also when empty (no transmit channels): a value this
    // program made up would be shown as read and written back.
    if (r >= 0 && ok) {
        if (asDefault)
            p.DefaultValue(QString::fromLatin1(reply));
        else
            p.setValue(QString::fromLatin1(reply));
    }
    return r;
}

int16_t HXProtocol::writeParameter(const QByteArray& channelIn, const QString& name, const QByteArray& value)
{
    // The head stores parameters slowly, and a factory reset takes longer still.
    SerialTimeout timeout(*this, name == QLatin1String("RD") ? 15000 : 5000);
    QByteArray channel = channelIn, reply;
    bool ok = false;
    const int16_t r = HXRead(HXCommand::WP, channel, parameterData(name.toLatin1(), &value), reply, false, ok);
    return (r == 0 && ok) ? 1 : r;
}

int16_t HXProtocol::WriteCmd(clsParameter& p)
{
    return writeParameter(Channel.toLatin1(), p.Name(), hx::ValueBytes(p));
}

QString HXProtocol::ParameterError(const QString& name, int16_t result) const
{
    const QString code = QString::number(-result, 16).toUpper();
    QString text = Translate(QStringLiteral("ERROR_QTB_") + code, QString());
    if (text.isEmpty())
        text = hx::BuiltInStatusText(code.toLatin1());
    if (text.isEmpty() || result == 0)
        text = Translate(QStringLiteral("ERROR_QTB"), QStringLiteral("Unbekannter Fehler."));
    return Translate(QStringLiteral("ErrorStr"), QStringLiteral("STATUS:")) + QLatin1Char(' ')
           + Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ') + Channel + QStringLiteral(": ")
           + name + QStringLiteral(": ") + code + QStringLiteral(" - ") + text;
}

bool HXProtocol::chooseCountryProfile(int channel, const hx::HXHeadType& head)
{
    const int position = chooseProfile ? chooseProfile(channel, head) : 0;
    if (position <= 0 || position > head.profiles->size())
        return false;
    const QString current = Channel;
    Channel = QString::number(channel);   // the line of a failed write names this head
    const int16_t w = writeParameter(Channel.toLatin1(), QStringLiteral("RC"), hx::WordBytes(head.profiles->at(position - 1).id));
    if (w < 1)
        ShowLine(ParameterError(QStringLiteral("RC"), w));
    Channel = current;
    return true;
}

void HXProtocol::EditParameters(int channelNumber)
{
    if (channelNumber < 1 || channelNumber > 4)
        return;
    const hx::HXHeadType* head = headFile_.HeadType(HeadTypeName[channelNumber - 1]);
    if (!head)
        return;
    Channel = QString::number(channelNumber);
    const bool withProfile = head->profiles && !head->profiles->isEmpty();
    hx::ParameterList params = hx::NewParameters(withProfile);
    if (withProfile) {
        clsParameter rc;
        rc.Init(QStringLiteral("RC"), QString());
        bool replied = false;
        const int16_t r = ReadCmd(rc, true, QByteArray(), &replied);
        const QByteArray id = hx::ValueBytes(rc);
        // Closing the chooser without a choice ends the action.
        if (r >= 0 && replied && id == QByteArray(2, '\0') && !chooseCountryProfile(channelNumber, *head))
            return;
    }
    QString failed;
    const int16_t r = hx::ReadAllParameters(*this, params, &failed);
    if (r < 0) {
        // The head refused a read: the action ends, but says why.
        ShowLine(ParameterError(failed, r));
        return;
    }
    if (!parameterDialog || !parameterDialog(*head, params))
        return;
    SetBusy(true);
    for (clsParameter& p : params) {
        if (!p.Changed() || !p.Available())
            continue;
        const int16_t w = WriteCmd(p);
        if (w < 1)
            ShowLine(ParameterError(p.Name(), w));
    }
    SetBusy(false);
}

} // namespace orvid
