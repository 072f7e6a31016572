// The write dialogs that take tag bytes in three views (system R data, QTX11/QTX14
// fixcode, microwave system D data) and the inductive system D write dialog (text view
// only) send exactly the bytes of the shared table, whichever view the bytes were shown in
// first and however the views were switched; a name typed in the text view goes out as its
// control character, and no dialog cuts a long text of names. The dialogs run offscreen
// against recording stand-ins for the current system window.

#include "support/ByteTextCases.h"
#include "support/FakeSystems.h"
#include "support/TestContext.h"

#include "families/common/DataItems.h"
#include "families/common/TagWriters.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "families/common/TagDataList.h"
#include "families/kd/frmSystemKDWrite.h"
#include "families/wd/frmSystemWDWrite.h"
#include "families/wd/frmSystemWDWriteIDCode.h"
#include "link/LK.h"
#include "shell/ByteText.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace orvid::test {
namespace {

class KRWriter : public FakeSystemForm, public ITagWriter, public IQTX11FixcodeWriter {
public:
    using FakeSystemForm::FakeSystemForm;
    bool WriteTag(int16_t, int16_t, bool, int32_t, int length, const QByteArray& data,
                  const QByteArray&) override
    {
        EXPECT_EQ(length, data.size());
        written.append(data);
        return true;
    }
    bool WriteQTX11Fixcode(int16_t, bool, const QByteArray& code) override
    {
        written.append(code);
        return true;
    }
    QList<QByteArray> written;
};

class WDTarget : public IWDWriteTarget {
public:
    WDEntries Entries() const override { return entries; }
    bool WriteTag(bool isData, int16_t, int16_t, const QString&, quint16, int length,
                  const QByteArray& data) override
    {
        EXPECT_TRUE(isData);
        EXPECT_EQ(length, data.size());
        written.append(data);
        return true;
    }
    WDEntries entries;
    QList<QByteArray> written;
};

class KDTarget : public IKDWriteTarget {
public:
    QVariant Item(int16_t) const override { return 0; }
    QString HeadLabel() const override { return QStringLiteral("KOPF"); }
    const TagDataList* ReplyList() const override { return &list; }
    KDWriteResult WriteTag(int, int, quint16, int, int, const QByteArray& data) override
    {
        written.append(data);
        return KDWriteResult::Written;
    }
    TagDataList list;
    QList<QByteArray> written;
};

class ByteTextDialogs : public ::testing::Test {
protected:
    ByteTextDialogs()
    {
        lk = std::make_unique<LK>(tc.ctx);
        tc.ctx.lk = lk.get();
        lk->InitSystems();
        lk->RegisterSystem(2, [this] { return &kr; });
        tc.state.CurrentSystem = 2;
        kr.data[KRItem::DataRepresentation] = 0;
        kr.data[KRItem::Tagcode] = 0;
        kr.data[KRItem::OperationMode] = 0;
        kr.data[KRItem::StartAddress] = 0;
        kr.data[KRItem::HeadNumber] = QStringLiteral("1");
        kr.data[KRItem::ModeFrameEnabled] = true;
        kr.data[KRItem::HeadFrameVisible] = false;
    }

