// The VNB head parameters: the dialog's form model without widgets (fill and compose with
// the head type's and profile's limits, the channel exclusion, the kept polarisation), and
// the parameter action end to end against the simulated unit (exact RP/WP telegrams, what
// is read as unavailable, only changed parameters written, failures listed, the country
// profile chooser, the factory reset).

#include "HXUnitFixture.h"

#include "families/hx/HXParameters.h"

namespace orvid::test {
namespace {
using namespace hxfixture;
using hx::ParameterList;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray valueOf(const ParameterList& params, const char* name)
{
    const clsParameter* p = hx::FindParameter(params, QString::fromLatin1(name));
    return p ? hx::ValueBytes(*p) : QByteArray("<none>");
}

ParameterList available(ParameterList params)
{
    for (clsParameter& p : params)
        p.setAvailable(true);
    return params;
}

class HXParameterForm : public ::testing::Test {
protected:
    HXParameterForm() : file(hx::HXHeadFile::FindFile(QStringLiteral(ORVID_SHIPPED_DATA_DIR))) {}
    const hx::HXHeadType& head(const char* name) const { return *file.HeadType(QString::fromLatin1(name)); }
    hx::HXHeadFile file;
};

TEST_F(HXParameterForm, FillFromTheWireForms)
{
    struct Case {
        const char* head;
        const char* name;
        QByteArray value;
        std::function<void(const hx::VNBForm&)> check;
    };
    const Case cases[] = {
        {"UHF-A", "PT", bytes({0, 0x32, 0, 0x64}), [](const hx::VNBForm& f) {
             EXPECT_EQ(f.pt[0], QStringLiteral("50"));
             EXPECT_EQ(f.pt[1], QStringLiteral("100"));
             EXPECT_TRUE(f.pt[2].isEmpty());
         }},
        // Without a profile the channels 4, 7, 10, 13; a channel not offered shows "-/-".
        {"UHF-A", "CD", bytes({13, 5, 4}), [](const hx::VNBForm& f) {
             EXPECT_EQ(f.cdItems, (QList<int>{0, 4, 7, 10, 13}));
             EXPECT_EQ(f.cd, (std::array<int, 4>{13, 0, 4, 0}));
         }},
        {"UHF-A", "AP", "L", [](const hx::VNBForm& f) { EXPECT_EQ(f.ap, 1); EXPECT_FALSE(f.apKept); }},
        // "V" is not offered by a "CL" head: the first entry shows, the value is kept.
        {"UHF-A", "AP", "V", [](const hx::VNBForm& f) {
             EXPECT_EQ(f.apItems, (QList<int>{0, 1}));
             EXPECT_EQ(f.ap, 0);
             EXPECT_TRUE(f.apKept);
         }},
        {"UHF-B", "AP", "V", [](const hx::VNBForm& f) { EXPECT_EQ(f.ap, 4); EXPECT_FALSE(f.apKept); }},
        {"UHF-A", "SM", bytes({1, 0x2C}), [](const hx::VNBForm& f) { EXPECT_EQ(f.sm, QStringLiteral("300")); }},
        {"UHF-A", "SM", bytes({1}), [](const hx::VNBForm& f) { EXPECT_EQ(f.sm, QStringLiteral("0")); }},
        {"UHF-A", "MB", bytes({9}), [](const hx::VNBForm& f) { EXPECT_EQ(f.mb, 2); }},
        {"UHF-A", "QV", "M", [](const hx::VNBForm& f) { EXPECT_EQ(f.qv, 1); }},
        // Profile 1 offers its own channels; profile 261 locks CD and NC.
        {"UHF-A", "RC", bytes({0, 1}), [](const hx::VNBForm& f) {
             ASSERT_NE(f.profile, nullptr);
             EXPECT_EQ(f.cdItems, (QList<int>{0, 4, 7, 13}));
             EXPECT_TRUE(f.enabled.value(QStringLiteral("CD")));
         }},
        {"UHF-A", "RC", bytes({1, 5}), [](const hx::VNBForm& f) {
             ASSERT_NE(f.profile, nullptr);
             EXPECT_EQ(f.profile->id, 261);
             EXPECT_FALSE(f.enabled.value(QStringLiteral("CD")));
             EXPECT_FALSE(f.enabled.value(QStringLiteral("NC")));
             EXPECT_TRUE(f.enabled.value(QStringLiteral("PT")));
         }},
        {"UHF-A", "RC", bytes({0, 9}), [](const hx::VNBForm& f) { EXPECT_EQ(f.profile, nullptr); }},
    };
    for (const Case& c : cases) {
        ParameterList params = available(hx::NewParameters(true));
        hx::FindParameter(params, QString::fromLatin1(c.name))->DefaultValue(QString::fromLatin1(c.value));
        SCOPED_TRACE(std::string(c.name) + " " + c.value.toHex().toStdString());
        c.check(hx::FillVNBForm(params, head(c.head)));
    }
    // An unavailable parameter's controls are off; NC is not even filled.
    ParameterList params = available(hx::NewParameters(false));
    hx::FindParameter(params, QStringLiteral("NC"))->setAvailable(false);
    const hx::VNBForm f = hx::FillVNBForm(params, head("UHF-C"));
    EXPECT_FALSE(f.enabled.value(QStringLiteral("NC")));
    EXPECT_TRUE(f.nc.isEmpty());
    EXPECT_TRUE(f.enabled.value(QStringLiteral("E5")));
}

TEST_F(HXParameterForm, ComposeChecksEveryRangeAtItsBounds)
{
    struct Case {
        const char* field;
        QString text;
        QByteArray written;    // empty: refused
        qint64 min, max;
    };
    const Case cases[] = {
        {"NC", QStringLiteral("1"), bytes({1}), 1, 50},      {"NC", QStringLiteral("50"), bytes({50}), 1, 50},
        {"NC", QStringLiteral("0"), {}, 1, 50},              {"NC", QStringLiteral("51"), {}, 1, 50},
        {"TA", QStringLiteral("255"), bytes({255}), 1, 255}, {"TA", QStringLiteral("0"), {}, 1, 255},
        {"E5", QStringLiteral("253"), bytes({253}), 0, 255}, {"E5", QStringLiteral("256"), {}, 0, 255},
        {"QW", QStringLiteral("7"), bytes({7}), 0, 7},       {"QW", QStringLiteral("9"), {}, 0, 7},
        {"NT", QStringLiteral("0"), bytes({0}), 0, 255},     {"NT", QStringLiteral("256"), {}, 0, 255},
        {"SM", QStringLiteral("300"), bytes({1, 0x2C}), 0, 65535},
        {"SM", QStringLiteral("65535"), bytes({255, 255}), 0, 65535},
        {"SM", QStringLiteral("70000"), {}, 0, 65535},
        // UHF-A without profile: 10..300 mW.
        {"PT", QStringLiteral("10"), bytes({0, 10}), 10, 300}, {"PT", QStringLiteral("300"), bytes({1, 0x2C}), 10, 300},
        {"PT", QStringLiteral("9"), {}, 10, 300},              {"PT", QStringLiteral("301"), {}, 10, 300},
        {"PT", QString(), {}, 10, 300},   // no power at all is refused, box 0
    };
    for (const Case& c : cases) {
        ParameterList params = available(hx::NewParameters(false));
        hx::VNBForm f = hx::FillVNBForm(params, head("UHF-A"));
        const QString name = QString::fromLatin1(c.field);
        QString* box = name == "NC" ? &f.nc : name == "TA" ? &f.ta : name == "E5" ? &f.e5 : name == "QW" ? &f.qw
                     : name == "NT" ? &f.nt : name == "SM" ? &f.sm : &f.pt[0];
        *box = c.text;
        const auto fault = hx::ComposeVNBForm(f, head("UHF-A"), params);
        SCOPED_TRACE(std::string(c.field) + " " + c.text.toStdString());
        if (c.written.isEmpty()) {
            ASSERT_TRUE(fault.has_value());
            EXPECT_EQ(fault->name, name);
            EXPECT_EQ(fault->min, c.min);
            EXPECT_EQ(fault->max, c.max);
            EXPECT_EQ(fault->box, 0);
            // The values before the faulty one are set already: AP comes first.
            EXPECT_EQ(valueOf(params, "AP"), "C");
        } else {
            EXPECT_FALSE(fault.has_value());
            EXPECT_EQ(valueOf(params, c.field), c.written);
        }
    }

    // PT words of the non-empty boxes in order; the profile narrows the limits (261: 20..100).
    ParameterList params = available(hx::NewParameters(true));
    hx::FindParameter(params, QStringLiteral("RC"))->DefaultValue(QString::fromLatin1(bytes({1, 5})));
    hx::VNBForm f = hx::FillVNBForm(params, head("UHF-A"));
    f.pt = {QString(), QStringLiteral("100"), QString(), QStringLiteral("20")};
    EXPECT_FALSE(hx::ComposeVNBForm(f, head("UHF-A"), params).has_value());
    EXPECT_EQ(valueOf(params, "PT"), bytes({0, 100, 0, 20}));
    EXPECT_EQ(valueOf(params, "CD"), bytes({4, 10, 7, 13}));   // locked: not composed
    f.pt[3] = QStringLiteral("101");
    const auto fault = hx::ComposeVNBForm(f, head("UHF-A"), params);
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->box, 3);
    EXPECT_EQ(fault->max, 100);

