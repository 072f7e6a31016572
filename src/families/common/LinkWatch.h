#pragma once
// The link to a family's device going away under a progress that waits for the device:
// the serial port failed and was closed (unplugged, hung up: Ports::portFailed), or the
// TCP connection ended (the peer hung up, a network error, or the program closed it).
//
// A write whose outcome the family learns later - by counting poll ticks without an error
// reply, by asking for a status on every tick, or by waiting for the device's event - would
// take the silence of a device that is gone for success, or wait for ever. Such a family
// holds a watch and ends the progress as a failure as soon as the watch reports the loss.

#include <QObject>
#include <functional>

namespace orvid {

struct AppContext;

class LinkWatch : public QObject {
    Q_OBJECT
public:
    enum class Transport { Serial, Network };

    // lost: run on every loss of the link once Watch() was called (it may run inside a
    // wait for the device: the caller's progress is ended there, not counted on).
    LinkWatch(AppContext& ctx, Transport transport, std::function<void()> lost);

    // Starts watching (once; later calls do nothing). Called when a progress begins, so
    // the transport is the one the context holds by then.
    void Watch();
    // The link can carry telegrams now: the port is open, the connection is up. A context
    // without the transport (a test's own link) has nothing to watch and counts as up.
    bool Up() const;

private:
    AppContext& ctx_;
    const Transport transport_;
    std::function<void()> lost_;
    bool watching_ = false;
};

} // namespace orvid
