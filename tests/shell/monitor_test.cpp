// Traffic monitor: character names, the rendering of telegrams into entries, the entry
// cap and the batched view, settings, closing and the log file.

#include "shell/CharNames.h"
#include "shell/frmMonitor.h"
#include "support/FakeShell.h"
#include "support/FileSizeLimit.h"
#include "support/NoAccessOverride.h"
#include "support/TestContext.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>

using namespace orvid;

namespace {

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(char(c));
    return b;
}

QStringList render(const char* prefix, const QByteArray& data, bool hex, int width)
{
    return frmMonitor::RenderEntries(QString::fromLatin1(prefix), data, hex, width, CharNames());
}

} // namespace

TEST(CharNames, NamesControlAndUnprintableCodesAndKeepsCharacters)
{
    const QStringList& n = CharNames();
    ASSERT_EQ(n.size(), 256);
    EXPECT_EQ(n[0], "<NUL>");
    EXPECT_EQ(n[1], "<1>");
    EXPECT_EQ(n[2], "<STX>");
    EXPECT_EQ(n[3], "<ETX>");
    EXPECT_EQ(n[6], "<ACK>");
    EXPECT_EQ(n[10], "<LF>");
    EXPECT_EQ(n[13], "<CR>");
    EXPECT_EQ(n[16], "<DLE>");
    EXPECT_EQ(n[21], "<NAK>");
    EXPECT_EQ(n[22], "<SYN>");
    EXPECT_EQ(n[31], "<31>");
    EXPECT_EQ(n[32], " ");
    EXPECT_EQ(n[126], "~");
    EXPECT_EQ(n[127], "<127>");
    EXPECT_EQ(n[128], "<128>");
    EXPECT_EQ(n[144], "<144>");
    EXPECT_EQ(n[145], QString(QChar(0x2018)));
    EXPECT_EQ(n[146], QString(QChar(0x2019)));
    EXPECT_EQ(n[147], "<147>");
    EXPECT_EQ(n[159], "<159>");
    EXPECT_EQ(n[160], QString(QChar(0xA0)));
    EXPECT_EQ(n[0xA7], QString(QChar(0xA7)));
    EXPECT_EQ(n[255], QString(QChar(0xFF)));
    InitCharNames(); // idempotent: the table a caller holds stays valid and unchanged
    EXPECT_EQ(&CharNames(), &n);
    EXPECT_EQ(n, BuildCharNames());
}

TEST(MonitorRendering, SingleCharacterShowsNameAndCodeWhateverTheWidth)
{
    EXPECT_EQ(render("R: ", bytes({6}), false, 80), QStringList{"R: <ACK> (HEX=06)"});
    EXPECT_EQ(render("R: ", bytes({13}), false, 1), QStringList{"R: <CR> (HEX=0D)"});
    EXPECT_EQ(render("R: ", bytes({0xFE}), false, 0), QStringList{QString("R: ") + QChar(0xFE) + " (HEX=FE)"});
    // In hex mode one byte is just its two digits and a blank.
    EXPECT_EQ(render("R: ", bytes({6}), true, 80), QStringList{"R: 06 "});
    EXPECT_TRUE(render("W: ", QByteArray(), false, 80).isEmpty());
    EXPECT_TRUE(render("W: ", QByteArray(), true, 80).isEmpty());
}

TEST(MonitorRendering, HexWrapsBeforeTheByteThatReachesTheWidth)
{
    // 3 + 5 * 3 = 18 < 20 fits; the sixth byte would reach 21 and starts a new entry.
    const QStringList entries = render("W: ", bytes({0x02, 0x41, 0x42, 0x43, 0x44, 0x45, 0x03}), true, 20);
    EXPECT_EQ(entries, (QStringList{"W: 02 41 42 43 44 ", "W: 45 03 "}));
}

TEST(MonitorRendering, TextWrapsWholeNamesAndRepeatsThePrefix)
{
    // "<STX>AB" reaches 10; "<ETX>" would reach 15 >= 12 and goes to the next entry whole.
    EXPECT_EQ(render("R: ", bytes({2, 'A', 'B', 3}), false, 12), (QStringList{"R: <STX>AB", "R: <ETX>"}));
    // An entry may not reach the width: 3 + 9 = 12 >= 12 wraps before the last name.
    EXPECT_EQ(render("F2: ", QByteArray("12345678"), false, 12), (QStringList{"F2: 1234567", "F2: 8"}));
    // 145 and 146 are characters, 144 and 147 names.
    EXPECT_EQ(render("R: ", bytes({144, 145, 146, 147}), false, 80),
              QStringList{QString("R: <144>") + QChar(0x2018) + QChar(0x2019) + "<147>"});
}

