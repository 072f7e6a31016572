// orvid-sim: one of the test device simulators on a pseudo-terminal, for trying the
// program by hand without a device.
//
//   orvid-sim kr [QTR-AX|QTB-A3|QTR1-AX]   a system R head
//   orvid-sim wd                            a microwave system D unit
//   orvid-sim klx                           a long-range reader KLX9000 on 127.0.0.1:9999
//                                           (--rate MS: tag reports every MS ms, default 1000)
//
// Options: --link PATH (symlink to the terminal, default /tmp/orvid-sim-<family>),
// --no-tag (start with an empty field), --tag-type N (system R: the tag's type code,
// default 3), --log (print every telegram received).
// While it runs, lines on standard input change the field: "tag on", "tag off", and for
// system R "type N". Runs until Ctrl-C or SIGTERM.

#include "sim/SimKLX.h"
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

void installSignals(QCoreApplication& app, QSocketNotifier*& notifier)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
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
    QSocketNotifier* stopper = nullptr;
    installSignals(app, stopper);
    std::printf("orvid-sim KLX9000 on 127.0.0.1:9999, %s; set the network address to 127.0.0.1; "
                "Ctrl-C ends\n", tag ? "tags 12345678 (Mini) and 87654321 (Quarter) in the field" : "no tag");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        for (const QByteArray& line : QByteArray(buffer, n).split('\n')) {
            const QByteArray text = line.simplified();
            if (text == "tag on" || text == "tag off") {
                for (int i = 0; i < 2; ++i)
                    sim.setTagPresent(i, text == "tag on");
                std::printf("tags %s\n", text == "tag on" ? "in the field" : "gone");
            } else if (!text.isEmpty()) {
                std::printf("commands: tag on, tag off\n");
            }
            std::fflush(stdout);
        }
    });
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] {
        const QList<QByteArray> received = sim.requests();
        sim.clearTranscript();
        if (!log)
            return;
        for (const QByteArray& t : received)
            std::printf("R: %s\n", printable(t).constData());
        std::fflush(stdout);
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
    const QString family = args.takeFirst();
    if (family == QLatin1String("klx"))
        return runKLX(app, args);
    if (family != QLatin1String("kr") && family != QLatin1String("wd"))
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

    std::unique_ptr<PtyHarness> sim = family == QLatin1String("kr") ? makeKR(variant, tag, type)
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
        : QByteArray("system D, tags 12345678 and 9ABCDEF0");
    std::printf("orvid-sim %s on %s, %s in the field; Ctrl-C ends\n", what.constData(),
                qPrintable(sim->slavePath()),
                !tag ? "nothing" : family == QLatin1String("kr") ? "tag" : "tags");
    std::fflush(stdout);

    auto* kr = dynamic_cast<SimKR*>(sim.get());
    auto* wd = dynamic_cast<SimWD*>(sim.get());

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
                else
                    for (int i = 0; i < 2; ++i)
                        wd->setTagPresent(i, on);
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
