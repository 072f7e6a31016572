#pragma once
// The KLX9000 family against its simulator on a loopback TcpHarness: the device link with
// a short network time-out, the family registered, its window built and pointed at the
// simulator's port.

#include "families/wklx/RegisterKLX.h"
#include "families/wklx/frmSystemWKLX9000.h"
#include "families/wklx/frmSystemWKLX9000IO.h"
#include "link/DeviceWait.h"
#include "link/LK.h"
#include "link/Network.h"
#include "sim/SimKLX.h"
#include "support/FakeShell.h"
#include "support/TestContext.h"
#include "support/WhenModal.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace orvid::test {

inline bool waitFor(const std::function<bool()>& done, int ms = 3000)
{
    return QTest::qWaitFor(done, ms);
}

class KLXFixture : public ::testing::Test {
protected:
    static constexpr int kTimeoutMs = 300;

    KLXFixture()
    {
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        net = std::make_unique<Network>(tc.ctx);
        tc.ctx.network = net.get();
        net->LoadNetworkSettings();
        net->SetNetAddress(QStringLiteral("127.0.0.1"));
        net->SetNetTimeout(kTimeoutMs);
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        RegisterSystemKLX(tc.ctx);
        window = static_cast<frmSystemWKLX9000*>(lk->entry(9).main());
        window->klx().Port = sim.port();
    }
    ~KLXFixture() override
    {
        lk.reset();
        net.reset();
    }

    bool select()
    {
        bool askRetry = false;
        return lk->SelectSystem(9, askRetry);
    }
    // Selected and shown, the simulator's transcript cleared.
    void ready()
    {
        ASSERT_TRUE(select());
        window->Show();
        sim.waitIdle();
        sim.clearTranscript();
    }
    QList<QByteArray> lines() const { return window->ListLines(); }
    QByteArray last() const { return lines().isEmpty() ? QByteArray() : lines().last(); }
    QList<QByteArray> sent() const { return sim.transcript().split('\n'); }

    SimKLX sim;
    TestContext tc;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    std::unique_ptr<Network> net;
    std::unique_ptr<LK> lk;
    frmSystemWKLX9000* window = nullptr;
};

// The readers the family is tried against: the simulator's own lines, lines ended by CR
// LF, and a field of the reader's own behind each report's data. A fixture run against each
// (TEST_P) is instantiated by KLX_FOR_EACH_READER.
template <class Fixture>
class EachReader : public Fixture, public ::testing::WithParamInterface<std::string> {
protected:
    EachReader() { this->sim.setLines(GetParam() == "CrLf" ? "\r\n" : "\n", GetParam() == "OwnField" ? "XYZ" : ""); }
};
#define KLX_FOR_EACH_READER(suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(Readers, suite, ::testing::Values("Plain", "CrLf", "OwnField"), \
                             [](const auto& info) { return info.param; })

} // namespace orvid::test
