// Opening the help file: a missing one is named in a message, a desktop that cannot open it
// is reported, not ignored.
#include "support/TestContext.h"

#include "foundations/Help.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvid;

namespace {

class UrlSink : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls << url; }

public:
    QList<QUrl> urls;
};

QtMessageHandler g_previous = nullptr;
QStringList* g_warnings = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_warnings && type == QtWarningMsg) {
        g_warnings->append(message);
        return;
    }
    g_previous(type, context, message);
}

} // namespace

TEST(Help, AMissingFileIsNamedInAMessageAndAFailedOpeningInTheStatusBar)
{
    // The offscreen platform has no desktop to open files with: every opening fails there.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "needs the offscreen platform";
    test::TestContext tc;
    frmMain window(tc.ctx);
    QAction* contents = nullptr;
    for (QAction* a : window.findChildren<QAction*>())
        if (a->objectName() == QLatin1String("mnContents"))
            contents = a;
    ASSERT_NE(contents, nullptr);

    // No help file: every request (a dialog's Hilfe button, Hilfe -> Inhalt) gets one
    // message naming the file looked for, in the program's language; the status bar has
    // nothing to add.
    const QString missing = QDir::toNativeSeparators(QFileInfo(tc.language->helpFile()).absoluteFilePath());
    EXPECT_TRUE(ShowHelp(tc.ctx, 600));
    contents->trigger();
    ASSERT_EQ(tc.presenter.numbers(), (QList<int>{9, 9}));
    for (const MessageRequest& r : tc.presenter.requests)
        EXPECT_EQ(r.text, QStringLiteral("Die Hilfedatei ") + missing + QStringLiteral(" ist nicht vorhanden."));
    EXPECT_TRUE(window.MessageText().isEmpty());
    tc.presenter.requests.clear();

    const QString help = tc.writeProgramFile(QFileInfo(tc.language->helpFile()).fileName(), "help");
    QStringList warnings;
    g_warnings = &warnings;
    g_previous = qInstallMessageHandler(captureWarnings);
    const bool opened = ShowHelp(tc.ctx, 0);
    contents->trigger();
    qInstallMessageHandler(g_previous);
    g_warnings = nullptr;

    EXPECT_FALSE(opened);
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
    EXPECT_TRUE(warnings.join(u'\n').contains(QFileInfo(help).fileName())) << warnings.join(u'\n').toStdString();
    EXPECT_EQ(window.MessageText(),
              QStringLiteral("Hilfe konnte nicht geöffnet werden: ") + QFileInfo(help).absoluteFilePath());

    // With a viewer for files the same call succeeds and the old message is replaced by
    // whatever comes next, not by a stale failure.
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    window.ShowStatus(QString());
    EXPECT_TRUE(ShowHelp(tc.ctx, 0));
    contents->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(sink.urls.size(), 2);
    EXPECT_TRUE(window.MessageText().isEmpty());
}

#include "help_test.moc"
