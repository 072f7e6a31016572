#pragma once
// The fixture of a device family on a pseudo-terminal: a simulator of type Sim (SimKR,
// SimWD ...) on the master side, the program's serial port opened on the slave side, and
// the device link over it, with a recording main frame and monitor. The test registers
// the family's windows (RegisterFamilies, or a ProtocolForm for a telegram layer alone)
// and selects a system.
//
//   class KRWindowSim : public PtyFamilyFixture<SimKR> { ... };
//
// Prepare the simulator before start() (setUp hooks in the derived constructor run after
// it: the simulator is already answering).

#include "FakeShell.h"
#include "TestContext.h"
#include "link/LK.h"
#include "link/Ports.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvid::test {

template <class Sim>
class PtyFamilyFixture : public ::testing::Test {
protected:
    // detectTimeout: the recognition's time-out in ms (0: the program's default).
    explicit PtyFamilyFixture(int detectTimeout = 0)
    {
        sim.start();
        tc.settings->write(QStringLiteral("Port"), QStringLiteral("Port"), sim.slavePath());
        if (detectTimeout > 0)
            tc.settings->write(QStringLiteral("Settings"), QStringLiteral("DetectTimeout"),
                               QString::number(detectTimeout));
        tc.ctx.frame = &frame;
        tc.ctx.monitor = &monitor;
        ports = std::make_unique<Ports>(tc.ctx);
        tc.ctx.ports = ports.get();
        ports->InitPort();
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
    }
    ~PtyFamilyFixture() override
    {
        lk.reset();
        ports.reset();
    }

    // Selects the entry (as the system menu does); false when the device was not found.
    bool select(int16_t system)
    {
        bool askRetry = false;
        return lk->SelectSystem(system, askRetry);
    }
    Sim sim;
    TestContext tc;
    FakeMainFrame frame;
    RecordingMonitor monitor;
    std::unique_ptr<Ports> ports;
    std::unique_ptr<LK> lk;
};

} // namespace orvid::test
