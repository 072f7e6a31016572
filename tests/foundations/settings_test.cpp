// The per-user settings store on real files in a temporary folder.
#include "foundations/Language.h"
#include "foundations/SettingsStore.h"
#include "foundations/SystemError.h"
#include "shell/Application.h"
#include "shell/frmMain.h"
#include "shell/frmMonitor.h"
#include "shell/frmPortOptions.h"
#include "support/FileSizeLimit.h"
#include "support/RealInput.h"
#include "support/RecordingPresenter.h"
#include "support/WhenModal.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace orvid;

namespace {

const QString kRoot = QString::fromLatin1(SettingsStore::RootPath);

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("cfg/Valdrecht/Zarvento.conf")); }

    void writeRaw(const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray readRaw() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

// Runs body on a thread of its own on which files without a name (O_TMPFILE) are refused,
// as on file systems that have none: a save there takes its named temporary file. The
// refusal ends with the thread.
void WithoutUnnamedFiles(const std::function<void()>& body)
{
    std::thread([&body] {
        constexpr std::size_t flags = offsetof(seccomp_data, args[2])
                                      + (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 4 : 0);
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, flags),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        ASSERT_EQ(::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0), 0) << std::strerror(errno);
        ASSERT_EQ(::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program), 0) << std::strerror(errno);
        ASSERT_EQ(::open(".", O_TMPFILE | O_WRONLY, 0600), -1);
        ASSERT_EQ(errno, EOPNOTSUPP);
        body();
    }).join();
}

} // namespace

TEST_F(SettingsFile, RoundTripWithNamesWithoutRegardToCase)
{
    SettingsStore s(path());
    EXPECT_EQ(s.read("Settings", "ShowTimeouts", "0"), QStringLiteral("0")); // no file yet
    EXPECT_FALSE(QFileInfo::exists(path()));

    ASSERT_TRUE(s.write("Settings", "ShowTimeouts", "1")); // creates the folders
    EXPECT_EQ(s.read("Settings", "showtimeouts", "0"), QStringLiteral("1"));
    EXPECT_EQ(s.read("SETTINGS", "SHOWTIMEOUTS", "0"), QStringLiteral("1"));
    EXPECT_EQ(s.ReadSetting(kRoot, "Settings", "ShowTimeouts", "x"), QStringLiteral("1"));

    // A rewrite under another spelling changes the value and keeps the first spelling.
    ASSERT_TRUE(s.write("settings", "SHOWTIMEOUTS", "0"));
    const auto rows = s.RegEnumValues(kRoot + "\\Settings");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].first, QStringLiteral("ShowTimeouts"));
    EXPECT_EQ(rows[0].second, QStringLiteral("0"));
    EXPECT_EQ(s.RegEnumKeys(kRoot), QStringList{"Settings"});

    // Values are text and compared exactly by the callers: "show" stays "show".
    ASSERT_TRUE(s.write("Settings", "MonitorWnd", "show"));
    EXPECT_EQ(s.read("Settings", "MonitorWnd", "Hide"), QStringLiteral("show"));
    EXPECT_EQ(s.read("Settings", "Missing", "dflt"), QStringLiteral("dflt"));
    EXPECT_EQ(s.read("Other", "ShowTimeouts", "dflt"), QStringLiteral("dflt"));
}

TEST_F(SettingsFile, EmptyValueReadsEmptyNotTheDefault)
{
    SettingsStore s(path());
    ASSERT_TRUE(s.write("Windows", "frmMonitor", ""));
    EXPECT_EQ(s.read("Windows", "frmMonitor", "640x480+0+0"), QString());
    EXPECT_TRUE(s.RegReadValue(kRoot, "Windows", "frmMonitor", 5).toString().isEmpty());
    // Overwriting a value with the empty text.
    ASSERT_TRUE(s.write("Windows", "frmMain", "MAXIMIZEDx"));
    ASSERT_TRUE(s.write("Windows", "frmMain", ""));
    EXPECT_EQ(s.read("Windows", "frmMain", "d"), QString());
}

TEST_F(SettingsFile, LongValuesDoNotHideTheValuesAfterThem)
{
    SettingsStore s(path());
    const QString v300 = QString(300, u'x');
    const QString big = QString(100000, u'A') + QStringLiteral("end");
    ASSERT_TRUE(s.write("Command", "Cmd0", "first"));
    ASSERT_TRUE(s.write("Command", "Cmd1", v300));
    ASSERT_TRUE(s.write("Command", "Cmd2", big));
    ASSERT_TRUE(s.write("Command", "Cmd3", "after"));
    ASSERT_TRUE(s.write("Command", QString(400, u'n'), "long name"));
    EXPECT_EQ(s.read("Command", "Cmd1", "d"), v300);
    EXPECT_EQ(s.read("Command", "Cmd2", "d"), big);
    EXPECT_EQ(s.read("Command", "Cmd3", "d"), QStringLiteral("after"));
    EXPECT_EQ(s.read("Command", QString(400, u'N'), "d"), QStringLiteral("long name"));
    EXPECT_EQ(s.RegEnumValues(kRoot + "\\Command").size(), 5);
}

