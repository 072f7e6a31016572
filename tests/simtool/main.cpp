// orvid-sim: one of the test device simulators, for trying the program by hand without a
// device. The serial ones answer on a pseudo-terminal, linked to a stable path.
//
//   orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX]   a system R head
//   orvid-sim wd                            a microwave system D unit
//   orvid-sim hx [--net]                    an interface unit (with --net also on
//                                           127.0.0.1 port 10000 and its page on port 80)
//   orvid-sim l                             a microwave system L reader (text protocol)
//   orvid-sim kd-fixcode                    an inductive system D fixcode unit
//   orvid-sim kd-rw                         an inductive system D read/write unit
//   orvid-sim klx                           a long-range reader KLX9000 on 127.0.0.1:9999
//                                           (--rate MS: tag reports every MS ms, default 1000)
//
// Options: --link PATH (symlink to the terminal, default /tmp/orvid-sim-<family>),
// --no-tag (start with an empty field), --tag-type N (system R: the tag's type code,
// default 3), --log (print every telegram received).
// While it runs, lines on standard input change the field: "tag on", "tag off", and for
// system R "type N", for system L "in N on|off" (inputs 1 to 3). Runs until Ctrl-C or
// SIGTERM.

#include "sim/SimHX.h"
#include "sim/SimKDFixcode.h"
#include "sim/SimKDReadWrite.h"
#include "sim/SimKLX.h"
#include "sim/SimKR.h"
#include "sim/SimL.h"
#include "sim/SimWL.h"
#include "sim/SimWD.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <array>
#include <csignal>
#include <cstdio>
#include <functional>
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

// Signals end the event loop through a socket pair, so shutdown runs on the main thread.
bool installSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    return true;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX] [--link PATH] [--no-tag]\n"
                 "                    [--tag-type N] [--log]\n"
                 "       orvid-sim wd|l|wl|kd-fixcode|kd-rw [--link PATH] [--no-tag] [--log]\n"
                 "       orvid-sim hx [--net] [--link PATH] [--no-tag] [--log]\n"
                 "       orvid-sim klx [--no-tag] [--rate MS] [--log]\n");
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

void printTelegrams(const QList<QByteArray>& telegrams)
{
    for (const QByteArray& t : telegrams)
        std::printf("R: %s\n", printable(t).constData());
    std::fflush(stdout);
}

// Lines typed on standard input, each split into words, until the input ends.
void onInputLines(QObject* owner, std::function<void(const QList<QByteArray>&)> handle)
{
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, owner);
    QObject::connect(input, &QSocketNotifier::activated, owner, [input, handle] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input->setEnabled(false);   // end of input: keep running until a signal
            return;
        }
        for (const QByteArray& line : QByteArray(buffer, n).split('\n')) {
            const QByteArray text = line.simplified();
            if (!text.isEmpty())
                handle(text.split(' '));
            std::fflush(stdout);
        }
    });
}

struct Options {
    QByteArray variant = "QTR-AX";   // system R head
    int tagType = 3;                 // system R tag
    bool tag = true;
    bool net = false;                // interface unit: also on TCP
};

// A simulator on a pseudo-terminal and what the terminal commands do with it.
struct PtySim {
    std::unique_ptr<PtyHarness> harness;
    QByteArray what;                                        // printed at start
    std::function<void(bool)> setTag;                       // "tag on" / "tag off"
    std::function<bool(const QList<QByteArray>&)> command;  // further commands; true when taken
    QByteArray commandHelp;                                 // their names, for the help line
    std::function<void()> clearLog;                         // besides the harness's transcript
};

