#include "LinkWatch.h"

#include "foundations/AppContext.h"
#include "link/Network.h"
#include "link/Ports.h"

#include <QTcpSocket>

namespace orvid {

LinkWatch::LinkWatch(AppContext& ctx, Transport transport, std::function<void()> lost)
    : ctx_(ctx), transport_(transport), lost_(std::move(lost))
{
}

void LinkWatch::Watch()
{
    if (watching_)
        return;
    const auto report = [this] {
        if (lost_)
            lost_();
    };
    if (transport_ == Transport::Serial && ctx_.ports) {
        watching_ = true;
        connect(ctx_.ports, &Ports::portFailed, this, report);
    } else if (transport_ == Transport::Network && ctx_.network && ctx_.network->socket()) {
        watching_ = true;
        // A peer that hangs up ends the connection; a network error may leave the socket
        // open while the link counts the connection as lost (message 8).
        QTcpSocket* socket = ctx_.network->socket();
        connect(socket, &QTcpSocket::disconnected, this, report);
        connect(socket, &QTcpSocket::errorOccurred, this, [this, report] {
            if (!Up())
                report();
        });
    }
}

bool LinkWatch::Up() const
{
    if (transport_ == Transport::Serial)
        return !ctx_.ports || ctx_.ports->PortOpenFlag();
    return !ctx_.network || ctx_.network->NetIsConnected();
}

} // namespace orvid