TEST_F(SettingsFile, AnyCharactersRoundTrip)
{
    SettingsStore s(path());
    const QList<QString> values = {
        QStringLiteral("  leading and trailing  "),
        QStringLiteral(" "),
        QStringLiteral("\t"),
        QStringLiteral("line1\r\nline2\nline3\r"),
        QStringLiteral("back\\slash\\n not a newline \\"),
        QString::fromUtf16(u"nul\0inside", 10),
        QStringLiteral("a=b=c"),
        QStringLiteral("[NotASection]"),
        QStringLiteral("; not a comment"),
        QStringLiteral("# nor this"),
        QStringLiteral("dword:000000c8"), // text that looks like a number value
        QStringLiteral("DWORD:1"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("Grüße € § \u2028 \U0001F600"),
        QString(QChar(0xD800)) + QStringLiteral("lone surrogate"),
        QStringLiteral("\x01\x1f\x7f"),
        QStringLiteral("\\x41\\s\\u0041"),
    };
    for (qsizetype i = 0; i < values.size(); ++i)
        ASSERT_TRUE(s.write("Odd", QStringLiteral("v%1").arg(i), values[i]));
    for (qsizetype i = 0; i < values.size(); ++i)
        EXPECT_EQ(s.read("Odd", QStringLiteral("v%1").arg(i), "DEFAULT"), values[i]) << i;

    // Names and sections with odd characters too.
    const QList<QString> names = {QStringLiteral("a=b"), QStringLiteral("[x]"), QStringLiteral(";c"),
                                  QStringLiteral(" pad "), QStringLiteral("#"), QString(),
                                  QStringLiteral("new\nline")};
    for (const QString& n : names)
        ASSERT_TRUE(s.write("Sec]tion \\ x", n, n + QStringLiteral("!")));
    for (const QString& n : names)
        EXPECT_EQ(s.read("Sec]tion \\ x", n, "DEFAULT"), n + QStringLiteral("!")) << qPrintable(n);
    EXPECT_EQ(s.read("Odd", "v0", "x"), values[0]); // earlier section untouched
    // Every line of the file is one entry: nothing written spilled over a line end.
    const int lines = readRaw().count('\n');
    EXPECT_EQ(lines, 2 + int(values.size()) + 1 + int(names.size()));
}

TEST_F(SettingsFile, HandWrittenFileIsRead)
{
    writeRaw("\xEF\xBB\xBF; written by hand\r\n"
             "[Settings]\r\n"
             "  DetectTimeout = 200 \r\n"
             "AutoTimeout=dword:000003e8\r\n"
             "Negative=dword:ffffffff\r\n"
             "BadNumber=dword:xyz\r\n"
             "Path=C:\\Programme\\Orvid\r\n"
             "\tTabbed\t=\tvalue\t\r\n"
             "Dup=first\r\n"
             "DUP=second\r\n"
             "\r\n"
             "[port]\r\n"
             "Name=/dev/ttyS0\r\n"
             "[PORT]\r\n"
             "Settings=38400,n,8,1\r\n");
    SettingsStore s(path());
    EXPECT_EQ(s.read("Settings", "DetectTimeout", "0"), QStringLiteral("200"));
    EXPECT_EQ(s.read("Settings", "AutoTimeout", "0"), QStringLiteral("1000"));
    EXPECT_EQ(s.RegReadValue(kRoot, "Settings", "AutoTimeout", QString()), QVariant(1000));
    EXPECT_EQ(s.read("Settings", "Negative", "0"), QStringLiteral("-1"));
    EXPECT_EQ(s.read("Settings", "BadNumber", "0"), QStringLiteral("dword:xyz"));
    EXPECT_EQ(s.read("Settings", "Path", ""), QStringLiteral("C:\\Programme\\Orvid"));
    EXPECT_EQ(s.read("Settings", "Tabbed", ""), QStringLiteral("value"));
    EXPECT_EQ(s.read("Settings", "dup", ""), QStringLiteral("first"));
    // A section written twice is one section.
    EXPECT_EQ(s.read("Port", "Name", ""), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(s.read("Port", "Settings", ""), QStringLiteral("38400,n,8,1"));
    EXPECT_EQ(s.RegEnumKeys(kRoot), (QStringList{"Settings", "port"}));

    // A write keeps every value, numbers included, and replaces a number by text.
    ASSERT_TRUE(s.write("Settings", "Negative", "7"));
    EXPECT_EQ(s.read("Settings", "Negative", "0"), QStringLiteral("7"));
    EXPECT_EQ(s.RegReadValue(kRoot, "Settings", "AutoTimeout", QString()), QVariant(1000));
    EXPECT_EQ(s.read("Settings", "Path", ""), QStringLiteral("C:\\Programme\\Orvid"));
    EXPECT_EQ(s.read("Port", "Settings", ""), QStringLiteral("38400,n,8,1"));
}

TEST_F(SettingsFile, CorruptFileKeepsWhatParses)
{
    QByteArray junk;
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 4000; ++i)
        junk.append(static_cast<char>(rng->bounded(256)));
    junk.replace('\n', 'x'); // keep the junk on one line of its own
    writeRaw("[Network]\nAddress=10.0.0.5\n" + junk + "\n[Broken\nLost=1\n"
             "no equals sign here\n[Monitor]\nLines=500\n\xff\xfe=bin\xc3\n");
    SettingsStore s(path());
    EXPECT_EQ(s.read("Network", "Address", ""), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(s.read("Monitor", "Lines", ""), QStringLiteral("500"));
    // Entries under a broken header belong to no section, not to the one before it.
    EXPECT_EQ(s.read("Network", "Lost", "none"), QStringLiteral("none"));
    const auto before = s.RegEnumValues(kRoot + "\\Monitor");

    ASSERT_TRUE(s.write("Network", "Port", "10001"));
    EXPECT_EQ(s.read("Network", "Address", ""), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(s.read("Network", "Port", ""), QStringLiteral("10001"));
    EXPECT_EQ(s.RegEnumValues(kRoot + "\\Monitor"), before);
}

TEST_F(SettingsFile, UnreadableFileIsNeitherFatalNorOverwritten)
{
    // A folder where the file should be.
    QDir().mkpath(path());
    SettingsStore s(path());
    EXPECT_EQ(s.read("Settings", "Language", "GER"), QStringLiteral("GER"));
    EXPECT_FALSE(s.write("Settings", "Language", "ENG"));
    EXPECT_TRUE(s.RegEnumKeys(kRoot).isEmpty());
    QDir().rmdir(path());

    // A file without read permission must not be replaced by one holding a single value.
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    writeRaw("[Settings]\nLanguage=ENG\nOrvidSystem=3\n");
    QFile::setPermissions(path(), QFileDevice::WriteOwner);
    EXPECT_EQ(s.read("Settings", "OrvidSystem", "0"), QStringLiteral("0"));
    EXPECT_FALSE(s.write("Settings", "AutoDetect", "-1"));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(s.read("Settings", "OrvidSystem", "0"), QStringLiteral("3"));
}

TEST_F(SettingsFile, TwoStoresOnOneFileSeeEachOther)
{
    SettingsStore a(path());
    SettingsStore b(path());
    for (int i = 0; i < 50; ++i) {
        // Same-size values in quick succession: no stale view in either store.
        ASSERT_TRUE(a.write("Port", "Name", QStringLiteral("tty%1").arg(i % 10)));
        EXPECT_EQ(b.read("Port", "Name", ""), QStringLiteral("tty%1").arg(i % 10));
        ASSERT_TRUE(b.write("Port", QStringLiteral("B%1").arg(i), "x"));
        EXPECT_EQ(a.read("Port", QStringLiteral("b%1").arg(i), ""), QStringLiteral("x"));
    }
    // Each write started from the other's latest file: nothing was lost.
    EXPECT_EQ(a.RegEnumValues(kRoot + "\\Port").size(), 51);
}

// Both ways a save goes leave nothing behind, written or failed: the temporary file without
// a name, and the named one of file systems that have no such files.
TEST_F(SettingsFile, NothingIsDeletedAndNoTemporaryFilesRemain)
{
    const QStringList sections = {"Settings", "Port", "Network", "Windows", "Command", "Monitor",
                                  "OrvidKR", "OrvidWD"};
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "temporary file without a name");
        QFile::remove(path());
        SettingsStore s(path());
        const auto writes = [&] {
            for (const QString& sec : sections)
                for (int i = 0; i < 5; ++i)
                    ASSERT_TRUE(s.write(sec, QStringLiteral("k%1").arg(i), sec + QString::number(i)));
            for (int i = 0; i < 20; ++i)
                ASSERT_TRUE(s.write("Port", "k0", QString::number(i)));
            test::FileSizeLimit full(64);
            ASSERT_TRUE(full.active());
            EXPECT_FALSE(s.write("Port", "k0", "does not fit"));
        };
        if (named)
            WithoutUnnamedFiles(writes);
        else
            writes();
        for (const QString& sec : sections)
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(s.read(sec, QStringLiteral("k%1").arg(i), "gone"),
                          sec == "Port" && i == 0 ? QStringLiteral("19") : sec + QString::number(i));
        EXPECT_EQ(s.RegEnumKeys(kRoot), sections);
        EXPECT_EQ(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden
                                                                    | QDir::NoDotAndDotDot),
                  QStringList{"Zarvento.conf"});
    }
}