    // What each dialog sends for bytes shown in view first and switched through every
    // view; with typed given, for that text typed into its empty text view instead.
    QByteArray viaKRWrite(const QByteArray& bytes, int first, const QString* typed = nullptr)
    {
        kr.written.clear();
        kr.data[KRItem::DataRepresentation] = first;
        lk->LkPutData(KRItem::LastData, bytes);
        frmSystemKRWrite dialog(tc.ctx);
        dialog.Load(4);
        enter(dialog.txtData, dialog.rdDataMode, first, typed);
        dialog.btOK->click();
        return kr.written.value(0, "<nothing written>");
    }
    QByteArray viaFixcode(const QByteArray& bytes, int first, const QString* typed = nullptr)
    {
        kr.written.clear();
        kr.data[KRItem::DataRepresentation] = first;
        frmSystemHXWriteFixcode dialog(tc.ctx);
        dialog.Load();
        // The dialog starts empty: the bytes are entered in the first view.
        dialog.txtData->setText(ByteText::ToView(bytes, first));
        enter(dialog.txtData, dialog.rdDataMode, first, typed);
        dialog.btOk->click();
        return kr.written.value(0, "<nothing written>");
    }
    QByteArray viaWDWrite(const QByteArray& bytes, int first, const QString* typed = nullptr)
    {
        WDTarget target;
        target.entries.lastData = bytes;
        target.entries.dataRepresentation = first;
        frmSystemWDWrite dialog(tc.ctx);
        dialog.setTarget(&target);
        dialog.Load();
        enter(dialog.txtData, dialog.rdDataMode, first, typed);
        dialog.btOk->click();
        return target.written.value(0, "<nothing written>");
    }
    // Inductive system D: the bytes as the reply line the dialog starts from.
    QByteArray viaKDWrite(const QByteArray& bytes, const QString* typed = nullptr)
    {
        KDTarget target;
        target.list.AddLine(QStringLiteral("KOPF 1: "), bytes);
        frmSystemKDWrite dialog(tc.ctx);
        dialog.setTarget(&target);
        dialog.Load();
        if (typed)
            enter(dialog.txtData, {}, 0, typed);
        QTest::mouseClick(dialog.buttons.ok, Qt::LeftButton);
        return target.written.value(0, "<nothing written>");
    }
    // The views switched through, or the text typed where a keyboard has the
    // characters and pasted otherwise.
    static void enter(QLineEdit* box, const QList<QRadioButton*>& views, int first, const QString* typed)
    {
        if (!typed) {
            for (int rep : {(first + 1) % 3, 0, (first + 2) % 3, first})
                views[rep]->click();
            return;
        }
        box->clear();
        if (std::all_of(typed->begin(), typed->end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
            QTest::keyClicks(box, *typed);
        else
            box->insert(*typed);
    }

    TestContext tc;
    Journal journal;
    std::unique_ptr<LK> lk;
    KRWriter kr{tc.ctx, QStringLiteral("frmSystemKR"), journal};
};

TEST_F(ByteTextDialogs, EveryDialogSendsTheBytesOfTheTable)
{
    // The fixcode takes five bytes at most, an inductive system D write 255 (longer ones
    // are refused, not cut).
    const auto fits = [](const QByteArray& b) { return b.size() <= frmSystemHXWriteFixcode::kFixcodeBytes; };
    const auto fitsKD = [](const QByteArray& b) { return b.size() <= 255; };
    // 255 bytes that the text view all names: 1,275 characters, none of them cut.
    const ByteTextCase named{"255 named bytes", QByteArray(255, '\0'), QStringLiteral("<NUL>").repeated(255)};
    const QList<ByteTextCase> shown = ByteTextShownCases() << named;
    for (const ByteTextCase& c : shown) {
        SCOPED_TRACE(c.what);
        for (int first : {0, 1, 2}) {
            EXPECT_EQ(viaKRWrite(c.bytes, first), c.bytes) << "system R, first view " << first;
            EXPECT_EQ(viaWDWrite(c.bytes, first), c.bytes) << "system D, first view " << first;
            if (fits(c.bytes)) {
                EXPECT_EQ(viaFixcode(c.bytes, first), c.bytes) << "fixcode, first view " << first;
            }
        }
        if (fitsKD(c.bytes)) {
            EXPECT_EQ(viaKDWrite(c.bytes), c.bytes) << "inductive system D";
        }
    }
    for (const ByteTextCase& c : ByteTextTypedCases() + shown) {
        SCOPED_TRACE(c.what);
        if (c.view.isEmpty() && !c.bytes.isEmpty())
            continue; // no view given for this case
        EXPECT_EQ(viaKRWrite({}, 0, &c.view), c.bytes) << "system R";
        EXPECT_EQ(viaWDWrite({}, 0, &c.view), c.bytes) << "system D";
        if (fits(c.bytes)) {
            EXPECT_EQ(viaFixcode({}, 0, &c.view), c.bytes) << "fixcode";
        }
        if (fitsKD(c.bytes)) {
            EXPECT_EQ(viaKDWrite({}, &c.view), c.bytes) << "inductive system D";
        }
    }
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST_F(ByteTextDialogs, TheDataBoxesShowTheNamesAndTellHowInTheirTooltip)
{
    lk->LkPutData(KRItem::LastData, QByteArray("\x02<CR>\r", 6));
    frmSystemKRWrite krWrite(tc.ctx);
    krWrite.Load(4);
    EXPECT_EQ(krWrite.txtData->text(), QStringLiteral("<STX><LT>CR><CR>"));
    frmSystemHXWriteFixcode fixcode(tc.ctx);
    fixcode.Load();
    WDTarget target;
    target.entries.lastData = QByteArray("\0A", 2);
    frmSystemWDWrite wdWrite(tc.ctx);
    wdWrite.setTarget(&target);
    wdWrite.Load();
    EXPECT_EQ(wdWrite.txtData->text(), QStringLiteral("<NUL>A"));
    for (QLineEdit* box : {krWrite.txtData, fixcode.txtData, wdWrite.txtData})
        EXPECT_TRUE(box->toolTip().contains(QStringLiteral("&lt;LT&gt;"))) << box->window()->objectName().toStdString();

    // The ID-code dialog takes hex digits only: no text view, nothing named.
    frmSystemWDWriteIDCode idCode(tc.ctx);
    idCode.setTarget(&target);
    idCode.Load();
    EXPECT_EQ(idCode.findChildren<QRadioButton*>(QStringLiteral("rdDataMode")).size(), 0);
}

} // namespace
} // namespace orvid::test
