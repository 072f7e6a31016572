// The INI reader with the Windows profile rules, on one file with every awkward case.
#include "foundations/IniFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace orvid;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

const QByteArray kLong(2000, 'L');

QByteArray trickyFile()
{
    return QByteArray("; comment line\r\n"
                      "Key0=before any section\r\n"
                      "\r\n"
                      "[Main]\r\n"
                      "Plain=value\r\n"
                      "  Spaced   =   padded value   \r\n"
                      "\tTabbed\t=\ttab\t\r\n"
                      "Quoted=\"  keeps inner blanks  \"\r\n"
                      "Single='single'\r\n"
                      "Mismatch=\"open\r\n"
                      "OnlyQuote=\"\r\n"
                      "Mixed=\"a'\r\n"
                      "Empty=\r\n"
                      "EmptyQuotes=\"\"\r\n"
                      "Dup=first\r\n"
                      "DUP=second\r\n"
                      "NoEquals line\r\n"
                      ";Commented=1\r\n"
                      "  ; IndentedComment=1\r\n"
                      "Equals=a=b\r\n"
                      "Nbsp=\xA0x\xA0\r\n"
                      "=no key\r\n"
                      "Umlaut=Gr\xF6\xDF" "e \x80 \x93x\x94\r\n"
                      "Long=")
        + kLong
        + QByteArray("\r\n"
                     "[ Spaced Section ]\n"
                     "K=v\n"
                     "[main]\n"
                     "Plain=from the second section\n"
                     "Extra=only here\n"
                     "[Empty]\n"
                     "[Last]\r"
                     "LoneCr=yes\r"
                     "NoNewline=end");
}

} // namespace

TEST(IniFile, ValuesFollowTheProfileRules)
{
    QTemporaryDir dir;
    const QString f = writeFile(dir, "ORVILANG.TST", trickyFile());
    const QString d = QStringLiteral("DEFAULT");
    EXPECT_EQ(ReadIni(f, "Main", "Plain", d), QStringLiteral("value"));
    EXPECT_EQ(ReadIni(f, "MAIN", "plain", d), QStringLiteral("value"));
    EXPECT_EQ(ReadIni(f, "Main", "Spaced", d), QStringLiteral("padded value"));
    EXPECT_EQ(ReadIni(f, "Main", "Tabbed", d), QStringLiteral("tab"));
    EXPECT_EQ(ReadIni(f, "Main", "Quoted", d), QStringLiteral("  keeps inner blanks  "));
    EXPECT_EQ(ReadIni(f, "Main", "Single", d), QStringLiteral("single"));
    EXPECT_EQ(ReadIni(f, "Main", "Mismatch", d), QStringLiteral("\"open"));
    EXPECT_EQ(ReadIni(f, "Main", "OnlyQuote", d), QStringLiteral("\""));
    EXPECT_EQ(ReadIni(f, "Main", "Mixed", d), QStringLiteral("\"a'"));
    EXPECT_EQ(ReadIni(f, "Main", "Empty", d), QString()); // present and empty: not the default
    EXPECT_EQ(ReadIni(f, "Main", "EmptyQuotes", d), QString());
    EXPECT_EQ(ReadIni(f, "Main", "dup", d), QStringLiteral("first"));
    EXPECT_EQ(ReadIni(f, "Main", "Equals", d), QStringLiteral("a=b"));
    EXPECT_EQ(ReadIni(f, "Main", "Nbsp", d), QStringLiteral("\u00A0x\u00A0")); // not a blank
    EXPECT_EQ(ReadIni(f, "Main", "Umlaut", d), QStringLiteral("Größe € “x”"));
    EXPECT_EQ(ReadIni(f, "Main", "Long", d), QString::fromLatin1(kLong)); // no length cut
    EXPECT_EQ(ReadIni(f, "spaced section", "k", d), QStringLiteral("v"));
    EXPECT_EQ(ReadIni(f, "Last", "LoneCr", d), QStringLiteral("yes"));
    EXPECT_EQ(ReadIni(f, "Last", "NoNewline", d), QStringLiteral("end"));

    // The first section of a name wins; a later one of the same name is not searched.
    EXPECT_EQ(ReadIni(f, "Main", "Extra", d), d);
    // Not keys: comments, a line without "=", a line before any section.
    EXPECT_EQ(ReadIni(f, "Main", "NoEquals line", d), d);
    EXPECT_EQ(ReadIni(f, "Main", ";Commented", d), d);
    EXPECT_EQ(ReadIni(f, "Main", "Commented", d), d);
    EXPECT_EQ(ReadIni(f, "Main", "Key0", d), d);
    // Missing key, section and file.
    EXPECT_EQ(ReadIni(f, "Main", "Nope", d), d);
    EXPECT_EQ(ReadIni(f, "Nope", "Plain", d), d);
    EXPECT_EQ(ReadIni(dir.filePath("missing.ini"), "Main", "Plain", d), d);
    EXPECT_EQ(ReadIni(QString(), "Main", "Plain", d), d);
    EXPECT_EQ(ReadIni(dir.path(), "Main", "Plain", d), d); // a folder, not a file

    QString out = QStringLiteral("stale");
    IniGetString(f, "Main", "Plain", d, out);
    EXPECT_EQ(out, QStringLiteral("value"));
}

