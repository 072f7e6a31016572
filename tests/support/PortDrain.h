#pragma once
// A wait for "nothing more is on its way": writes a line no simulated unit answers behind
// whatever the program has sent through the port so far, and waits until the simulator
// has taken it as a telegram of its own. The pseudo-terminal keeps the order and the
// simulator handles one telegram after the other, so every telegram the program sent
// before the call has then been handled, and the test can assert what did not come.

#include "support/PtyHarness.h"
#include "link/CommPort.h"

#include <QTest>

namespace orvid::test {

inline bool Drained(PtyHarness& sim, CommPort& port, int timeoutMs = 5000)
{
    static int serial = 0;
    const QByteArray marker = "#drained " + QByteArray::number(++serial) + "\r";
    if (!port.output(marker))
        return false;
    return QTest::qWaitFor([&] { return sim.telegrams().contains(marker); }, timeoutMs);
}

} // namespace orvid::test