TEST_F(SettingsFile, KeyPathsAndListings)
{
    SettingsStore s(path());
    ASSERT_TRUE(s.write("OrvidWL", "a", "1"));
    ASSERT_TRUE(s.write("OrvidWL\\Sub", "b", "2"));
    ASSERT_TRUE(s.write("OrvidWL\\Sub\\Deep", "c", "3"));
    ASSERT_TRUE(s.write("OrvidWL_VD", "d", "4"));
    EXPECT_EQ(s.RegEnumKeys(kRoot), (QStringList{"OrvidWL", "OrvidWL_VD"}));
    EXPECT_EQ(s.RegEnumKeys(kRoot + "\\orvidwl"), QStringList{"Sub"});
    EXPECT_EQ(s.RegEnumKeys(kRoot + "\\OrvidWL\\Sub"), QStringList{"Deep"});
    EXPECT_EQ(s.ReadSetting(kRoot + "\\OrvidWL", "Sub", "b", ""), QStringLiteral("2"));
    EXPECT_EQ(s.ReadSetting("software\\valdrecht\\zarvento", "OrvidWL", "A", ""), QStringLiteral("1"));
    const auto rows = s.RegEnumValues("SOFTWARE\\Valdrecht\\Zarvento\\orvidwl\\sub");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], (QPair<QString, QString>{"b", "2"}));

    // Outside the program's key nothing is stored or found.
    EXPECT_TRUE(s.RegEnumValues("Hardware\\Devicemap\\Serialcomm").isEmpty());
    EXPECT_TRUE(s.RegEnumKeys("Software\\Valdrecht").isEmpty());
    EXPECT_FALSE(s.RegWriteString("Software\\Other", "X", "a", "1"));
    EXPECT_FALSE(s.RegWriteString(kRoot, QString(), "a", "1"));
    EXPECT_EQ(s.ReadSetting("Software\\Valdrecht\\ZarventoX", "OrvidWL", "a", "d"), QStringLiteral("d"));
}

TEST(SettingsStoreFile, DefaultLocationFollowsXdgConfigHome)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    SettingsStore s;
    EXPECT_EQ(s.filePath(), dir.path() + QStringLiteral("/Valdrecht/Zarvento.conf"));
    EXPECT_TRUE(s.write("Settings", "Language", "Deutsch"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("Valdrecht/Zarvento.conf")));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

