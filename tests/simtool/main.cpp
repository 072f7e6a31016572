// orvid-sim: one of the test device simulators on a pseudo-terminal, for trying the
// program by hand without a device.
//
//   orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX]   a system R head
//   orvid-sim wd                            a microwave system D unit
//   orvid-sim kd-fixcode                    an inductive system D fixcode unit
//   orvid-sim kd-rw                         an inductive system D read/write unit
//
// Options: --link PATH (symlink to the terminal, default /tmp/orvid-sim-<family>),
// --no-tag (start with an empty field), --tag-type N (system R: the tag's type code,
// default 3), --log (print every telegram received).
// While it runs, lines on standard input change the field: "tag on", "tag off", and for
// system R "type N". Runs until Ctrl-C or SIGTERM.

#include "sim/SimKDFixcode.h"
#include "sim/SimKDReadWrite.h"
#include "sim/SimKR.h"
#include "sim/SimWD.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

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
                 "       orvid-sim kd-fixcode|kd-rw [--link PATH] [--no-tag] [--log]\n");
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

// Inductive system D: tags under heads 1 and 3 (head 1's shows first for "Alle").
std::unique_ptr<PtyHarness> makeKDFixcode(bool tag)
{
    auto sim = std::make_unique<SimKDFixcode>();
    if (tag) {
        sim->setTag(0, 0x123, 17767);
        sim->setTag(2, 0xFFF, 65535);
    }
    sim->setRate(500);
    return sim;
}

// A ZKX carrier (tag code 1) under head 1, an NCX carrier under head 2, a GMX-40 under
// head 3; "tag off" takes them away.
std::unique_ptr<PtyHarness> makeKDReadWrite(bool tag)
{
    auto sim = std::make_unique<SimKDReadWrite>();
    if (tag) {
        sim->setCarrier(0, 1);
        sim->writeMemory(0, 0, "ORVID sample ZKX data");
        sim->setCarrier(1, 0, QByteArray::fromHex("C0CCCACF180E0510"));
        sim->setCarrier(2, 3);
        sim->writeMemory(2, 0x100, "ORVID sample GMX-40 data");
    }
    sim->setRate(500);
    return sim;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString family = args.takeFirst();
    const bool kdFix = family == QLatin1String("kd-fixcode");
    const bool kdRW = family == QLatin1String("kd-rw");
    if (family != QLatin1String("kr") && family != QLatin1String("wd") && !kdFix && !kdRW)
        return usage();

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

    std::unique_ptr<PtyHarness> sim = kdFix                            ? makeKDFixcode(tag)
        : kdRW                                                          ? makeKDReadWrite(tag)
        : family == QLatin1String("kr")                                 ? makeKR(variant, tag, type)
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
    const QByteArray what = kdFix ? QByteArray("inductive system D fixcode unit, tags under heads 1 and 3")
        : kdRW                    ? QByteArray("inductive system D read/write unit, ZKX, NCX and GMX-40 carriers under heads 1-3")
        : family == QLatin1String("kr")
        ? "system R " + variant + ", tag type " + QByteArray::number(type)
        : QByteArray("system D, tags 12345678 and 9ABCDEF0");
    std::printf("orvid-sim %s on %s, %s in the field; Ctrl-C ends\n", what.constData(),
                qPrintable(sim->slavePath()),
                !tag ? "nothing" : family == QLatin1String("kr") ? "tag" : "tags");
    std::fflush(stdout);

    auto* kr = dynamic_cast<SimKR*>(sim.get());
    auto* wd = dynamic_cast<SimWD*>(sim.get());
    auto* kdf = dynamic_cast<SimKDFixcode*>(sim.get());
    auto* kdrw = dynamic_cast<SimKDReadWrite*>(sim.get());

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
                if (kr) {
                    kr->setTagPresent(on);
                } else if (kdf) {
                    for (int h : {0, 2})
                        on ? kdf->setTag(h, h == 0 ? 0x123 : 0xFFF, h == 0 ? 17767 : 65535) : kdf->removeTag(h);
                } else if (kdrw) {
                    if (on) {
                        kdrw->setCarrier(0, 1);
                        kdrw->setCarrier(1, 0, QByteArray::fromHex("C0CCCACF180E0510"));
                        kdrw->setCarrier(2, 3);
                    } else {
                        for (int h = 0; h < 3; ++h)
                            kdrw->removeCarrier(h);
                    }
                } else {
                    for (int i = 0; i < 2; ++i)
                        wd->setTagPresent(i, on);
                }
                std::printf("tag %s\n", on ? "in the field" : "gone");
            } else if (kr && words.size() == 2 && words[0] == "type") {
                kr->setTagType(words[1].toInt());
                std::printf("tag type %d\n", words[1].toInt());
            } else {
                std::printf("commands: tag on, tag off%s\n", kr ? ", type N" : "");
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
        if (kdf)
            kdf->clearCommands();
        if (kdrw)
            kdrw->clearCommands();
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
