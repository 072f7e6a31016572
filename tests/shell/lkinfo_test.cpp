// The head-information box shows device text the way the rest of the program does.

#include "support/TestContext.h"

#include "link/LK.h"
#include "shell/frmLKInfo.h"

#include <gtest/gtest.h>

using namespace orvid;
using namespace orvid::test;

TEST(HeadInfoText, DeviceBytesAboveAsciiShowAsTheMonitorShowsThem)
{
    TestContext tc;
    LK lk(tc.ctx);
    tc.ctx.lk = &lk;
    lk.InitSystems();
    // 0x80-0x9F are no characters on screen: by number, but the two quotes stay quotes;
    // 0xA7 is the paragraph sign and 0xE4 an umlaut as in Windows-1252.
    lk.LkPutData(1, QByteArray("T\x80\x81\x8D\x9F" "E", 6));
    lk.LkPutData(2, QByteArray("V\x91" "1\x92 \xA7\xE4\x7F\r\n2", 11));
    frmLKInfo box(tc.ctx);
    box.Load(QStringLiteral("x"), QString(), QString());
    EXPECT_EQ(box.typeText(), QStringLiteral("T<128><129><141><159>E"));
    EXPECT_EQ(box.versionText(), QStringLiteral("V\u20181\u2019 §ä<127>\n2"));
    for (const QChar c : box.typeText() + box.versionText())
        EXPECT_FALSE(c.category() == QChar::Other_Control && c != u'\n') << int(c.unicode());
}