TEST(SettingsStoreFile, TrimNul)
{
    EXPECT_EQ(TrimNul(QString::fromUtf16(u"abc\0def", 7)), QStringLiteral("abc"));
    EXPECT_EQ(TrimNul(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(TrimNul(QString(QChar(0))), QString());
}

TEST(SettingsStoreFormat, RandomDocumentsSurviveSerialising)
{
    auto* rng = QRandomGenerator::global();
    const QString pool = QString::fromUtf16(u" \t\r\n\\=[];#\"'dDwWoOrR:0aZ\u00e4\u20ac\0x", 29);
    auto randomText = [&](int maxLen) {
        QString s;
        const int n = static_cast<int>(rng->bounded(maxLen + 1));
        for (int i = 0; i < n; ++i)
            s += pool.at(rng->bounded(static_cast<int>(pool.size())));
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        SettingsStore::Document doc;
        const int sections = static_cast<int>(rng->bounded(4));
        for (int i = 0; i < sections; ++i) {
            const QString sec = randomText(6);
            for (int k = 0; k < 5; ++k)
                SettingsStore::setText(doc, sec, randomText(6), randomText(12));
        }
        const SettingsStore::Document back = SettingsStore::parse(SettingsStore::serialize(doc));
        ASSERT_EQ(back.size(), doc.size()) << round;
        for (qsizetype i = 0; i < doc.size(); ++i) {
            ASSERT_EQ(back[i].name, doc[i].name);
            ASSERT_EQ(back[i].values.size(), doc[i].values.size());
            for (qsizetype k = 0; k < doc[i].values.size(); ++k) {
                EXPECT_EQ(back[i].values[k].name, doc[i].values[k].name);
                EXPECT_EQ(back[i].values[k].text, doc[i].values[k].text);
                EXPECT_FALSE(back[i].values[k].isNumber);
            }
        }
    }
}

TEST_F(SettingsFile, EightBitFileEditedByHandReadsAndSurvivesAWrite)
{
    // "Müller-PC" and "€" saved by an 8-bit editor: not UTF-8, so Windows-1252.
    writeRaw("[Network]\r\nHost=M\xFCller-PC\r\nNote=5 \x80 \x84quoted\x93\r\n");
    SettingsStore s(path());
    EXPECT_EQ(s.read("Network", "Host", ""), QStringLiteral("Müller-PC"));
    EXPECT_EQ(s.read("Network", "Note", ""), QStringLiteral("5 € \u201Equoted\u201C"));

    // A write keeps the hand-typed lines as they were typed.
    ASSERT_TRUE(s.write("Network", "Port", "10001"));
    EXPECT_EQ(s.read("Network", "Host", ""), QStringLiteral("Müller-PC"));
    EXPECT_EQ(s.read("Network", "Note", ""), QStringLiteral("5 € \u201Equoted\u201C"));
    EXPECT_EQ(readRaw(), QByteArray("[Network]\r\nHost=M\xFCller-PC\r\nNote=5 \x80 \x84quoted\x93\r\n"
                                    "Port=10001\r\n"));

    // One 8-bit line added later to a UTF-8 file spoils neither that line nor the others.
    writeRaw("[Settings]\nOwner=J\xC3\xBCrgen\nPlace=K\xF6ln\n");
    EXPECT_EQ(s.read("Settings", "Owner", ""), QStringLiteral("Jürgen"));
    EXPECT_EQ(s.read("Settings", "Place", ""), QStringLiteral("Köln"));
}

TEST_F(SettingsFile, WriteChangesOnlyItsOwnLine)
{
    const QByteArray original = "; Settings of the service tool\r\n"
                                "; do not edit while it runs\r\n"
                                "\r\n"
                                "[Settings]\r\n"
                                "  Language = ENG   ; the technician's choice\r\n"
                                "Timeout=dword:000000c8\r\n"
                                "stray text without a value\r\n"
                                "\r\n"
                                "# ports follow\r\n"
                                "[Port]\r\n"
                                "Name=/dev/ttyS0\r\n"
                                "; trailing remark";
    writeRaw(original);
    SettingsStore s(path());
    EXPECT_EQ(s.read("settings", "language", ""), QStringLiteral("ENG   ; the technician's choice"));

    // Same text: the file is not touched at all.
    ASSERT_TRUE(s.write("Port", "Name", "/dev/ttyS0"));
    EXPECT_EQ(readRaw(), original);

    // Changing a value rewrites its line only; name spelling and indent stay.
    ASSERT_TRUE(s.write("SETTINGS", "LANGUAGE", "GER"));
    QByteArray expected = original;
    expected.replace("  Language = ENG   ; the technician's choice", "  Language =GER");
    EXPECT_EQ(readRaw(), expected);

    // A number value becomes text in place.
    ASSERT_TRUE(s.write("Settings", "Timeout", "300"));
    expected.replace("Timeout=dword:000000c8", "Timeout=300");
    EXPECT_EQ(readRaw(), expected);

    // A new value joins the end of its section, before the comment that leads the next one.
    ASSERT_TRUE(s.write("Settings", "ShowTimeouts", "1"));
    expected.replace("stray text without a value\r\n",
                     "stray text without a value\r\nShowTimeouts=1\r\n");
    EXPECT_EQ(readRaw(), expected);

    // After a last line without a break, and a new section at the end, in the file's CR LF.
    ASSERT_TRUE(s.write("Port", "Settings", "38400,n,8,1"));
    ASSERT_TRUE(s.write("Monitor", "Lines", "500"));
    EXPECT_EQ(readRaw(), expected.replace("Name=/dev/ttyS0\r\n",
                                          "Name=/dev/ttyS0\r\nSettings=38400,n,8,1\r\n")
                             + "\r\n\r\n[Monitor]\r\nLines=500\r\n");
    EXPECT_EQ(s.read("Monitor", "Lines", ""), QStringLiteral("500"));
}

TEST_F(SettingsFile, WritesIntoTheSectionALookupFinds)
{
    // A section written twice and a name written twice: the first wins on reading, so a
    // write must change that one, and entries under a broken header belong to nobody.
    writeRaw("[Port]\nName=first\n[Broken\nName=orphan\n[port]\nNAME=second\nExtra=1\n");
    SettingsStore s(path());
    ASSERT_TRUE(s.write("Port", "Name", "changed"));
    EXPECT_EQ(s.read("Port", "Name", ""), QStringLiteral("changed"));
    ASSERT_TRUE(s.write("Port", "New", "x"));
    EXPECT_EQ(readRaw(), QByteArray("[Port]\nName=changed\n[Broken\nName=orphan\n[port]\n"
                                    "NAME=second\nExtra=1\nNew=x\n"));
}

TEST(SettingsStoreFormat, RandomHandWrittenFilesKeepEveryOtherLineThroughAWrite)
{
    auto* rng = QRandomGenerator::global();
    const QList<QByteArray> pieces = {
        "; a comment", "# another", "", "   ", "[Port]", "[port]", "[Settings]", "[Broken",
        "Name=/dev/ttyS0", "name = x", "Timeout=dword:000000c8", "garbage without equals",
        "Host=M\xFCller-PC", "Owner=J\xC3\xBCrgen", "\tTabbed\t=\tv\t", "=empty name", "Dup=1",
        "DUP=2"};
    const QList<QString> sections = {"Port", "Settings", "New"};
    const QList<QString> names = {"Name", "Timeout", "Dup", "Added", "Host"};
    for (int round = 0; round < 400; ++round) {
        QByteArray file;
        const int lines = static_cast<int>(rng->bounded(12));
        const QByteArray eol = rng->bounded(2) ? "\r\n" : "\n";
        for (int i = 0; i < lines; ++i) {
            file += pieces.at(rng->bounded(static_cast<int>(pieces.size())));
            if (i + 1 < lines || rng->bounded(2))
                file += eol;
        }
        const QString section = sections.at(rng->bounded(static_cast<int>(sections.size())));
        const QString name = names.at(rng->bounded(static_cast<int>(names.size())));
        const QString value = QStringLiteral("v%1 ä").arg(round);

        bool changed = false;
        const QByteArray after = SettingsStore::withText(file, section, name, value, &changed);
        ASSERT_TRUE(changed);
        const SettingsStore::Document before = SettingsStore::parse(file);
        const SettingsStore::Document now = SettingsStore::parse(after);
        const SettingsStore::Value* v = SettingsStore::find(now, section, name);
        ASSERT_NE(v, nullptr) << file.toStdString();
        EXPECT_EQ(v->text, value) << file.toStdString();
        // Every other value reads as before, in the same sections.
        for (const auto& s : before) {
            for (const auto& old : s.values) {
                if (s.name.compare(section, Qt::CaseInsensitive) == 0
                    && old.name.compare(name, Qt::CaseInsensitive) == 0)
                    continue;
                const SettingsStore::Value* kept = SettingsStore::find(now, s.name, old.name);
                ASSERT_NE(kept, nullptr) << file.toStdString();
                EXPECT_EQ(kept->isNumber, old.isNumber);
                EXPECT_EQ(kept->text, old.text);
                EXPECT_EQ(kept->number, old.number);
            }
        }
        // The file's lines are all still there, byte for byte and in order, but for the one
        // line of the value; at most a blank line, a header and the value line are new.
        auto linesOf = [](const QByteArray& bytes) {
            QList<QByteArray> list = QByteArray(bytes).replace('\r', "").split('\n');
            if (list.last().isEmpty())
                list.removeLast(); // the end of the last line, not a line
            return list;
        };
        const QList<QByteArray> afterLines = linesOf(after);
        const QList<QByteArray> fileLines = linesOf(file);
        // Longest common subsequence of the two line lists.
        const qsizetype n = fileLines.size();
        const qsizetype m = afterLines.size();
        QList<QList<int>> lcs(n + 1, QList<int>(m + 1, 0));
        for (qsizetype i = n - 1; i >= 0; --i)
            for (qsizetype j = m - 1; j >= 0; --j)
                lcs[i][j] = fileLines[i] == afterLines[j] ? lcs[i + 1][j + 1] + 1
                                                          : std::max(lcs[i + 1][j], lcs[i][j + 1]);
        const int missed = static_cast<int>(n) - lcs[0][0];
        EXPECT_LE(missed, 1) << file.toStdString() << "\n--\n" << after.toStdString();
        EXPECT_LE(afterLines.size() - (fileLines.size() - missed), 3) << after.toStdString();
    }
}

TEST_F(SettingsFile, WriteKeepsEveryOtherLineByteForByte)
{
    // Windows-1252 text, bytes that are no text at all, and a mid-file U+FEFF around the
    // values being written.
    QByteArray original = "[Network]\r\n"
                          "Host=M\xFCller-PC\r\n"
                          "Blob=\x01\x81\xFF\xC3(<NUL>bin\x8D\r\n"
                          "; K\xF6ln \x80\r\n"
                          "Port=10001\r\n"
                          "\xEF\xBB\xBFMarked=1\r\n"
                          "[Settings]\r\n"
                          "Language=ENG\r\n";
    original.replace("<NUL>", QByteArray(1, '\0'));
    struct Case {
        const char* section;
        const char* name;
        QString value;
        QByteArray from; // the bytes the write replaces ...
        QByteArray to;   // ... and what it puts in their place
    };
    const QList<Case> cases = {
        {"Network", "Port", "10002", "Port=10001", "Port=10002"},
        {"SETTINGS", "language", "GER", "Language=ENG", "Language=GER"},
        {"Network", "New", "x", "Marked=1\r\n", "Marked=1\r\nNew=x\r\n"},
        {"Monitor", "Lines", "500", "Language=ENG\r\n", "Language=ENG\r\n\r\n[Monitor]\r\nLines=500\r\n"},
        // The value's own line is written in UTF-8.
        {"Network", "Host", QStringLiteral("Köln"), "Host=M\xFCller-PC", "Host=K\xC3\xB6ln"},
    };
    for (const Case& c : cases) {
        writeRaw(original);
        SettingsStore s(path());
        const QString blob = s.read("Network", "Blob", "");
        ASSERT_TRUE(s.write(c.section, c.name, c.value)) << c.name;
        EXPECT_EQ(readRaw(), QByteArray(original).replace(c.from, c.to)) << c.name;
        EXPECT_EQ(SettingsStore(path()).read(c.section, c.name, ""), c.value) << c.name;
        EXPECT_EQ(SettingsStore(path()).read("Network", "Blob", ""), blob) << c.name;
    }
}

TEST_F(SettingsFile, NamesStartingWithZeroWidthNoBreakSpaceRoundTrip)
{
    // Only a file's first bytes are a byte order mark; U+FEFF anywhere else is a character.
    const QList<QPair<QString, QString>> keys = {
        {"Settings", QStringLiteral("\uFEFFName")},
        {"Settings", QStringLiteral("\uFEFF")},
        {"Settings", QStringLiteral("Name\uFEFF")},
        {QStringLiteral("\uFEFFSection"), "Name"},
    };
    SettingsStore s(path());
    ASSERT_TRUE(s.write("Settings", "Name", "plain"));
    for (const auto& [section, name] : keys) {
        ASSERT_TRUE(s.write(section, name, "first"));
        const QByteArray once = readRaw();
        ASSERT_TRUE(s.write(section, name, "second"));
        EXPECT_EQ(readRaw().count('\n'), once.count('\n')) << qPrintable(name);
        EXPECT_EQ(SettingsStore(path()).read(section, name, ""), QStringLiteral("second"));
    }
    EXPECT_EQ(SettingsStore(path()).read("Settings", "Name", ""), QStringLiteral("plain"));
    EXPECT_EQ(SettingsStore(path()).RegEnumValues(kRoot + "\\Settings").size(), 4);
}

TEST_F(SettingsFile, OpeningRemovesTemporaryFilesOfAnInterruptedSave)
{
    const QDir folder = QFileInfo(path()).absoluteDir();
    writeRaw("[Settings]\nLanguage=ENG\n");
    const QList<QPair<QString, bool>> files = {
        {"Zarvento.conf.aBcDeF", true},  // the form of a save's temporary file
        {"Zarvento.conf.QWERTZ", true},
        {"Zarvento.conf.backup", false}, // a copy made by hand
        {"Zarvento.conf.bak", false},
        {"Zarvento.conf.aBcDeFg", false},
        {"Zarvento.conf.ab1DeF", false},
        {"Other.conf.aBcDeF", false},
    };
    for (const auto& [name, stale] : files) {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Settings]\nLanguage=half");
    }
    SettingsStore s(path());
    for (const auto& [name, stale] : files)
        EXPECT_EQ(folder.exists(name), !stale) << qPrintable(name);
    EXPECT_EQ(s.read("Settings", "Language", ""), QStringLiteral("ENG"));
}

TEST_F(SettingsFile, FailedWriteIsReportedOnceUntilAWriteSucceeds)
{
    SettingsStore s(path());
    QStringList reports;
    s.setWriteFailureHandler([&](const QString& file, int error) { reports << file + ": " + SystemErrorText(error); });
    // A folder where the file should be: neither read nor replaced, also as root.
    QDir().mkpath(path());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(s.write("Settings", QStringLiteral("k%1").arg(i), "1"));
    EXPECT_EQ(reports, QStringList{QDir::toNativeSeparators(path()) + ": " + SystemErrorText(EISDIR)});

    ASSERT_TRUE(QDir().rmdir(path()));
    ASSERT_TRUE(s.write("Settings", "k0", "1"));
    ASSERT_TRUE(QFile::remove(path()));
    QDir().mkpath(path());
    EXPECT_FALSE(s.write("Settings", "k0", "2"));
    EXPECT_FALSE(s.write("Settings", "k1", "2"));
    EXPECT_EQ(reports.size(), 2);

    // In the program the report lands in the main window's status bar, in the program's
    // language from the first (made at start-up), and the path shortened in the middle
    // where the field is too narrow for all of it. A file that cannot be read starts the
    // window as a first run does: filling the screen.
    test::RecordingPresenter presenter;
    const QString program = dir.filePath(QStringLiteral("program"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVID_SHIPPED_DATA_DIR "/ORVID.DEF"), program + QStringLiteral("/ORVID.DEF")));
    Application app(path(), program);
    app.context().language->setPresenter(&presenter);
    app.Startup();
    frmMain* window = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QLabel* field = window->findChild<QLabel*>(QStringLiteral("lblMessage"));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->normalGeometry(), window->screen()->availableGeometry());
    window->showNormal();
    const QString first = field->toolTip();
    const QFontMetrics metrics = field->fontMetrics();
    const QString subject = QStringLiteral("Einstellungen nicht gespeichert: ");
    const QString lead = subject + QDir::toNativeSeparators(path());
    EXPECT_FALSE(app.context().settings->write("Settings", "Language", "ENG"));
    const QString whole = field->toolTip();
    EXPECT_EQ(first, whole);
    ASSERT_TRUE(whole.startsWith(lead + QStringLiteral(": ")) && whole.size() > lead.size() + 2) << qPrintable(whole);
    const QString tail = whole.mid(lead.size());
    const QString reason = tail.mid(2);
    // Room for the reason and a part of the path.
    const int room = metrics.horizontalAdvance(whole) - 100;
    window->resize(window->width() - field->contentsRect().width() + room, 480);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->contentsRect().width() == room; }, 2000));
    const QString shown = window->MessageText();
    EXPECT_LE(metrics.horizontalAdvance(shown), room) << qPrintable(shown);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Einstellungen nicht gespeichert: ") + path().left(4))) << qPrintable(shown);
    EXPECT_TRUE(shown.contains(QChar(0x2026)) && shown.endsWith(tail)) << qPrintable(shown);
    // The field grown wide enough: the whole text.
    window->resize(window->width() + 200, 480);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->MessageText() == whole; }, 2000)) << qPrintable(window->MessageText());
    // Room for the subject and a part of the reason: the path gives way whole, then the
    // reason's end, marked; the subject stays whole.
    const int part = metrics.horizontalAdvance(subject + reason.left(14) + QChar(0x2026));
    window->resize(window->width() - field->contentsRect().width() + part, 480);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->contentsRect().width() == part; }, 2000));
    const QString fewer = window->MessageText();
    EXPECT_TRUE(fewer.startsWith(subject + reason.left(4)) && fewer.endsWith(QChar(0x2026))) << qPrintable(fewer);
    EXPECT_LE(metrics.horizontalAdvance(fewer), part) << qPrintable(fewer);

    // A main window 640 pixels wide, its port set in the port dialog: the port's label takes
    // the message field, and the next write that fails brings the report back. The field
    // is narrower than the subject here (the longer port name leaves less room still): the
    // maker's mark and the system label's spare width give way, so the subject stays whole;
    // the tooltip keeps the whole text.
    const auto setPort = [window](const QString& port) {
        test::whenModal<frmPortOptions>([port](frmPortOptions* dialog) {
            dialog->findChild<QComboBox*>(QStringLiteral("cmbPort"))->setEditText(port);
            test::clickOn(dialog->findChild<QPushButton*>(QStringLiteral("btOK")));
        });
        window->findChild<QAction*>(QStringLiteral("mnPortOptions"))->trigger();
    };
    window->resize(640, 480);
    for (const QString& port : {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyORVID-USB1")}) {
        SCOPED_TRACE(port.toStdString());
        setPort(port);
        ASSERT_EQ(window->findChild<QLabel*>(QStringLiteral("lblPort"))->text(), port + QStringLiteral(",38400,n,8,1"));
        EXPECT_TRUE(window->MessageText().isEmpty());
        window->findChild<QAction*>(QStringLiteral("mnMonitor"))->trigger();
        app.monitor()->parentWidget()->close();   // stores its place and options: another failed write
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->MessageText().startsWith(subject + reason.left(8)); }, 2000))
            << qPrintable(window->MessageText());
        const QString narrow = window->MessageText();
        const int width = field->contentsRect().width();
        EXPECT_LE(metrics.horizontalAdvance(narrow), width) << width << " px: " << qPrintable(narrow);
        EXPECT_TRUE(narrow.endsWith(QChar(0x2026))) << qPrintable(narrow);
        EXPECT_EQ(field->toolTip(), whole);
    }

    // A fault names the path whose step failed (a file in the settings folder's place: the
    // folder; a local socket in the file's: the file), is said again when Optionen ->
    // Programm switches the language, and goes with the first write that succeeds once it
    // is mended (Fenster -> Default Positionen).
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVID_SHIPPED_DATA_DIR "/ORVILANG.ENG"), program + QStringLiteral("/ORVILANG.ENG")));
    app.context().language->LoadLanguageList();
    int16_t chosen = 0;
    window->setDialogRunner([&](const QString&) { app.context().language->SelectLanguage(chosen); });
    const auto choose = [&](int16_t language) {
        chosen = language;
        window->findChild<QAction*>(QStringLiteral("mnProgOptions"))->trigger();
    };
    const QString folder = QFileInfo(path()).absolutePath();
    QLocalServer socket;
    const struct {
        QString named, english, german;
    } faults[] = {
        {folder, QStringLiteral("Settings not saved: %1: The file already exists"),
         QStringLiteral("Einstellungen nicht gespeichert: %1: Die Datei ist bereits vorhanden")},
        {path(), QStringLiteral("Settings not saved: %1: No such device or address"),
         QStringLiteral("Einstellungen nicht gespeichert: %1: Das Gerät oder die Adresse gibt es nicht")},
    };
    window->ShowStatus(QString());
    for (const auto& fault : faults) {
        for (const int16_t language : {1, 0}) {
            choose(1 - language);
            if (fault.named == folder)
                ASSERT_TRUE(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
            else
                ASSERT_TRUE(QFile::remove(path()) && socket.listen(path()));
            EXPECT_FALSE(app.context().settings->write("Settings", "Language", "ENG"));
            choose(language);
            const QString text = language ? fault.english : fault.german;
            EXPECT_EQ(field->toolTip(), text.arg(QDir::toNativeSeparators(fault.named))) << qPrintable(field->toolTip());
            socket.close();
            QFile::remove(folder);
            window->findChild<QAction*>(QStringLiteral("mnDefaultPosition"))->trigger();
            EXPECT_TRUE(window->MessageText().isEmpty()) << qPrintable(window->MessageText());
        }
    }
}