TEST(MonitorRendering, NarrowListNeverEmitsAnEntryHoldingOnlyThePrefix)
{
    // Widths at or below prefix + one name (and the 0 or negative width of an unmeasured
    // or tiny list) give one name or byte per entry, never a bare prefix.
    for (int width : {-2, 0, 3, 5, 8}) {
        const QStringList text = render("W: ", bytes({2, 'A', 3}), false, width);
        EXPECT_EQ(text, (QStringList{"W: <STX>", "W: A", "W: <ETX>"})) << "width " << width;
        const QStringList hex = render("F12: ", bytes({1, 2}), true, width);
        EXPECT_EQ(hex, (QStringList{"F12: 01 ", "F12: 02 "})) << "width " << width;
    }
}

class MonitorWindow : public ::testing::Test {
protected:
    MonitorWindow()
    {
        t.ctx.frame = &frame;
        monitor = std::make_unique<frmMonitor>(t.ctx);
    }

    QAbstractItemModel* viewModel() const
    {
        return monitor->findChild<QListView*>("lstComm")->model();
    }
    QRadioButton* modeButton(int index) const
    {
        for (auto* b : monitor->findChildren<QRadioButton*>("rdMode"))
            if (b->property("ctrlIndex").toInt() == index)
                return b;
        return nullptr;
    }
    QCheckBox* check(const char* name) const { return monitor->findChild<QCheckBox*>(name); }
    QString setting(const char* key) const
    {
        return t.settings->read("Monitor", key, "<missing>");
    }

    test::TestContext t;
    test::FakeMainFrame frame;
    std::unique_ptr<frmMonitor> monitor;
};

TEST_F(MonitorWindow, AddDoesNothingUntilShownAndAfterUnload)
{
    monitor->Add("W: ", "ABC");
    EXPECT_EQ(monitor->entryCount(), 0);
    EXPECT_FALSE(monitor->isVisible());

    monitor->Show();
    ASSERT_TRUE(monitor->Loaded());
    monitor->Add("W: ", "ABC");
    EXPECT_EQ(monitor->entryCount(), 1);

    monitor->Unload();
    EXPECT_FALSE(monitor->Loaded());
    EXPECT_EQ(monitor->entryCount(), 0);  // the list goes with the window
    monitor->Add("W: ", "ABC");
    EXPECT_EQ(monitor->entryCount(), 0);
}

// Measured with the list's font, no entry is wider than the room the style leaves its text
// in the visible area (wider text it cuts with "…"), in either mode, whatever its length.
TEST_F(MonitorWindow, EntriesFollowTheMeasuredWidthOfTheList)
{
    monitor->Show();
    modeButton(1)->setChecked(true);
    auto* list = monitor->findChild<QListView*>("lstComm");
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    QByteArray data;
    for (int i = 0; i < 200; ++i)
        data.append(char(i));
    const auto check = [&](int windowWidth) -> int {
        monitor->resize(windowWidth, 300);
        const int w = monitor->lineWidth();
        if (w <= 3 + 3) {
            ADD_FAILURE() << "list too narrow to test: " << w;
            return w;
        }
        monitor->findChild<QPushButton*>("btClear")->click();
        monitor->Add("W: ", data);
        QString joined;
        for (int i = 0; i < monitor->entryCount(); ++i) {
            const QString e = monitor->entry(i);
            EXPECT_TRUE(e.startsWith("W: "));
            EXPECT_LT(e.size(), w);
            joined += e.mid(3);
        }
        EXPECT_EQ(joined.size(), 600);
        EXPECT_TRUE(joined.startsWith("00 01 02 ") && joined.endsWith("C6 C7 "));
        for (int hex : {0, 1}) {
            modeButton(hex)->setChecked(true);
            for (int n = 1; n <= w + 3; ++n)
                monitor->Add("R: ", QByteArray("EVNTTAG SIMKLX0123456789:x%14%E5%FE%C\r\n").repeated(5).left(n));
        }
        monitor->flushView();
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QRect r = list->visualRect(list->model()->index(row, 0));
            const QString e = list->model()->index(row, 0).data().toString();
            const int room = std::min(r.right() + 1, list->viewport()->width()) - std::max(r.left(), 0) - 2 * margin;
            EXPECT_LE(QFontMetricsF(list->font()).horizontalAdvance(e), room)
                << windowWidth << " px, cut: " << e.toStdString();
        }
        return w;
    };
    const int wide = check(1200);
    for (int width : {333, 500, 740})
        check(width);
    const int narrow = check(200);  // held at the minimum size
    EXPECT_LT(narrow, wide);  // the width follows every resize
}