PtySim makeKR(const Options& o)
{
    auto sim = std::make_unique<SimKR>(o.variant);
    // The head refuses accesses whose tag type differs from the tag's, so the type decides
    // what can be tried: 3 (QTX03) reads, writes and configuration words, 11 (QTX11) the
    // fixcode write as well.
    sim->setTagType(o.tagType);
    sim->writeMemory(0, "ORVID sample tag data 0123456789");
    sim->writeMemory(32, QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    sim->setFixcode("FIX01");
    sim->setTagPresent(o.tag);
    sim->start();
    SimKR* kr = sim.get();
    PtySim s;
    s.what = "system R " + o.variant + ", tag type " + QByteArray::number(o.tagType);
    s.setTag = [kr](bool on) { kr->setTagPresent(on); };
    s.command = [kr](const QList<QByteArray>& words) {
        if (words.size() != 2 || words[0] != "type")
            return false;
        kr->setTagType(words[1].toInt());
        std::printf("tag type %d\n", words[1].toInt());
        return true;
    };
    s.commandHelp = ", type N";
    s.harness = std::move(sim);
    return s;
}

PtySim makeWD(const Options& o)
{
    auto sim = std::make_unique<SimWD>();
    const int a = sim->addTag(0x12345678, o.tag);
    sim->writeMemory(a, 0, "ORVID sample tag A");
    sim->setStateBlock(a, 5, 24, 1234, 3723004, 1500);
    const int b = sim->addTag(0x9ABCDEF0, o.tag);
    sim->writeMemory(b, 0, "ORVID sample tag B");
    sim->setStateBlock(b, 11, 25, 42, 60000, 250);
    sim->start();
    SimWD* wd = sim.get();
    PtySim s;
    s.what = "system D, tags 12345678 and 9ABCDEF0";
    s.setTag = [wd](bool on) {
        for (int i = 0; i < 2; ++i)
            wd->setTagPresent(i, on);
    };
    s.clearLog = [wd] { wd->clearCommands(); };
    s.harness = std::move(sim);
    return s;
}

// The interface unit on TCP: request frames on port 10000, the web page on port 80.
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

PtySim makeHX(const Options& o)
{
    auto sim = std::make_unique<SimHX>();
    // Heads IND-A, MW-A and UHF-A as the shipped ORVIDHX.INI names them; channel 4 empty.
    for (int ch = 1; ch <= 3; ++ch)
        sim->withTag(ch, [&](SimHX::Tag& t) {
            t.memory.replace(0, 32, "ORVID sample tag data 0123456789");
            t.present = o.tag;
        });
    // Channel 2 holds a WTX60 tag with its state record.
    sim->withTag(2, [](SimHX::Tag& t) {
        t.type = 60;
        t.fixcode = "W60AB";
        t.memory.replace(0x2011 * 4, 14, QByteArray("\x05\x24\xD2\x04\0\0\xFC\xCE\x38\0\xDC\x05\0\0", 14));
    });
    sim->start();
    SimHX* hx = sim.get();
    if (o.net && serveNet(*hx, QCoreApplication::instance()))
        std::printf("orvid-sim: entry 10 on 127.0.0.1 (port 10000, page on port 80)\n");
    PtySim s;
    s.what = "interface unit HX-LM4, heads IND-A, MW-A, UHF-A";
    s.setTag = [hx](bool on) {
        for (int ch = 1; ch <= 3; ++ch)
            hx->withTag(ch, [on](SimHX::Tag& t) { t.present = on; });
    };
    s.harness = std::move(sim);
    return s;
}

PtySim makeL(const Options& o)
{
    auto sim = std::make_unique<SimL>();
    sim->writeMemory(0, "ORVID sample tag data 0123456789");
    sim->writeMemory(32, QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    sim->setInputs(true, false, true);
    sim->setTagPresent(o.tag);
    sim->start();
    SimL* l = sim.get();
    PtySim s;
    s.what = "system L (text protocol), inputs 1 and 3 on";
    s.setTag = [l](bool on) { l->setTagPresent(on); };
    auto inputs = std::make_shared<std::array<bool, 3>>(std::array<bool, 3>{true, false, true});
    s.command = [l, inputs](const QList<QByteArray>& words) {
        const int n = words.size() == 3 ? words[1].toInt() : 0;
        if (words.size() != 3 || words[0] != "in" || n < 1 || n > 3 || (words[2] != "on" && words[2] != "off"))
            return false;
        (*inputs)[n - 1] = words[2] == "on";
        l->setInputs((*inputs)[0], (*inputs)[1], (*inputs)[2]);
        std::printf("input %d %s\n", n, words[2].constData());
        return true;
    };
    s.commandHelp = ", in N on|off";
    s.harness = std::move(sim);
    return s;
}

// System L, framed protocol: mode Morsek at bus address 1, a tag with ID 12345678 and
// Quarter data, two IDs in the reader's database.
PtySim makeWL(const Options& o)
{
    auto sim = std::make_unique<SimWL>();
    sim->setTag(o.tag, 12345678, 1, QByteArray("ORVID sample quarter"));
    sim->setDatabase({1001, 1002});
    sim->setInputs(true, false, true);
    sim->start();
    SimWL* wl = sim.get();
    PtySim s;
    s.what = "system L (framed protocol), mode Morsek, tag 12345678, inputs 1 and 3 on";
    s.setTag = [wl](bool on) { wl->setTagPresent(on); };
    s.harness = std::move(sim);
    return s;
}

// Inductive system D fixcode unit: tags under heads 1 and 3 (head 1's shows first for "Alle").
PtySim makeKDFixcode(const Options& o)
{
    auto sim = std::make_unique<SimKDFixcode>();
    SimKDFixcode* kd = sim.get();
    const auto setTags = [kd](bool on) {
        for (int h : {0, 2}) {
            if (on)
                kd->setTag(h, h == 0 ? 0x123 : 0xFFF, h == 0 ? 17767 : 65535);
            else
                kd->removeTag(h);
        }
    };
    if (o.tag)
        setTags(true);
    sim->setRate(500);
    PtySim s;
    s.what = "inductive system D fixcode unit, tags under heads 1 and 3";
    s.setTag = setTags;
    s.clearLog = [kd] { kd->clearCommands(); };
    s.harness = std::move(sim);
    return s;
}

// Inductive system D read/write unit: a ZKX carrier (tag code 1) under head 1, an NCX
// carrier under head 2, a GMX-40 under head 3; "tag off" takes them away.
PtySim makeKDReadWrite(const Options& o)
{
    auto sim = std::make_unique<SimKDReadWrite>();
    SimKDReadWrite* kd = sim.get();
    const auto setCarriers = [kd](bool on) {
        if (on) {
            kd->setCarrier(0, 1);
            kd->setCarrier(1, 0, QByteArray::fromHex("C0CCCACF180E0510"));
            kd->setCarrier(2, 3);
        } else {
            for (int h = 0; h < 3; ++h)
                kd->removeCarrier(h);
        }
    };
    if (o.tag) {
        setCarriers(true);
        kd->writeMemory(0, 0, "ORVID sample ZKX data");
        kd->writeMemory(2, 0x100, "ORVID sample GMX-40 data");
    }
    sim->setRate(500);
    PtySim s;
    s.what = "inductive system D read/write unit, ZKX, NCX and GMX-40 carriers under heads 1-3";
    s.setTag = setCarriers;
    s.clearLog = [kd] { kd->clearCommands(); };
    s.harness = std::move(sim);
    return s;
}

struct PtyFamily {
    const char* name;
    PtySim (*make)(const Options&);
};

const PtyFamily kPtyFamilies[] = {
    {"kr", makeKR},         {"wd", makeWD},           {"hx", makeHX},
    {"l", makeL},           {"kd-fixcode", makeKDFixcode}, {"kd-rw", makeKDReadWrite},
    {"wl", makeWL},
};

int runPty(QCoreApplication& app, const PtyFamily& family, QStringList args)
{
    Options o;
    QString link = QStringLiteral("/tmp/orvid-sim-") + QLatin1String(family.name);
    bool log = false;
    const bool kr = qstrcmp(family.name, "kr") == 0;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--link") && !args.isEmpty())
            link = args.takeFirst();
        else if (a == QLatin1String("--no-tag"))
            o.tag = false;
        else if (a == QLatin1String("--log"))
            log = true;
        else if (kr && a == QLatin1String("--tag-type") && !args.isEmpty())
            o.tagType = args.takeFirst().toInt();
        else if (qstrcmp(family.name, "hx") == 0 && a == QLatin1String("--net"))
            o.net = true;
        else if (kr && !a.startsWith(QLatin1String("--")))
            o.variant = a.toLatin1();
        else
            return usage();
    }
    if (kr && o.variant != "QTR-AX" && o.variant != "QTB-A3" && o.variant != "QTR1-AX")
        return usage();
    if (!installSignals(app))
        return 1;

    PtySim sim = family.make(o);
    if (!sim.harness->isValid()) {
        std::fprintf(stderr, "orvid-sim: no pseudo-terminal available\n");
        return 1;
    }
    // The rows are tried in any order: a recognition leaves other families' probes here.
    sim.harness->allowDroppedInput();
    // Replace only a symlink (a stale one from an earlier run); never delete anything else.
    if (QFileInfo(link).isSymLink())
        QFile::remove(link);
    if (!QFile::link(sim.harness->slavePath(), link)) {
        std::fprintf(stderr, "orvid-sim: cannot create %s (it exists and is not a symlink?)\n",
                     qPrintable(link));
        return 1;
    }
    std::printf("%s\n", qPrintable(link));
    std::printf("orvid-sim: %s; answering on %s; %s; Ctrl-C ends\n", sim.what.constData(),
                qPrintable(sim.harness->slavePath()), o.tag ? "tag in the field" : "field empty");
    std::fflush(stdout);

    // Commands on standard input move the tag in and out of the field, as a hand would.
    onInputLines(&app, [&sim](const QList<QByteArray>& words) {
        if (words.size() == 2 && words[0] == "tag" && (words[1] == "on" || words[1] == "off")) {
            const bool on = words[1] == "on";
            sim.setTag(on);
            std::printf("tag %s\n", on ? "in the field" : "gone");
        } else if (!sim.command || !sim.command(words)) {
            std::printf("commands: tag on, tag off%s\n", sim.commandHelp.constData());
        }
    });

    // The harness keeps every byte for tests; here it is printed (with --log) and dropped,
    // so a simulator left running for hours does not grow. (A telegram that arrives between
    // the two calls goes unprinted; the log is for watching, not for checking.)
    const auto drainTranscript = [&] {
        const QList<QByteArray> received = sim.harness->telegrams();
        sim.harness->clearTranscript();
        if (sim.clearLog)
            sim.clearLog();
        if (log)
            printTelegrams(received);
    };
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, drainTranscript);
    drain.start(200);

    const int rc = app.exec();
    drainTranscript();
    // Remove the link unless another simulator has taken the path over meanwhile.
    if (QFile::symLinkTarget(link) == sim.harness->slavePath())
        QFile::remove(link);
    sim.harness.reset();
    std::printf("orvid-sim: stopped\n");
    return rc;
}