    // Channel exclusion, and the CD bytes of the boxes that show a channel, in box order.
    params = available(hx::NewParameters(false));
    f = hx::FillVNBForm(params, head("UHF-A"));
    EXPECT_EQ(f.cd, (std::array<int, 4>{4, 10, 7, 13}));
    f.cd[0] = 10;
    hx::ExcludeChannel(f, 0);
    EXPECT_EQ(f.cd, (std::array<int, 4>{10, 0, 7, 13}));
    EXPECT_FALSE(hx::ComposeVNBForm(f, head("UHF-A"), params).has_value());
    EXPECT_EQ(valueOf(params, "CD"), bytes({10, 7, 13}));

    // A polarisation the head type does not offer stays unless the user picks one.
    params = available(hx::NewParameters(false));
    hx::FindParameter(params, QStringLiteral("AP"))->DefaultValue(QStringLiteral("V"));
    f = hx::FillVNBForm(params, head("UHF-A"));
    EXPECT_FALSE(hx::ComposeVNBForm(f, head("UHF-A"), params).has_value());
    EXPECT_EQ(valueOf(params, "AP"), "V");
    EXPECT_FALSE(hx::FindParameter(params, QStringLiteral("AP"))->Changed());
    f.apKept = false;
    f.ap = 1;
    EXPECT_FALSE(hx::ComposeVNBForm(f, head("UHF-A"), params).has_value());
    EXPECT_EQ(valueOf(params, "AP"), "L");
}

// ---- the action against the simulator -------------------------------------------------------

class HXParameterAction : public HXE2E {
protected:
    HXParameterAction()
    {
        sim.setHead(4, "UHF-C");
        sim.withTag(3, [](SimHX::Tag& t) { t.rc = bytes({0, 1}); });
        hx.parameterDialog = [this](const hx::HXHeadType& head, ParameterList& params) {
            ++dialogs;
            seen = params;
            headName = head.name;
            if (edit)
                edit(params);
            return answer;
        };
    }
    QList<QByteArray> writes() const
    {
        QList<QByteArray> w;
        for (const QByteArray& t : sim.received())
            if (t.startsWith("WP"))
                w.append(t);
        return w;
    }
    int dialogs = 0;
    ParameterList seen;
    QString headName;
    std::function<void(ParameterList&)> edit;
    bool answer = true;
};

TEST_F(HXParameterAction, ReadsEditsAndWritesOnlyTheChanged)
{
    selectUnit();
    sim.withTag(3, [](SimHX::Tag& t) { t.missing.insert("E5"); });
    edit = [](ParameterList& p) {
        hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("PT")), bytes({0, 0x32, 0, 0xC8}));
        hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("NC")), bytes({5}));
        hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("TA")), bytes({3}));   // as read: unchanged
    };
    hx.EditParameters(3);
    ASSERT_EQ(dialogs, 1);
    EXPECT_EQ(headName, QStringLiteral("UHF-A"));
    EXPECT_TRUE(sim.received().contains(T(QByteArray("RP3UPT\0\0", 8))));
    EXPECT_EQ(valueOf(seen, "CD"), bytes({4, 7, 10, 13}));
    EXPECT_EQ(valueOf(seen, "RC"), bytes({0, 1}));
    // Status 4 on E5 disables E5 only.
    for (const clsParameter& p : seen)
        EXPECT_EQ(p.Available(), p.Name() != QLatin1String("E5")) << p.Name().toStdString();
    EXPECT_EQ(writes(), (QList<QByteArray>{T(QByteArray("WP3UPT\0\x04\0\x32\0\xC8", 12)), T(QByteArray("WP3UNC\0\x01\x05", 9))}));
    EXPECT_EQ(sim.tag(3).params.value("NC"), bytes({5}));
    EXPECT_TRUE(view.lines.isEmpty());

    // A rejected write gives its line; the others are still written.
    sim.clearTranscript();
    sim.withTag(3, [](SimHX::Tag& t) { t.paramStatus.insert("WPNC", 'A'); });
    edit = [](ParameterList& p) {
        hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("NC")), bytes({7}));
        hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("SM")), bytes({1, 0x2C}));
    };
    hx.EditParameters(3);
    EXPECT_EQ(writes().size(), 2);
    EXPECT_EQ(view.lines, QList<QByteArray>{"STATUS: Kopf 3: NC: A - Es befinden sich mehrere Transponder im Lesekopfbereich."});
    EXPECT_EQ(sim.tag(3).params.value("SM"), bytes({1, 0x2C}));

    // Cancelled: nothing written.
    sim.clearTranscript();
    answer = false;
    hx.EditParameters(3);
    EXPECT_TRUE(writes().isEmpty());
}