// A full disk (here: a file-size limit, which makes writes fail the same way) must neither
// empty the file nor pass for success: the write reports false once, the file keeps every
// byte, the values in memory stay, and the next write that fits keeps them all.
TEST_F(SettingsFile, WriteThatDoesNotFitKeepsTheOldFileByteForByte)
{
    const QByteArray old = "; kept by hand\n[Settings]\nLanguage=ENG\nOrvidSystem=3\n\n[Port]\nName=/dev/ttyUSB0\n";
    writeRaw(old);
    SettingsStore s(path());
    QList<int> reports;
    s.setWriteFailureHandler([&](const QString&, int error) { reports << error; });
    const QDir folder = QFileInfo(path()).absoluteDir();
    {
        test::FileSizeLimit full(old.size() / 2);
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(s.write("Settings", "AutoDetect", "-1"));
        EXPECT_FALSE(s.write("Windows", "frmCommand", "200x100+0+0"));
    }
    EXPECT_EQ(readRaw(), old);
    EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"Zarvento.conf"});
    EXPECT_EQ(reports, QList<int>{EFBIG});
    EXPECT_EQ(s.read("Settings", "AutoDetect", "0"), QStringLiteral("0"));
    EXPECT_EQ(s.read("Port", "Name", ""), QStringLiteral("/dev/ttyUSB0"));

    ASSERT_TRUE(s.write("Settings", "AutoDetect", "-1"));
    EXPECT_TRUE(readRaw().startsWith(old.left(old.indexOf("\n\n[Port]")))) << readRaw().constData();
    EXPECT_EQ(SettingsStore(path()).RegEnumValues(kRoot + "\\Settings").size(), 3);
    EXPECT_EQ(SettingsStore(path()).read("Port", "Name", ""), QStringLiteral("/dev/ttyUSB0"));

    // The first write of a new file: no file at all rather than a cut one.
    ASSERT_TRUE(QFile::remove(path()));
    SettingsStore fresh(path());
    {
        test::FileSizeLimit full(8);
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(fresh.write("Settings", "Language", "ENG"));
    }
    EXPECT_TRUE(folder.entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(fresh.read("Settings", "Language", "GER"), QStringLiteral("GER"));
}