TEST_F(MonitorWindow, TimeoutIsShownAsTextOnlyWhenEnabled)
{
    monitor->Show();
    modeButton(1)->setChecked(true);
    monitor->Add("R: ", "<TIMEOUT>");
    EXPECT_EQ(monitor->entryCount(), 0);

    t.state.ShowTimeouts = true;
    monitor->Add("R: ", "<TIMEOUT>");
    ASSERT_EQ(monitor->entryCount(), 1);
    EXPECT_EQ(monitor->entry(0), "R: <TIMEOUT>");  // text even in hex mode
    monitor->Add("R: ", "AB");
    EXPECT_EQ(monitor->entry(1), "R: 41 42 ");
}

TEST_F(MonitorWindow, KeepsTheNewestThousandEntriesAndTheViewCatchesUp)
{
    monitor->Show();
    for (int i = 0; i < 1001; ++i)
        monitor->Add("W: ", QByteArray::number(i).rightJustified(4, '0'));
    ASSERT_EQ(monitor->entryCount(), 1000);
    EXPECT_EQ(monitor->entry(0), "W: 0001");
    EXPECT_EQ(monitor->entry(999), "W: 1000");

    // The view is told on its timer, without anyone calling in.
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewModel()->rowCount() == 1000; }, 2000));
    EXPECT_EQ(viewModel()->index(0, 0).data().toString(), "W: 0001");
    EXPECT_EQ(viewModel()->index(999, 0).data().toString(), "W: 1000");

    // A few more entries trim the front of the view in step with the list.
    for (int i = 1001; i < 1011; ++i)
        monitor->Add("W: ", QByteArray::number(i));
    monitor->flushView();
    EXPECT_EQ(viewModel()->rowCount(), 1000);
    EXPECT_EQ(viewModel()->index(0, 0).data().toString(), "W: 0011");
    EXPECT_EQ(viewModel()->index(999, 0).data().toString(), "W: 1010");

    // More than a whole list between two view updates.
    for (int i = 0; i < 2500; ++i)
        monitor->Add("R: ", QByteArray::number(i));
    monitor->flushView();
    ASSERT_EQ(viewModel()->rowCount(), 1000);
    for (int row : {0, 500, 999})
        EXPECT_EQ(viewModel()->index(row, 0).data().toString(), monitor->entry(row));
    EXPECT_EQ(monitor->entry(999), "R: 2499");

    monitor->findChild<QPushButton*>("btClear")->click();
    EXPECT_EQ(monitor->entryCount(), 0);
    EXPECT_EQ(viewModel()->rowCount(), 0);
    monitor->flushView();
    EXPECT_EQ(viewModel()->rowCount(), 0);
}