TEST_F(HXParameterAction, FailedAndSilentReads)
{
    selectUnit();
    // Status 5 on AP: no dialog, nothing written, the line says why.
    sim.withTag(3, [](SimHX::Tag& t) { t.paramStatus.insert("RPAP", '5'); });
    hx.EditParameters(3);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(view.lines, QList<QByteArray>{"STATUS: Kopf 3: AP: 5 - Kein Tag im Lesebereich"});

    // A read without reply leaves the parameter unavailable (never shown, never written).
    sim.clearTranscript();
    sim.silenceNext("RP");   // channel 4's head has no profile: AP is read first
    edit = [](ParameterList& p) { hx::SetValueBytes(*hx::FindParameter(p, QStringLiteral("AP")), "L"); };
    hx.EditParameters(4);
    ASSERT_EQ(dialogs, 1);
    EXPECT_FALSE(hx::FindParameter(seen, QStringLiteral("AP"))->Available());
    EXPECT_TRUE(hx::FindParameter(seen, QStringLiteral("PT"))->Available());
    EXPECT_EQ(hx::FindParameter(seen, QStringLiteral("RC")), nullptr);
    EXPECT_TRUE(writes().isEmpty());

    // A head that sends no transmit channels: the value read is empty, not the channels a
    // fresh head would have.
    sim.withTag(4, [](SimHX::Tag& t) { t.params["CD"] = QByteArray(); });
    edit = nullptr;
    hx.EditParameters(4);
    ASSERT_EQ(dialogs, 2);
    EXPECT_TRUE(hx::FindParameter(seen, QStringLiteral("CD"))->Available());
    EXPECT_EQ(valueOf(seen, "CD"), QByteArray());
}