TEST_F(SettingsFile, FileChangedBehindTheStoresBackIsReadAgain)
{
    writeRaw("[Port]\nName=tty0\n");
    SettingsStore s(path());
    ASSERT_EQ(s.read("Port", "Name", ""), QStringLiteral("tty0"));
    // Once the file's times have moved on, only the stamp tells a change apart.
    ::usleep(1100000);
    ASSERT_EQ(s.read("Port", "Name", ""), QStringLiteral("tty0"));
    const QList<QPair<QByteArray, QString>> changes = {
        {"[Port]\nName=tty1\n", "tty1"},          // in place, same size
        {"[Port]\nName=/dev/ttyUSB0\n", "/dev/ttyUSB0"},
        {"[port]\r\nNAME=tty2\r\n", "tty2"},
    };
    for (const auto& [bytes, value] : changes) {
        writeRaw(bytes);
        EXPECT_EQ(s.read("Port", "Name", ""), value);
    }
    // Replaced by another store, then gone.
    ASSERT_TRUE(SettingsStore(path()).write("Port", "Name", "tty3"));
    EXPECT_EQ(s.read("Port", "Name", ""), QStringLiteral("tty3"));
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_EQ(s.read("Port", "Name", "none"), QStringLiteral("none"));
    ASSERT_TRUE(s.write("Port", "Other", "x"));
    EXPECT_EQ(readRaw(), QByteArray("[Port]\nOther=x\n"));
}