TEST_F(MonitorWindow, HugeTelegramIsCutToWhatTheListShowsAndSaysHowMuchWasDropped)
{
    monitor->Show();
    monitor->resize(600, 300);
    const int width = monitor->lineWidth();
    ASSERT_GT(width, 10);
    constexpr qsizetype kHuge = 50 * 1024 * 1024;  // a flushed backlog
    struct Case {
        bool hex;
        char byte;
        int charsPerByte;  // what one byte becomes in an entry
    } cases[] = {{false, 'A', 1}, {false, '\0', 5}, {true, 'A', 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex ? "hex" : c.charsPerByte == 1 ? "characters" : "names");
        modeButton(c.hex ? 1 : 0)->setChecked(true);
        monitor->findChild<QPushButton*>("btClear")->click();
        monitor->Add("R: ", "before");
        monitor->Add("F: ", QByteArray(kHuge, c.byte));

        // The whole list is this telegram: its beginning, then the note.
        ASSERT_EQ(monitor->entryCount(), frmMonitor::MaxEntries);
        qsizetype shown = 0;
        qsizetype held = 0;
        for (int i = 0; i < monitor->entryCount() - 1; ++i) {
            const QString e = monitor->entry(i);
            ASSERT_TRUE(e.startsWith("F: ")) << i;
            ASSERT_LT(e.size(), width) << i;
            shown += (e.size() - 3) / c.charsPerByte;
            held += e.size();
        }
        EXPECT_LT(held, qsizetype(frmMonitor::MaxEntries) * width);
        EXPECT_EQ(monitor->entry(monitor->entryCount() - 1),
                  QString("F: ... (%1 Bytes verworfen)").arg(kHuge - shown));

        // What follows is shown as always.
        monitor->Add("R: ", "OK");
        EXPECT_EQ(monitor->entry(monitor->entryCount() - 1), c.hex ? "R: 4F 4B " : "R: OK");
    }

    // A telegram that fits gets no note; the note follows the language.
    monitor->findChild<QPushButton*>("btClear")->click();
    modeButton(0)->setChecked(true);
    const QByteArray fits(width * 10, 'x');
    monitor->Add("W: ", fits);
    QString joined;
    for (int i = 0; i < monitor->entryCount(); ++i)
        joined += monitor->entry(i).mid(3);
    EXPECT_EQ(joined, QString(fits));

    t.writeProgramFile("ORVILANG.ENG", "[ORVID]\r\nLanguage=English\r\n"
                                       "[frmMonitor]\r\nDropped=(%s bytes dropped)\r\n");
    t.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    t.language->SelectLanguageByCode(english);
    monitor->Add("W: ", QByteArray(kHuge, 'x'));
    EXPECT_TRUE(QRegularExpression("^W: \\([1-9][0-9]* bytes dropped\\)$")
                    .match(monitor->entry(monitor->entryCount() - 1)).hasMatch())
        << monitor->entry(monitor->entryCount() - 1).toStdString();
}

TEST_F(MonitorWindow, SettingsAreReadOnLoadAndWrittenOnClose)
{
    t.settings->write("Monitor", "ShowDynamic", "YES");
    t.settings->write("Monitor", "ShowStatic", "nein");
    t.settings->write("Monitor", "Mode", "1");
    frame.setMenuChecked(MenuEntry::Monitor, true);

    monitor->Show();
    EXPECT_TRUE(check("chkDynamic")->isChecked());
    EXPECT_FALSE(check("chkStatic")->isChecked());
    EXPECT_TRUE(modeButton(1)->isChecked());
    EXPECT_TRUE(monitor->hexMode());

    check("chkDynamic")->setCheckState(Qt::Unchecked);
    check("chkStatic")->setCheckState(Qt::PartiallyChecked);  // "not unchecked" is "Yes"
    modeButton(0)->setChecked(true);
    monitor->close();  // the user closing the window runs the same handling

    EXPECT_FALSE(monitor->Loaded());
    EXPECT_EQ(setting("ShowDynamic"), "No");
    EXPECT_EQ(setting("ShowStatic"), "Yes");
    EXPECT_EQ(setting("Mode"), "0");
    EXPECT_FALSE(frame.menuChecked(MenuEntry::Monitor));
}

TEST_F(MonitorWindow, DefaultsApplyWithoutStoredSettingsAndUnknownModeKeepsText)
{
    t.settings->write("Monitor", "Mode", "2");
    monitor->Show();
    EXPECT_FALSE(check("chkDynamic")->isChecked());
    EXPECT_TRUE(check("chkStatic")->isChecked());
    EXPECT_FALSE(monitor->hexMode());
    monitor->Unload();
    EXPECT_EQ(setting("ShowDynamic"), "No");
    EXPECT_EQ(setting("ShowStatic"), "Yes");
    EXPECT_EQ(setting("Mode"), "0");
}

TEST_F(MonitorWindow, SavesEveryEntryAsWindows1252WithCrLf)
{
    monitor->Show();
    const QString path = t.dir.filePath("traffic.LOG");

    ASSERT_TRUE(monitor->SaveTo(path));  // an empty list gives an empty file
    QFile empty(path);
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_EQ(empty.readAll(), QByteArray());
    empty.close();

    QByteArray expected;
    for (int c = 0x80; c <= 0xFF; ++c) {
        monitor->Add("R: ", QByteArray(1, char(c)));
        expected += "R: ";
        if (c == 145 || c == 146 || c >= 160)
            expected += char(c);
        else
            expected += "<" + QByteArray::number(c) + ">";
        expected += " (HEX=" + QByteArray::number(c, 16).toUpper() + ")\r\n";
    }
    ASSERT_TRUE(monitor->SaveTo(path));  // replaces the earlier file
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);
    EXPECT_TRUE(t.presenter.requests.isEmpty());
}