// The network reader: the program connects to it with the network address 127.0.0.1.
int runKLX(QCoreApplication& app, QStringList args)
{
    bool tag = true;
    bool log = false;
    int rate = 1000;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--no-tag"))
            tag = false;
        else if (a == QLatin1String("--log"))
            log = true;
        else if (a == QLatin1String("--rate") && !args.isEmpty())
            rate = qMax(50, args.takeFirst().toInt());
        else
            return usage();
    }
    SimKLX sim(9999);
    if (!sim.listening()) {
        std::fprintf(stderr, "orvid-sim: port 9999 on 127.0.0.1 is in use\n");
        return 1;
    }
    sim.addTag({12345678, SimKLX::Mini, 100, {}, tag});
    sim.addTag({87654321, SimKLX::Quarter, 0, "ORVID quarter tag", tag});
    sim.setReportRate(rate);
    if (!installSignals(app))
        return 1;
    std::printf("orvid-sim KLX9000 on 127.0.0.1:9999, %s; set the network address to 127.0.0.1; "
                "Ctrl-C ends\n", tag ? "tags 12345678 (Mini) and 87654321 (Quarter) in the field" : "no tag");
    std::fflush(stdout);

    onInputLines(&app, [&sim](const QList<QByteArray>& words) {
        if (words.size() == 2 && words[0] == "tag" && (words[1] == "on" || words[1] == "off")) {
            for (int i = 0; i < 2; ++i)
                sim.setTagPresent(i, words[1] == "on");
            std::printf("tags %s\n", words[1] == "on" ? "in the field" : "gone");
        } else {
            std::printf("commands: tag on, tag off\n");
        }
    });
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] {
        const QList<QByteArray> received = sim.requests();
        sim.clearTranscript();
        if (log)
            printTelegrams(received);
    });
    drain.start(200);
    const int rc = app.exec();
    std::printf("orvid-sim: stopped\n");
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString name = args.takeFirst();
    if (name == QLatin1String("klx"))
        return runKLX(app, args);
    for (const PtyFamily& family : kPtyFamilies)
        if (name == QLatin1String(family.name))
            return runPty(app, family, args);
    return usage();
}
