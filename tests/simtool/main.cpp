// orvid-sim: one of the test device simulators on a pseudo-terminal, for trying the
// program by hand without a device.
//
//   orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX]   a system R head
//   orvid-sim wd                            a microwave system D unit
//   orvid-sim hx [--net]                    an interface unit (with --net also on
//                                           127.0.0.1 port 10000 and its page on port 80)
//   orvid-sim l                             a microwave system L reader (text protocol)
//
// Options: --link PATH (symlink to the terminal, default /tmp/orvid-sim-<family>),
// --no-tag (start with an empty field), --tag-type N (system R: the tag's type code,
// default 3), --log (print every telegram received).
// While it runs, lines on standard input change the field: "tag on", "tag off", and for
// system R "type N", for system L "in N on|off" (inputs 1 to 3). Runs until Ctrl-C or
// SIGTERM.

#include "sim/SimHX.h"
#include "sim/SimKR.h"
#include "sim/SimL.h"
#include "sim/SimWD.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvid::test;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

int usage()
{
    std::fprintf(stderr,
                 "usage: orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX] [--link PATH] [--no-tag]\n"
                 "                    [--tag-type N] [--log]\n"
                 "       orvid-sim wd [--link PATH] [--no-tag] [--log]\n"
                 "       orvid-sim hx [--net] [--link PATH] [--no-tag] [--log]\n"
                 "       orvid-sim l [--link PATH] [--no-tag] [--log]\n");
    return 2;
}

// Printable form of a telegram: control characters and bytes above 0x7E as <hex>.
QByteArray printable(const QByteArray& bytes)
{
    QByteArray out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F)
            out += c;
        else
            out += '<' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper() + '>';
    }
    return out;
}

