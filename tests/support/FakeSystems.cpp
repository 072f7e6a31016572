#include "FakeSystems.h"

#include "foundations/AppContext.h"
#include "foundations/MainFrame.h"
#include "link/LK.h"
#include "link/Ports.h"

namespace orvid::test {

QStringList Journal::matching(const QString& prefix) const
{
    QStringList out;
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            out.append(line);
    return out;
}

QStringList Journal::ending(const QString& suffix) const
{
    QStringList out;
    for (const QString& line : lines)
        if (line.endsWith(suffix))
            out.append(line);
    return out;
}

// ---------------------------------------------------------------------------------------

void FakeToolWindow::Show()
{
    log(QStringLiteral("Show"));
    loaded = true;
}

void FakeToolWindow::Unload()
{
    log(QStringLiteral("Unload"));
    loaded = false;
    if (onUnload)
        onUnload();
}

void FakeToolWindow::SetLanguage()
{
    log(QStringLiteral("SetLanguage"));
}

// ---------------------------------------------------------------------------------------

void FakeSystemForm::Show()
{
    log(QStringLiteral("Show"));
    loaded = true;
}

void FakeSystemForm::Unload()
{
    log(QStringLiteral("Unload"));
    loaded = false;
    if (onUnload)
        onUnload();
}

void FakeSystemForm::SetLanguage()
{
    log(QStringLiteral("SetLanguage"));
}

Menues FakeSystemForm::CommandList()
{
    log(QStringLiteral("CommandList"));
    return commands;
}

bool FakeSystemForm::Check()
{
    log(QStringLiteral("Check"));
    if (checkHook)
        return checkHook();
    if (!checkResults.isEmpty())
        return checkResults.takeFirst();
    if (!probeCommand.isEmpty() && ctx_.lk) {
        QByteArray reply;
        bool ok = false;
        ctx_.lk->SendCommand(probeCommand, reply, QVariant(), ok);
        probeReplies.append(reply);
        return ok && reply.startsWith(probeReply);
    }
    return checkResult;
}

QString FakeSystemForm::Poll(const QVariant& a, const QVariant& b)
{
    log(QStringLiteral("Poll(%1,%2)").arg(a.toString(), b.toString()));
    if (pollHook)
        pollHook();
    return pollResult;
}

void FakeSystemForm::CloseLK()
{
    log(QStringLiteral("CloseLK"));
    if (closeHook)
        closeHook();
}

void FakeSystemForm::Init(bool ethernet)
{
    log(ethernet ? QStringLiteral("Init(true)") : QStringLiteral("Init(false)"));
    lastEthernet = ethernet;
    if (ctx_.frame) {
        ctx_.frame->setMenuEnabled(MenuEntry::IO, initEnablesIO);
        ctx_.frame->setMenuEnabled(MenuEntry::State, initEnablesState);
    }
    if (initFraming >= 0 && ctx_.ports) {
        ctx_.ports->SetFramingType(initFraming);
        ctx_.ports->SetLinkProtocol(initProtocol);
    }
}

void FakeSystemForm::PutData(int16_t id, const QVariant& value)
{
    log(QStringLiteral("PutData(%1)").arg(id));
    data.insert(id, value);
}

void FakeSystemForm::GetData(int16_t id, QVariant& value)
{
    log(QStringLiteral("GetData(%1)").arg(id));
    if (data.contains(id))
        value = data.value(id);
}

QByteArray FakeSystemForm::SetLKString(const QByteArray& command, const QByteArray& suffix)
{
    log(QStringLiteral("SetLKString(%1,%2)")
            .arg(QString::fromLatin1(command), QString::fromLatin1(suffix)));
    return telegramPrefix + command + suffix;
}

int16_t FakeSystemForm::GetLKResult(QByteArray&, int16_t length, const QVariant&)
{
    log(QStringLiteral("GetLKResult(%1)").arg(length));
    return resultOverride >= 0 ? resultOverride : length;
}

void FakeSystemForm::StopBuffered()
{
    log(QStringLiteral("StopBuffered"));
}

// ---------------------------------------------------------------------------------------

bool FakeDirectForm::DataAvailable()
{
    log(QStringLiteral("DataAvailable"));
    return dataWaiting;
}

bool FakeDirectForm::DirectModeSupported()
{
    return directMode;
}

int16_t FakeDirectForm::DirectRead(QByteArray& reply, int16_t& count, const QVariant&, bool,
                                   bool noCheck)
{
    log(QStringLiteral("DirectRead(%1,%2)").arg(count).arg(noCheck ? "noCheck" : "check"));
    reply = readReply;
    return static_cast<int16_t>(reply.size());
}

int16_t FakeDirectForm::ReadData(const QByteArray& command, QByteArray& reply, bool logFlag,
                                 bool& ok)
{
    log(QStringLiteral("ReadData(%1)").arg(QString::fromLatin1(command)));
    readCommands.append(command);
    readLogFlags.append(logFlag);
    reply = readReply;
    ok = !reply.isEmpty();
    return static_cast<int16_t>(reply.size());
}

int16_t FakeDirectForm::WriteData(const QByteArray& command, const QByteArray& suffix, bool)
{
    log(QStringLiteral("WriteData(%1,%2)")
            .arg(QString::fromLatin1(command), QString::fromLatin1(suffix)));
    return writeResult;
}

// ---------------------------------------------------------------------------------------

void FakeProgressBox::ShowForm(int steps)
{
    journal_.add(QStringLiteral("frmState.ShowForm(%1)").arg(steps));
    shown = true;
    position = 0;
}

void FakeProgressBox::SetStatus(const QString& text)
{
    journal_.add(QStringLiteral("frmState.SetStatus(%1)").arg(text));
    statuses.append(text);
}

bool FakeProgressBox::IncBar(int steps)
{
    journal_.add(QStringLiteral("frmState.IncBar(%1)").arg(steps));
    position += steps;
    return incBarResults.isEmpty() ? true : incBarResults.takeFirst();
}

void FakeProgressBox::Unload()
{
    journal_.add(QStringLiteral("frmState.Unload"));
    shown = false;
}

// ---------------------------------------------------------------------------------------

void FakeCommandWindow::Show()
{
    journal_.add(QStringLiteral("frmCommand.Show"));
    loaded = true;
}

void FakeCommandWindow::Unload()
{
    journal_.add(QStringLiteral("frmCommand.Unload"));
    loaded = false;
}

void FakeCommandWindow::SetLanguage()
{
    journal_.add(QStringLiteral("frmCommand.SetLanguage"));
}

void FakeCommandWindow::Poll()
{
    journal_.add(QStringLiteral("frmCommand.Poll"));
    if (pollHook)
        pollHook();
}

void FakeCommandWindow::SetBuffered(bool on)
{
    journal_.add(on ? QStringLiteral("frmCommand.SetBuffered(true)")
                    : QStringLiteral("frmCommand.SetBuffered(false)"));
    buffered = on;
}

void FakeCommandWindow::RefreshForm()
{
    journal_.add(QStringLiteral("frmCommand.RefreshForm"));
}

} // namespace orvid::test