TEST_F(HXParameterAction, CountryProfileChooserAndFactoryReset)
{
    selectUnit();
    sim.withTag(3, [](SimHX::Tag& t) { t.rc = bytes({0, 0}); });
    // Closed without a choice: nothing read after RC.
    chooserAnswer = 0;
    hx.EditParameters(3);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(sent("RP3UAP"), 0);
    // Chosen: the profile's ID is written, then everything read.
    chooserAnswer = 2;
    hx.EditParameters(3);
    EXPECT_TRUE(sim.received().contains(T(QByteArray("WP3URC\0\x02\x01\x05", 10))));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(valueOf(seen, "RC"), bytes({1, 5}));

    // The factory reset: RD with an empty value, then the defaults read as defaults.
    sim.withTag(3, [](SimHX::Tag& t) { t.params["NC"] = bytes({9}); });
    hx.PutData(KRItem::HeadNumber, QStringLiteral("3"));
    clsParameter rd;
    rd.Init(QStringLiteral("RD"), QString());
    EXPECT_GE(hx.WriteCmd(rd), 1);
    EXPECT_TRUE(sim.received().contains(T(QByteArray("WP3URD\0\0", 8))));
    ParameterList params = hx::NewParameters(true);
    EXPECT_EQ(hx::ReadAllParameters(hx, params), 0);
    EXPECT_EQ(valueOf(params, "NC"), bytes({4}));
    EXPECT_EQ(valueOf(params, "PT"), bytes({0, 0x64}));
    for (const clsParameter& p : params)
        EXPECT_FALSE(p.Changed());
}

TEST_F(HXNet, ParametersOverTcp)
{
    ASSERT_NE(port, 0);
    sim.withTag(3, [](SimHX::Tag& t) { t.rc = bytes({0, 1}); });
    ASSERT_TRUE(select(10));
    ParameterList seen;
    hx.parameterDialog = [&](const hx::HXHeadType&, ParameterList& params) {
        seen = params;
        hx::SetValueBytes(*hx::FindParameter(params, QStringLiteral("NC")), bytes({5}));
        return true;
    };
    hx.EditParameters(3);
    EXPECT_EQ(valueOf(seen, "PT"), bytes({0, 0x64}));
    EXPECT_TRUE(hx::FindParameter(seen, QStringLiteral("PT"))->Available());
    EXPECT_EQ(sim.tag(3).params.value("NC"), bytes({5}));
    // On Ethernet the parameter data begins with a 00 byte.
    bool read = false, written = false;
    for (const QByteArray& r : sim.netRequests()) {
        read = read || r.endsWith(QByteArray("\0UPT\0\0", 6));
        written = written || r.endsWith(QByteArray("\0UNC\0\x01\x05", 7));
    }
    EXPECT_TRUE(read);
    EXPECT_TRUE(written);
}

} // namespace
} // namespace orvid::test