std::unique_ptr<PtyHarness> makeKR(const QByteArray& variant, bool tag, int type)
{
    auto sim = std::make_unique<SimKR>(variant);
    // The head refuses accesses whose tag type differs from the tag's, so the type decides
    // what can be tried: 3 (QTX03) reads, writes and configuration words, 11 (QTX11) the
    // fixcode write as well.
    sim->setTagType(type);
    sim->writeMemory(0, "ORVID sample tag data 0123456789");
    sim->writeMemory(32, QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    sim->setFixcode("FIX01");
    sim->setTagPresent(tag);
    sim->start();
    return sim;
}

std::unique_ptr<PtyHarness> makeWD(bool tag)
{
    auto sim = std::make_unique<SimWD>();
    const int a = sim->addTag(0x12345678, tag);
    sim->writeMemory(a, 0, "ORVID sample tag A");
    sim->setStateBlock(a, 5, 24, 1234, 3723004, 1500);
    const int b = sim->addTag(0x9ABCDEF0, tag);
    sim->writeMemory(b, 0, "ORVID sample tag B");
    sim->setStateBlock(b, 11, 25, 42, 60000, 250);
    return sim;
}

std::unique_ptr<PtyHarness> makeHX(bool tag)
{
    auto sim = std::make_unique<SimHX>();
    // Heads IND-A, MW-A and UHF-A as the shipped ORVIDHX.INI names them; channel 4 empty.
    for (int ch = 1; ch <= 3; ++ch)
        sim->withTag(ch, [&](SimHX::Tag& t) {
            t.memory.replace(0, 32, "ORVID sample tag data 0123456789");
            t.present = tag;
        });
    // Channel 2 holds a WTX60 tag with its state record.
    sim->withTag(2, [](SimHX::Tag& t) {
        t.type = 60;
        t.fixcode = "W60AB";
        t.memory.replace(0x2011 * 4, 14, QByteArray("\x05\x24\xD2\x04\0\0\xFC\xCE\x38\0\xDC\x05\0\0", 14));
    });
    sim->start();
    return sim;
}

std::unique_ptr<PtyHarness> makeL(bool tag)
{
    auto sim = std::make_unique<SimL>();
    sim->writeMemory(0, "ORVID sample tag data 0123456789");
    sim->writeMemory(32, QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    sim->setInputs(true, false, true);
    sim->setTagPresent(tag);
    sim->start();
    return sim;
}

// The unit on TCP: request frames on port 10000, the web page on port 80.
bool serveNet(SimHX& sim, QObject* owner)
{
    auto* frames = new QTcpServer(owner);
    auto* page = new QTcpServer(owner);
    bool ok = true;
    if (!frames->listen(QHostAddress::LocalHost, 10000)) {
        std::fprintf(stderr, "orvid-sim: cannot listen on 127.0.0.1:10000 (%s)\n", qPrintable(frames->errorString()));
        ok = false;
    }
    if (!page->listen(QHostAddress::LocalHost, 80)) {
        std::fprintf(stderr,
                     "orvid-sim: cannot serve the page on 127.0.0.1:80 (%s); port 80 needs root or a lower "
                     "net.ipv4.ip_unprivileged_port_start\n",
                     qPrintable(page->errorString()));
        ok = false;
    }
    QObject::connect(frames, &QTcpServer::newConnection, owner, [frames, &sim] {
        while (QTcpSocket* s = frames->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(s, &QTcpSocket::readyRead, s, [s, buffer, &sim] {
                *buffer += s->readAll();
                while (buffer->size() >= 4) {
                    const int n = std::max(4, static_cast<uchar>(buffer->at(0)) << 8 | static_cast<uchar>(buffer->at(1)));
                    if (buffer->size() < n)
                        break;
                    s->write(sim.netReply(buffer->left(n)));
                    buffer->remove(0, n);
                }
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    QObject::connect(page, &QTcpServer::newConnection, owner, [page, &sim] {
        while (QTcpSocket* s = page->nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [s, &sim] {
                if (!s->readAll().contains("\r\n\r\n"))
                    return;
                const QByteArray body = sim.webPage();
                s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size())
                         + "\r\n\r\n" + body);
                s->disconnectFromHost();
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString family = args.takeFirst();
    if (family != QLatin1String("kr") && family != QLatin1String("wd") && family != QLatin1String("hx")
        && family != QLatin1String("l"))
        return usage();
    bool net = false;

    QString link = QStringLiteral("/tmp/orvid-sim-") + family;
    QByteArray variant = "QTR-AX";
    bool tag = true;
    bool log = false;
    int type = 3;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--link") && !args.isEmpty())
            link = args.takeFirst();
        else if (a == QLatin1String("--no-tag"))
            tag = false;
        else if (a == QLatin1String("--tag-type") && !args.isEmpty()
                 && family == QLatin1String("kr"))
            type = args.takeFirst().toInt();
        else if (a == QLatin1String("--log"))
            log = true;
        else if (a == QLatin1String("--net") && family == QLatin1String("hx"))
            net = true;
        else if (family == QLatin1String("kr") && !a.startsWith(QLatin1String("--")))
            variant = a.toLatin1();
        else
            return usage();
    }
    if (family == QLatin1String("kr") && variant != "QTR-AX" && variant != "QTB-A3"
        && variant != "QTR1-AX")
        return usage();

    // Signals end the event loop through a socket pair, so shutdown runs on the main thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::unique_ptr<PtyHarness> sim = family == QLatin1String("kr") ? makeKR(variant, tag, type)
                                      : family == QLatin1String("hx") ? makeHX(tag)
                                      : family == QLatin1String("l") ? makeL(tag)
                                                                      : makeWD(tag);
    if (!sim->isValid()) {
        std::fprintf(stderr, "orvid-sim: no pseudo-terminal available\n");
        return 1;
    }

    // Replace only a symlink (a stale one from an earlier run); never delete anything else.
    if (QFileInfo(link).isSymLink())
        QFile::remove(link);
    if (!QFile::link(sim->slavePath(), link)) {
        std::fprintf(stderr, "orvid-sim: cannot create %s (it exists and is not a symlink?)\n",
                     qPrintable(link));
        return 1;
    }
    std::printf("%s\n", qPrintable(link));
    const QByteArray what = family == QLatin1String("kr")
        ? "system R " + variant + ", tag type " + QByteArray::number(type)
        : family == QLatin1String("hx") ? QByteArray("interface unit HX-LM4, heads IND-A, MW-A, UHF-A")
        : family == QLatin1String("l")  ? QByteArray("system L (text protocol), inputs 1 and 3 on")
                                        : QByteArray("system D, tags 12345678 and 9ABCDEF0");
    auto* hx = dynamic_cast<SimHX*>(sim.get());
    if (hx && net) {
        if (serveNet(*hx, &app))
            std::printf("orvid-sim: entry 10 on 127.0.0.1 (port 10000, page on port 80)\n");
    }
    std::printf("orvid-sim %s on %s, %s in the field; Ctrl-C ends\n", what.constData(),
                qPrintable(sim->slavePath()),
                !tag ? "nothing" : family == QLatin1String("wd") ? "tags" : "tag");
    std::fflush(stdout);

    auto* kr = dynamic_cast<SimKR*>(sim.get());
    auto* wd = dynamic_cast<SimWD*>(sim.get());
    auto* l = dynamic_cast<SimL*>(sim.get());
    std::array<bool, 3> inputs{true, false, true};

    // Commands on standard input move the tag in and out of the field, as a hand would.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input.setEnabled(false);   // end of input: keep running until a signal
            return;
        }
        for (const QByteArray& line : QByteArray(buffer, n).split('\n')) {
            const QByteArray text = line.simplified();
            if (text.isEmpty())
                continue;
            const QList<QByteArray> words = text.split(' ');
            if (words.size() == 2 && words[0] == "tag" && (words[1] == "on" || words[1] == "off")) {
                const bool on = words[1] == "on";
                if (kr)
                    kr->setTagPresent(on);
                else if (hx)
                    for (int ch = 1; ch <= 3; ++ch)
                        hx->withTag(ch, [on](SimHX::Tag& t) { t.present = on; });
                else if (l)
                    l->setTagPresent(on);
                else
                    for (int i = 0; i < 2; ++i)
                        wd->setTagPresent(i, on);
                std::printf("tag %s\n", on ? "in the field" : "gone");
            } else if (kr && words.size() == 2 && words[0] == "type") {
                kr->setTagType(words[1].toInt());
                std::printf("tag type %d\n", words[1].toInt());
            } else if (l && words.size() == 3 && words[0] == "in" && words[1].toInt() >= 1
                       && words[1].toInt() <= 3 && (words[2] == "on" || words[2] == "off")) {
                inputs[words[1].toInt() - 1] = words[2] == "on";
                l->setInputs(inputs[0], inputs[1], inputs[2]);
                std::printf("input %d %s\n", words[1].toInt(), words[2].constData());
            } else {
                std::printf("commands: tag on, tag off%s\n", kr ? ", type N" : l ? ", in N on|off" : "");
            }
            std::fflush(stdout);
        }
    });

    // The harness keeps every byte for tests; here it is printed (with --log) and dropped,
    // so a simulator left running for hours does not grow. (A telegram that arrives between
    // the two calls goes unprinted; the log is for watching, not for checking.)
    const auto drainTranscript = [&] {
        const QList<QByteArray> received = sim->telegrams();
        sim->clearTranscript();
        if (wd)
            wd->clearCommands();
        if (!log)
            return;
        for (const QByteArray& t : received)
            std::printf("R: %s\n", printable(t).constData());
        std::fflush(stdout);
    };
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, drainTranscript);
    drain.start(200);

    const int rc = app.exec();
    drainTranscript();
    // Remove the link unless another simulator has taken the path over meanwhile.
    if (QFile::symLinkTarget(link) == sim->slavePath())
        QFile::remove(link);
    sim.reset();
    std::printf("orvid-sim: stopped\n");
    return rc;
}