// The number is the system's error number, and the description is what it means, in German.
TEST_F(MonitorWindow, SaveFailureShowsMessageSixWithNumberAndDescription)
{
    monitor->Show();
    monitor->Add("W: ", "ABC");
    QFile file(t.dir.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir(t.dir.path()).mkdir("locked"));
    ASSERT_TRUE(QFile::setPermissions(t.dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
    struct Case {
        const char* path;
        QString args;
    } cases[] = {
        {"file/traffic.LOG", QString::number(ENOTDIR) + " - Ein Teil des Pfades ist kein Verzeichnis"},
        {"locked/traffic.LOG", QString::number(EACCES) + " - Zugriff verweigert"},  // as root too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        t.presenter.requests.clear();
        test::NoAccessOverride asAnyUser;
        ASSERT_TRUE(asAnyUser.active());
        EXPECT_FALSE(monitor->SaveTo(t.dir.filePath(c.path)));
        ASSERT_EQ(t.presenter.numbers(), QList<int>{6});
        const MessageRequest& r = t.presenter.requests.first();
        EXPECT_EQ(r.args, c.args);
        EXPECT_TRUE(r.text.contains("Fehler beim Schreiben der Logdatei!")) << r.text.toStdString();
        EXPECT_TRUE(r.text.contains(r.args)) << r.text.toStdString();
        EXPECT_EQ(monitor->entryCount(), 1);  // the list is unchanged
    }
    QFile::setPermissions(t.dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A save onto a full disk (here: a file-size limit) keeps the earlier log byte for byte
// and says why, whether the list is short or holds a full thousand entries.
TEST_F(MonitorWindow, SaveThatDoesNotFitKeepsTheOldLogByteForByte)
{
    monitor->Show();
    const QString path = t.dir.filePath("traffic.LOG");
    QByteArray old;
    for (int i = 0; i < 40; ++i)
        old += "R: an earlier session " + QByteArray::number(i) + "\r\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(old), old.size());
    }
    for (const int lines : {10, 1000}) {
        SCOPED_TRACE(lines);
        monitor->findChild<QPushButton*>("btClear")->click();
        for (int i = 0; i < lines; ++i)
            monitor->Add("W: ", "TELEGRAM " + QByteArray::number(i));
        ASSERT_EQ(monitor->entryCount(), lines);
        t.presenter.requests.clear();
        {
            test::FileSizeLimit full(64); // less than either list takes
            ASSERT_TRUE(full.active());
            EXPECT_FALSE(monitor->SaveTo(path));
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), old);
        EXPECT_EQ(QDir(t.dir.path()).entryList({"traffic.LOG*"}, QDir::Files | QDir::Hidden),
                  QStringList{"traffic.LOG"});
        ASSERT_EQ(t.presenter.numbers(), QList<int>{6});
        EXPECT_EQ(t.presenter.requests.first().args, QString::number(EFBIG) + " - Die Datei ist zu groß");
        EXPECT_EQ(monitor->entryCount(), lines);
    }
}

TEST_F(MonitorWindow, InsideTheMainWindowClosingTheFrameUnloadsTheMonitor)
{
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    QMdiSubWindow* sub = area.addSubWindow(monitor.get());
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->hide();
    frame.setMenuChecked(MenuEntry::Monitor, true);

    monitor->Show();
    EXPECT_TRUE(sub->isVisible());
    EXPECT_TRUE(monitor->isVisible());
    // Placed at the bottom-right of the area, half its width.
    EXPECT_EQ(sub->geometry().right(), area.viewport()->width() - 1);
    EXPECT_EQ(sub->geometry().bottom(), area.viewport()->height() - 1);
    EXPECT_NEAR(monitor->width(), 400, 20);
    monitor->Add("W: ", "X");
    EXPECT_EQ(monitor->entryCount(), 1);

    sub->close();  // the user closes the frame
    EXPECT_FALSE(monitor->Loaded());
    EXPECT_FALSE(sub->isVisible());
    EXPECT_FALSE(frame.menuChecked(MenuEntry::Monitor));
    EXPECT_EQ(setting("Mode"), "0");
    monitor->Add("W: ", "X");
    EXPECT_EQ(monitor->entryCount(), 0);

    monitor->Show();  // opened again from the menu
    EXPECT_TRUE(monitor->Loaded());
    EXPECT_TRUE(sub->isVisible());
    monitor->setParent(nullptr);  // the fixture owns the monitor
}