TEST(IniFile, ListsKeysAndSectionsWithNulSeparators)
{
    QTemporaryDir dir;
    const QString f = writeFile(dir, "ORVID.DEF", trickyFile());
    const QChar z(0);
    const QString keys = ReadIni(f, "main", QString(), "DEFAULT");
    EXPECT_EQ(keys.split(z, Qt::SkipEmptyParts),
              (QStringList{"Plain", "Spaced", "Tabbed", "Quoted", "Single", "Mismatch", "OnlyQuote",
                           "Mixed", "Empty", "EmptyQuotes", "Dup", "DUP", "Equals", "Nbsp", "Umlaut",
                           "Long"}));
    EXPECT_TRUE(keys.endsWith(z));
    EXPECT_EQ(ReadIni(f, "Spaced Section", QString(), "DEFAULT"), QStringLiteral("K") + z);
    EXPECT_EQ(ReadIni(f, "Empty", QString(), "DEFAULT"), QString());
    EXPECT_EQ(ReadIni(f, "Nope", QString(), "DEFAULT"), QStringLiteral("DEFAULT"));
    EXPECT_EQ(ReadIni(f, QString(), QString(), "DEFAULT"),
              QStringLiteral("Main") + z + "Spaced Section" + z + "main" + z + "Empty" + z + "Last" + z);
    EXPECT_EQ(ReadIni(dir.filePath("none"), QString(), QString(), "DEFAULT"), QStringLiteral("DEFAULT"));
}

TEST(IniFile, ChangedFileIsReadAgain)
{
    QTemporaryDir dir;
    // Same size, written at once: the cached parse must not be served.
    const QString f = writeFile(dir, "ORVIDHX.INI", "[Head]\nType=AAAA\n");
    EXPECT_EQ(ReadIni(f, "Head", "Type", ""), QStringLiteral("AAAA"));
    for (const char* v : {"BBBB", "CCCC", "DDDD"}) {
        writeFile(dir, "ORVIDHX.INI", QByteArray("[Head]\nType=") + v + "\n");
        EXPECT_EQ(ReadIni(f, "Head", "Type", ""), QString::fromLatin1(v));
    }
    QFile::remove(f);
    EXPECT_EQ(ReadIni(f, "Head", "Type", "gone"), QStringLiteral("gone"));
    writeFile(dir, "ORVIDHX.INI", "[Head]\nType=back\n");
    EXPECT_EQ(ReadIni(f, "Head", "Type", "gone"), QStringLiteral("back"));
}

TEST(IniFile, Utf8FileWithByteOrderMark)
{
    QTemporaryDir dir;
    const QString f = writeFile(dir, "ORVILANG.UTF", "\xEF\xBB\xBF[ORVID]\nLanguage=Fran\xC3\xA7" "ais\n");
    EXPECT_EQ(ReadIni(f, "ORVID", "Language", ""), QStringLiteral("Français"));
}

TEST(IniFile, BinaryJunkNeverBreaksTheLookup)
{
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i)
        bytes.append(static_cast<char>((i * 7919) & 0xFF));
    bytes += "\n[Ok]\nKey=fine\n";
    const IniDocument doc = IniParse(bytes);
    EXPECT_EQ(IniLookup(doc, "Ok", "Key", "d"), QStringLiteral("fine"));
    EXPECT_EQ(IniLookup(IniParse(QByteArray()), "Ok", "Key", "d"), QStringLiteral("d"));
    EXPECT_EQ(IniLookup(IniParse("[A\nx=1"), "A", "x", "d"), QStringLiteral("1")); // unclosed header
}
