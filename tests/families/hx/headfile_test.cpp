// The head-type file: unit models, head types, profile groups and their edge cases over a
// composed file, the shipped sample, and name lookup without regard to case.

#include "families/hx/HXHeadFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orvid::hx {
namespace {

void write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

class HeadFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("Picture"));
        write(dir.filePath(QStringLiteral("Picture/Unit4.PNG")), "x");
        write(dir.filePath(QStringLiteral("orvidhx.ini")),
              "[HX-LM4]\r\nTYPE=HEAD\r\nHEADCOUNT=2\r\nPICTURE=unit4.png\r\n"
              "[HX-LM4B]\nTYPE=HEAD\nPICTURE=.\\\\UNIT4.png\n"
              "[HX-LMD]\nTYPE=HEAD\nHEADCOUNT=3.7\nPROTOCOL=diagnose\n"
              "[HX-HALF]\nTYPE=HEAD\nHEADCOUNT=2.5\n"
              "[HX-ZERO]\nTYPE=HEAD\nHEADCOUNT=0\n"
              "[HX-FIVE]\nTYPE=HEAD\nHEADCOUNT=5\n"
              "[HX-TEXT]\nTYPE=HEAD\nHEADCOUNT=x\n"
              "[IND-A]\nTYPE=I\nPICTURE=missing.png\n"
              "[UHF-A]\nTYPE=VNB\nPT_I_MIN=10\nPT_I_MAX=300\nPT_D_MIN=5\nPT_D_MAX=100\nLANGUAGEORVIDIFY=UHF_LANGUAGE_A\n"
              "[UHF-B]\nTYPE=VNB\nAP_VALUES=CLRHV\nLANGUAGEORVIDIFY=uhf_language_a\n"
              "[IND-A]\nTYPE=M\n"
              "[UHF_LANGUAGE_A_1]\nID=1\nName=Region one\nCD_VALUES=4, 7,0,13,x\nPT_MIN=20\nPT_MAX=200\n"
              "[UHF_LANGUAGE_A_2]\nID=261\nName=Region two\nCD_READONLY=1\nNC_READONLY=1\nPT_T=D\n"
              "[UHF_LANGUAGE_A_3]\nID=1\nName=Duplicate\n"
              "[UHF_LANGUAGE_A_5]\nID=5\nName=Unreached\n"
              "[EMPTY_LANGUAGE_G_1]\nID=3\n");
        path = HXHeadFile::FindFile(dir.path());
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(HeadFile, UnitModels)
{
    ASSERT_TRUE(path.endsWith(QLatin1String("orvidhx.ini")));
    const HXHeadFile file(path);
    struct Case {
        const char* model;
        bool found;
        int headCount;
        int protocol;
        bool picture;
    };
    const Case cases[] = {
        {"HX-LM4", true, 2, 0, true},
        {"  HX-LM4  ", true, 2, 0, true},   // blanks around the model do not hide it
        {"HX-LM4B", true, 4, 0, true},      // picture name in another case
        {"HX-LMD", true, 4, 1, false},
        {"HX-HALF", true, 2, 0, false},
        {"HX-ZERO", true, 4, 0, false},
        {"HX-FIVE", true, 4, 0, false},
        {"HX-TEXT", true, 4, 0, false},
        {"HX-NONE", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        const auto model = file.UnitModel(QString::fromLatin1(c.model));
        ASSERT_EQ(model.has_value(), c.found) << c.model;
        if (!model)
            continue;
        EXPECT_EQ(model->headCount, c.headCount) << c.model;
        EXPECT_EQ(model->protocolType, c.protocol) << c.model;
        EXPECT_EQ(!model->picturePath.isEmpty(), c.picture) << c.model;
    }
}

TEST_F(HeadFile, HeadTypesAndProfiles)
{
    const HXHeadFile file(path);
    QStringList names;
    for (const HXHeadType& h : file.HeadTypes())
        names << h.name;
    // Unit models and "_LANGUAGE_" sections are no head types; the first IND-A wins.
    EXPECT_EQ(names, (QStringList{QStringLiteral("IND-A"), QStringLiteral("UHF-A"), QStringLiteral("UHF-B")}));
    ASSERT_NE(file.HeadType(QStringLiteral("ind-a")), nullptr);
    EXPECT_EQ(file.HeadType(QStringLiteral("IND-A"))->typ, QStringLiteral("I"));
    EXPECT_TRUE(file.HeadType(QStringLiteral("IND-A"))->picturePath.isEmpty());
    EXPECT_EQ(file.HeadType(QStringLiteral("IND-A"))->profiles, nullptr);

    const HXHeadType* a = file.HeadType(QStringLiteral("UHF-A"));
    const HXHeadType* b = file.HeadType(QStringLiteral("UHF-B"));
    ASSERT_TRUE(a && b && a->profiles);
    EXPECT_EQ(a->profiles.get(), b->profiles.get());   // one group, read once
    EXPECT_EQ(a->apValues, QStringLiteral("CL"));
    EXPECT_EQ(b->apValues, QStringLiteral("CLRHV"));
    const QList<HXProfile>& p = *a->profiles;
    ASSERT_EQ(p.size(), 2);   // duplicate ID dropped, list ends at the missing _4
    EXPECT_EQ(p[0].id, 1);
    EXPECT_EQ(p[0].cdValues, (QList<qint32>{4, 7, 13}));
    EXPECT_FALSE(p[0].cdReadonly);
    EXPECT_EQ(p[1].id, 261);
    EXPECT_TRUE(p[1].cdReadonly && p[1].ncReadonly);

    // PT limits: the head type's, narrowed by the profile.
    EXPECT_EQ(a->PTMin(nullptr), 10);
    EXPECT_EQ(a->PTMax(nullptr), 300);
    EXPECT_EQ(a->PTMin(&p[0]), 20);
    EXPECT_EQ(a->PTMax(&p[0]), 200);
    EXPECT_EQ(a->PTMin(&p[1]), 20);   // "D": 5..100, profile default minimum 20
    EXPECT_EQ(a->PTMax(&p[1]), 100);

    // A group whose first profile has no name is empty.
    EXPECT_TRUE(file.Group(QStringLiteral("EMPTY_LANGUAGE_G"))->isEmpty());
}

TEST_F(HeadFile, MissingFileAndShippedSample)
{
    const HXHeadFile none(dir.filePath(QStringLiteral("nothing.ini")));
    EXPECT_TRUE(none.HeadTypes().isEmpty());
    EXPECT_FALSE(none.UnitModel(QStringLiteral("HX-LM4")).has_value());

    const HXHeadFile shipped(HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR)));
    const auto unit = shipped.UnitModel(QStringLiteral("HX-LM4"));
    ASSERT_TRUE(unit.has_value());
    EXPECT_EQ(unit->headCount, 4);
    for (const char* head : {"IND-A", "MW-A", "UHF-A", "UHF-C"})
        EXPECT_NE(shipped.HeadType(QString::fromLatin1(head)), nullptr) << head;
    ASSERT_TRUE(shipped.HeadType(QStringLiteral("UHF-A"))->profiles);
    // The country profiles are offered by name, in the program's language.
    const QList<HXProfile>& profiles = *shipped.HeadType(QStringLiteral("UHF-A"))->profiles;
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_EQ(profiles[0].name, QStringLiteral("Europa"));
    EXPECT_EQ(profiles[1].name, QStringLiteral("Nordamerika"));
}

TEST(HeadFileNumbers, LeadingNumbersAndRounding)
{
    EXPECT_EQ(HeadCountOf(QStringLiteral("2")), 2);
    EXPECT_EQ(HeadCountOf(QStringLiteral("3.7")), 4);
    EXPECT_EQ(HeadCountOf(QStringLiteral("2.5")), 2);
    EXPECT_EQ(HeadCountOf(QStringLiteral("0.5")), 4);   // 0 after rounding
    EXPECT_EQ(HeadCountOf(QStringLiteral("")), 4);
    EXPECT_EQ(IniNumber(QStringLiteral("1e20")), 0);
    EXPECT_EQ(CdValuesOf(QStringLiteral("4, 7,0,13,x")), (QList<qint32>{4, 7, 13}));
    EXPECT_TRUE(CdValuesOf(QStringLiteral(",,")).isEmpty());
}

} // namespace
} // namespace orvid::hx