TEST_F(SettingsFile, LargeFileParsesInOnePass)
{
    // Many names in one section and many sections: a search per value or per section
    // while parsing would not get through this.
    constexpr int kNames = 200000;
    constexpr int kSections = 20000;
    QByteArray bytes = "[Big]\n";
    for (int i = 0; i < kNames; ++i)
        bytes += "Name" + QByteArray::number(i) + "=value " + QByteArray::number(i) + '\n';
    for (int i = 0; i < kSections; ++i)
        bytes += "[S" + QByteArray::number(i) + "]\nv=" + QByteArray::number(i) + '\n';
    writeRaw(bytes);
    SettingsStore s(path());
    for (int i = 0; i < kNames; ++i)
        ASSERT_EQ(s.read("Big", QStringLiteral("name%1").arg(i), ""), QStringLiteral("value %1").arg(i));
    for (int i = 0; i < kSections; ++i)
        ASSERT_EQ(s.read(QStringLiteral("s%1").arg(i), "V", ""), QString::number(i));
    EXPECT_EQ(s.RegEnumValues(kRoot + "\\Big").size(), kNames);
    EXPECT_EQ(s.RegEnumKeys(kRoot).size(), kSections + 1);

    // Writes keep the kept copy in step with the file.
    ASSERT_TRUE(s.write("Big", "Name7", "seven"));
    ASSERT_TRUE(s.write("Big", "Added", "new"));
    ASSERT_TRUE(s.write("S5", "v", "five"));
    bytes.replace("\nName7=value 7\n", "\nName7=seven\n");
    bytes.replace("Name199999=value 199999\n", "Name199999=value 199999\nAdded=new\n");
    bytes.replace("[S5]\nv=5\n", "[S5]\nv=five\n");
    EXPECT_EQ(readRaw(), bytes);
    SettingsStore fresh(path());
    for (const char* name : {"Name0", "Name7", "Added", "Name199999"})
        EXPECT_EQ(s.read("Big", name, ""), fresh.read("Big", name, "")) << name;
    EXPECT_EQ(s.read("S5", "v", ""), QStringLiteral("five"));
    EXPECT_EQ(s.read("S6", "v", ""), QStringLiteral("6"));
}

TEST_F(SettingsFile, NamesBeyondAsciiMatchWithoutRegardToCase)
{
    struct Case {
        QString written;
        QString asked;
        bool same;
    };
    const QList<Case> cases = {
        {QStringLiteral("Ärger"), QStringLiteral("äRGER"), true},
        {QStringLiteral("Σίσυφος"), QStringLiteral("ΣΊΣΥΦΟΣ"), true},
        {QStringLiteral("\U00010400x"), QStringLiteral("\U00010428X"), true}, // outside the BMP
        {QStringLiteral("Straße"), QStringLiteral("STRASSE"), false},
        {QStringLiteral("ab"), QStringLiteral("ba"), false},
    };
    SettingsStore s(path());
    for (const Case& c : cases) {
        ASSERT_TRUE(s.write(c.written, c.written, "v"));
        const QString expected = c.same ? QStringLiteral("v") : QStringLiteral("none");
        EXPECT_EQ(s.read(c.asked, c.asked, "none"), expected) << qPrintable(c.asked);
        EXPECT_EQ(SettingsStore(path()).read(c.asked, c.asked, "none"), expected) << qPrintable(c.asked);
    }
}
