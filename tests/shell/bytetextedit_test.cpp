// The data box with its representation options, as the write dialogs use it.

#include "support/TestContext.h"

#include "shell/ByteTextEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextDocument>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>


namespace orvid::test {
namespace {

// A window holding the box and the three options, as a dialog builds them.
struct Editor {
    explicit Editor(AppContext& ctx, ByteTextEdit::Typing typing = ByteTextEdit::FilterTyping)
    {
        auto* layout = new QHBoxLayout(&window);
        box = ByteTextEdit::CreateBox(&window, 48);
        layout->addWidget(box);
        options = ByteTextEdit::CreateOptions(&window, layout);
        edit = new ByteTextEdit(ctx, box, options, typing, &window);
    }
    QWidget window;
    QLineEdit* box = nullptr;
    QList<QRadioButton*> options;
    ByteTextEdit* edit = nullptr;
};

TEST(ByteTextEdit, OptionsAreTheUntranslatedControlArrayAndStartAtText)
{
    TestContext tc;
    Editor e(tc.ctx);
    EXPECT_EQ(e.box->objectName(), QStringLiteral("txtData"));
    // A long read in decimal must not be cut by the box.
    EXPECT_GT(e.box->maxLength(), 4 * 65536);
    ASSERT_EQ(e.options.size(), 3);
    const QStringList texts = {QStringLiteral("ASCII"), QStringLiteral("HEX"), QStringLiteral("DEZ")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(e.options[i]->objectName(), QStringLiteral("rdDataMode"));
        EXPECT_EQ(e.options[i]->property("ctrlIndex").toInt(), i);
        EXPECT_EQ(e.options[i]->property("langTag").toString(), QStringLiteral("NOLANG"));
        EXPECT_EQ(e.options[i]->text(), texts[i]);
    }
    EXPECT_TRUE(e.options[0]->isChecked());
    EXPECT_EQ(e.edit->representation(), 0);
}

TEST(ByteTextEdit, EveryByteSurvivesClicksThroughAllRepresentations)
{
    TestContext tc;
    Editor e(tc.ctx);
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    e.edit->setBytes(all);
    // The nine by name, every other byte one character.
    EXPECT_EQ(e.box->text().size(), 256 - 9 + QStringLiteral("NULSTXETXACKLFCRDLENAKSYN").size() + 2 * 9);
    EXPECT_TRUE(e.box->text().startsWith(QStringLiteral("<NUL>\u2401<STX><ETX>\u2404")));
    for (int rep : {1, 2, 0, 2, 1}) {
        e.options[rep]->click();
        ASSERT_EQ(e.edit->representation(), rep);
        QByteArray back("stale");
        ASSERT_TRUE(e.edit->bytes(&back));
        EXPECT_EQ(back, all) << "after switching to " << rep;
    }
    EXPECT_EQ(e.box->text().left(9), QStringLiteral("00 01 02 "));

    // The programmatic switch converts like a click; out of range means text.
    e.box->setText(QStringLiteral("41 42"));
    EXPECT_TRUE(e.edit->setRepresentation(7));
    EXPECT_TRUE(e.options[0]->isChecked());
    EXPECT_EQ(e.box->text(), QStringLiteral("AB"));
    EXPECT_TRUE(e.edit->setRepresentation(2));
    EXPECT_EQ(e.box->text(), QStringLiteral("065 066 "));
    EXPECT_TRUE(tc.presenter.requests.isEmpty());
}

TEST(ByteTextEdit, TextViewTooltipTellsTheNamesInTheCurrentLanguage)
{
    TestContext tc;
    Editor e(tc.ctx);
    // Shown as plain text: the names must not be taken for markup.
    EXPECT_EQ(e.box->toolTip(), Qt::convertFromPlainText(ByteTextEdit::NamesTip(tc.ctx.language)));
    EXPECT_TRUE(e.box->toolTip().contains(QStringLiteral("&lt;LT&gt;CR&gt;")));
    EXPECT_TRUE(e.box->toolTip().contains(QStringLiteral("Steuerzeichen")));
    e.options[1]->click();
    EXPECT_TRUE(e.box->toolTip().isEmpty()); // nothing is named in the number views
    e.options[0]->click();
    EXPECT_FALSE(e.box->toolTip().isEmpty());

    tc.writeProgramFile(QStringLiteral("ORVILANG.ENG"),
                        "[ORVID]\r\nLanguage=English\r\n[ByteTextEdit]\r\ntxtData=Names: <CR>\r\n");
    tc.language->LoadLanguageList();
    QString english = QStringLiteral("English");
    tc.language->SelectLanguageByCode(english);
    Editor translated(tc.ctx);
    EXPECT_EQ(translated.box->toolTip(), Qt::convertFromPlainText(QStringLiteral("Names: <CR>")));
}

TEST(ByteTextEdit, ASwitchThatDoesNotConvertKeepsTheOptionAndSelectsTheFault)
{
    TestContext tc;
    Editor e(tc.ctx);
    e.options[1]->click();
    e.box->setText(QStringLiteral("41 1FF 42"));
    e.options[2]->click();
    // One message only: setting the old option back must not refuse a second time.
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_TRUE(e.options[1]->isChecked());
    EXPECT_FALSE(e.options[2]->isChecked());
    EXPECT_EQ(e.edit->representation(), 1);
    EXPECT_EQ(e.box->text(), QStringLiteral("41 1FF 42"));
    EXPECT_EQ(e.box->selectedText(), QStringLiteral("1FF"));

    EXPECT_FALSE(e.edit->setRepresentation(0));
    EXPECT_EQ(tc.presenter.numbers(), (QList<int>{20, 20}));
    EXPECT_EQ(e.edit->representation(), 1);
}

TEST(ByteTextEdit, ReadingBackRefusesACharacterWithoutAByte)
{
    TestContext tc;
    Editor e(tc.ctx);
    e.box->setText(QStringLiteral("ok\u4E00!"));
    QByteArray out("stale");
    EXPECT_FALSE(e.edit->bytes(&out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(tc.presenter.numbers(), QList<int>{20});
    EXPECT_EQ(e.box->selectedText(), QStringLiteral("\u4E00"));
    EXPECT_EQ(e.box->selectionStart(), 2);
}

TEST(ByteTextEdit, TypingIsHeldToTheRepresentationOnlyWhenAsked)
{
    TestContext tc;
    Editor filtered(tc.ctx);
    filtered.options[2]->click();
    QTest::keyClicks(filtered.box, QStringLiteral("065 x0A66"));
    EXPECT_EQ(filtered.box->text(), QStringLiteral("065 066"));
    filtered.options[1]->click();
    EXPECT_EQ(filtered.box->text(), QStringLiteral("41 42 "));
    QTest::keyClicks(filtered.box, QStringLiteral("fg"));
    EXPECT_EQ(filtered.box->text(), QStringLiteral("41 42 f"));

    Editor free(tc.ctx, ByteTextEdit::AnyTyping);
    free.options[1]->click();
    QTest::keyClicks(free.box, QStringLiteral("4x"));
    EXPECT_EQ(free.box->text(), QStringLiteral("4x"));
    QByteArray out;
    EXPECT_FALSE(free.edit->bytes(&out));
    EXPECT_EQ(free.box->selectedText(), QStringLiteral("4x"));
}

TEST(ByteTextEdit, AnOptionArrayReportsTheIndexThatBecomesChecked)
{
    QWidget parent;
    auto* layout = new QHBoxLayout(&parent);
    QList<int> clicks;
    const auto options = CreateOptionArray(&parent, layout, QStringLiteral("rdIDCode"),
                                           {QStringLiteral("a"), QStringLiteral("b")}, true,
                                           [&clicks](int i) { clicks.append(i); });
    ASSERT_EQ(options.size(), 2);
    EXPECT_EQ(layout->count(), 2);
    EXPECT_FALSE(options[1]->property("langTag").isValid()); // translated
    options[1]->click();
    options[0]->click();
    options[0]->click(); // already checked: no second report
    EXPECT_EQ(clicks, (QList<int>{1, 0}));
}

} // namespace
} // namespace orvid::test
