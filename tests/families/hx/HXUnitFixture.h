#pragma once
// The interface unit with the real link on a pseudo-terminal (entry 1) or loopback TCP
// (entry 10) and the simulated unit on the far side, for the tests of the code writers
// and the head parameters.

#include "sim/SimHX.h"
#include "support/FamilyFixture.h"
#include "support/ProtocolForm.h"

#include "families/common/DataItems.h"
#include "families/hx/HXProtocol.h"
#include "link/LK.h"
#include "link/Network.h"

#include <QTest>
#include <gtest/gtest.h>

namespace orvid::test::hxfixture {

class FakeView : public IHXView {
public:
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) override
    {
        (kind == 1 ? lines : shown).append(caption + data);
    }
    bool Loaded() const override { return false; }
    void SetBusy(bool) override {}
    bool PasswordChecked() const override { return passwordChecked; }
    QString PasswordText() const override { return passwordText; }
    int TriggerSource(int sensor) const override { return source[sensor]; }
    int TriggerMode(int sensor) const override { return mode[sensor]; }
    void UnitRecognised() override { ++recognised; }

    QList<QByteArray> lines, shown;
    bool passwordChecked = false;
    QString passwordText;
    int source[4] = {2, 1, 1, 1};
    int mode[4] = {0, 0, 0, 0};
    int recognised = 0;
};

class HXForm : public ProtocolForm, public ILkDirectAccess {
public:
    explicit HXForm(HXProtocol& p) : ProtocolForm(p, QStringLiteral("frmSystemHX")), hx(p) {}
    bool DataAvailable() override { return hx.DataAvailable(); }
    bool DirectModeSupported() override { return true; }
    int16_t DirectRead(QByteArray& r, int16_t& c, const QVariant& o, bool log, bool noCheck) override
    {
        return hx.DirectRead(r, c, o, log, noCheck);
    }
    int16_t ReadData(const QByteArray& c, QByteArray& r, bool log, bool& ok) override { return hx.ReadData(c, r, log, ok); }
    int16_t WriteData(const QByteArray& c, const QByteArray& s, bool log) override { return hx.WriteData(c, s, log); }
    HXProtocol& hx;
};

inline QByteArray T(const QByteArray& body)
{
    return body + "#\r";
}

inline QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>('a' + i % 26);
    return b;
}

class HXE2E : public PtyFamilyFixture<SimHX> {
protected:
    HXE2E()
    {
        for (int ch = 1; ch <= 4; ++ch)
            sim.withTag(ch, [](SimHX::Tag& t) { t.memory.replace(0, 256, pattern(256)); });
        sim.withTag(3, [](SimHX::Tag& t) { t.rc = QByteArray("\x00\x05", 2); });
        hx.SetHeadFile(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
        hx.chooseProfile = [this](int channel, const hx::HXHeadType& head) {
            chooserCalls.append(QString::number(channel) + QLatin1Char(':') + head.name);
            return chooserAnswer;
        };
        lk->RegisterSystem(1, [this] { return &form; });
        lk->RegisterSystem(10, [this] { return &form; });
        tc.state.ReadHeadError = true;
    }
    ~HXE2E() override { lk.reset(); }

    void selectUnit()
    {
        ASSERT_TRUE(sim.isValid());
        ASSERT_TRUE(select(1));
        sim.clearTranscript();
        view.lines.clear();
    }
    QByteArray item(int16_t id)
    {
        QVariant v;
        lk->LkGetData(id, v);
        return v.toByteArray();
    }
    int sent(const QByteArray& prefix) const
    {
        int n = 0;
        for (const QByteArray& t : sim.received())
            n += t.startsWith(prefix) ? 1 : 0;
        return n;
    }

    FakeView view;
    HXProtocol hx{tc.ctx, &view};
    HXForm form{hx};
    QStringList chooserCalls;
    int chooserAnswer = 0;
};

class HXNet : public HXE2E {
protected:
    HXNet()
    {
        net = std::make_unique<Network>(tc.ctx);
        tc.ctx.network = net.get();
        net->SetNetAddress(QStringLiteral("127.0.0.1"));
        net->SetNetTimeout(1500);
        port = sim.startNet();
        hx.unitPort = port;
        hx.pageUrl = QStringLiteral("http://127.0.0.1:%1/").arg(sim.pagePort());
    }
    ~HXNet() override
    {
        lk.reset();
        tc.ctx.network = nullptr;
    }
    std::unique_ptr<Network> net;
    quint16 port = 0;
};

} // namespace orvid::test::hxfixture
