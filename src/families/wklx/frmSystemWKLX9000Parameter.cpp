#include "frmSystemWKLX9000Parameter.h"

#include "families/common/Exchange.h"
#include "foundations/ControlUtils.h"
#include "foundations/Utils.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvid {

namespace {

QComboBox* combo(QWidget* parent, const char* name, const QList<QPair<QString, int>>& entries)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    for (const auto& e : entries)
        c->addItem(e.first, e.second);
    return c;
}

// A box that takes only the characters of allowed (upper-casing typed letters when upper);
// anything else is removed at once, with a beep.
QLineEdit* filteredBox(QWidget* parent, const char* name, const QString& allowed, int maxLength, bool upper)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0)
        box->setMaxLength(maxLength);
    QObject::connect(box, &QLineEdit::textChanged, box, [box, allowed, upper](const QString& text) {
        QString kept;
        for (QChar c : upper ? text.toUpper() : text)
            if (allowed.contains(c))
                kept += c;
        if (kept != text) {
            if (kept.size() != text.size())
                QApplication::beep();
            box->setText(kept);
        }
    });
    return box;
}

const QString kDigits = QStringLiteral("0123456789 ");

} // namespace

frmSystemWKLX9000Parameter::frmSystemWKLX9000Parameter(AppContext& ctx, clsCollection<clsParameter>& parameters,
                                                       QWidget* parent)
    : FamilyDialog(ctx, "frmSystemWKLX9000Parameter", QStringLiteral("System M KLX9000 Parameter"), parent),
      parameters_(parameters)
{
    const QString aus = QStringLiteral("Aus"), ein = QStringLiteral("Ein");
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    const auto frame = [this](const char* name, const QString& title) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    const auto row = [](QGroupBox* box, QFormLayout* form, const char* label, const QString& text, QWidget* w) {
        auto* l = new QLabel(text, box);
        l->setObjectName(QString::fromLatin1(label));
        form->addRow(l, w);
    };
    // A row whose control has its unit beside it, in a label of its own.
    const auto unitRow = [](QGroupBox* box, QFormLayout* form, const char* label, const QString& text, QWidget* w,
                            const char* unitLabel, const QString& unit) {
        auto* l = new QLabel(text, box);
        l->setObjectName(QString::fromLatin1(label));
        auto* u = new QLabel(unit, box);
        u->setObjectName(QString::fromLatin1(unitLabel));
        u->setProperty("langTag", QStringLiteral("NOLANG"));
        auto* field = new QHBoxLayout;
        field->addWidget(w, 1);
        field->addWidget(u);
        form->addRow(l, field);
    };

    auto* radio = frame("frameRadio", QStringLiteral("Radio Interface"));
    auto* f1 = new QFormLayout(radio);
    cmbCarrier = combo(radio, "cmbCarrier", {{aus, 0}, {ein, 1}});
    cmbFhssMode = combo(radio, "cmbFhssMode", {{aus, 0}, {ein, 1}, {QStringLiteral("Adaptiv"), 2}});
    txtFhssBand = filteredBox(radio, "txtFhssBand", QStringLiteral("ABCDEFGHIJKLMNOP "), 0, true);
    cmbFrequency = combo(radio, "cmbFrequency", {{aus, 0}, {ein, 1}, {QStringLiteral("Adaptiv"), 2}});
    cmbFrequency->setProperty("langTag", QStringLiteral("NOLANG"));
    cmbReadRange = combo(radio, "cmbReadRange", {});
    row(radio, f1, "lblCarrier", QStringLiteral("Träger"), cmbCarrier);
    row(radio, f1, "lblFhssMode", QStringLiteral("Frequenz Hopping"), cmbFhssMode);
    row(radio, f1, "lblFhssBand", QStringLiteral("Frequenz Band"), txtFhssBand);
    unitRow(radio, f1, "lblFrequency", QStringLiteral("Träger Frequenz"), cmbFrequency, "lblFrequencyUnit",
            QStringLiteral("MHz"));
    row(radio, f1, "lblReadRange", QStringLiteral("Lesebereich"), cmbReadRange);
    grid->addWidget(radio, 0, 0);

    auto* idTag = frame("frameIdTag", QStringLiteral("ID-Tag"));
    auto* f2 = new QFormLayout(idTag);
    cmbTagBitrate = combo(idTag, "cmbTagBitrate", {{QStringLiteral("niedrig"), 0}, {QStringLiteral("hoch"), 1}});
    cmbFilterType = combo(idTag, "cmbFilterType",
                          {{QStringLiteral("aus"), 0}, {QStringLiteral("einmal"), 1},
                           {QStringLiteral("periodisch"), 2}, {QStringLiteral("Report"), 3}});
    txtFilterTimeout = filteredBox(idTag, "txtFilterTimeout", kDigits, 6, false);
    cmbReadBeep = combo(idTag, "cmbReadBeep", {{aus, 0}, {ein, 1}});
    const QList<QPair<QString, int>> crc = {{QStringLiteral("ignorieren"), 0}, {QStringLiteral("verwerfen"), 1}};
    cmbTagCrc = combo(idTag, "cmbTagCrc", crc);
    cmbTagDataCrc = combo(idTag, "cmbTagDataCrc", crc);
    row(idTag, f2, "lblTagBitrate", QStringLiteral("Tag Bitrate"), cmbTagBitrate);
    row(idTag, f2, "lblFilterType", QStringLiteral("Filtertyp"), cmbFilterType);
    unitRow(idTag, f2, "lblFilterTimeout", QStringLiteral("Filter Timeout"), txtFilterTimeout, "lblFilterTimeoutUnit",
            QStringLiteral("ms"));
    row(idTag, f2, "lblReadBeep", QStringLiteral("Lese BEEP"), cmbReadBeep);
    row(idTag, f2, "lblTagCrc", QStringLiteral("TAG CRC Fehler"), cmbTagCrc);
    row(idTag, f2, "lblTagDataCrc", QStringLiteral("Daten CRC Fehler"), cmbTagDataCrc);
    grid->addWidget(idTag, 0, 1);

    // Precise positioning and the fan output are no reader parameters of this program:
    // they keep what the user enters while the dialog is open, and nothing is sent.
    auto* apos = frame("frameExactPosition", QStringLiteral("Präzise Positionierung"));
    auto* f3 = new QFormLayout(apos);
    cmbAposMode = combo(apos, "cmbAposMode", {{aus, 0}, {ein, 1}});
    txtAposThreshold = filteredBox(apos, "txtAposThreshold", kDigits, 5, false);
    txtAposTimeout = filteredBox(apos, "txtAposTimeout", kDigits, 3, false);
    cmbAposOutput = combo(apos, "cmbAposOutput", {{QStringLiteral("inaktiv"), 0}, {QStringLiteral("Pulse"), 1}});
    row(apos, f3, "lblAposMode", QStringLiteral("Präzise Postionierung"), cmbAposMode);
    row(apos, f3, "lblAposThreshold", QStringLiteral("Schwelle"), txtAposThreshold);
    unitRow(apos, f3, "lblAposTimeout", QStringLiteral("Timeout"), txtAposTimeout, "lblAposTimeoutUnit",
            QStringLiteral("ms"));
    row(apos, f3, "lblAposOutput", QStringLiteral("Ausgang 1"), cmbAposOutput);
    grid->addWidget(apos, 1, 0);

    auto* periph = frame("framePeriphericals", QStringLiteral("Peripherie"));
    auto* f4 = new QFormLayout(periph);
    cmbRS485 = combo(periph, "cmbRS485", {{QStringLiteral("2-Draht"), 0}, {QStringLiteral("4-Draht"), 1}});
    cmbFanOutput = combo(periph, "cmbFanOutput", {{QStringLiteral("0V DC"), 0}, {QStringLiteral("5V DC"), 1}});
    row(periph, f4, "lblRS485", QStringLiteral("RS485"), cmbRS485);
    row(periph, f4, "lblFanOutput", QStringLiteral("Lüfter-Ausgang"), cmbFanOutput);
    grid->addWidget(periph, 1, 1);

    const ButtonRow buttons = addButtonRow(top, "btOk", QStringLiteral("&OK"), 0);
    ConnectAction(ctx_, buttons.ok, &QPushButton::clicked, this, [this] { btOk_Click(); });

    // The frequency list in 0.1 MHz steps, shown with the user's decimal separator and no
    // grouping ("2436,0" on a German system).
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    for (int n = 24360; n <= 24641; ++n)
        cmbFrequency->addItem(locale.toString(n / 10.0, 'f', 1), n);
    for (int n = 1; n <= 4; ++n)
        cmbReadRange->addItem(QString::number(n), n);

    bindings_ = {
        {"CARRIER", Kind::OnOff, cmbCarrier, nullptr, -1, {}},
        {"FHSS_MODE", Kind::Fhss, cmbFhssMode, nullptr, -1, {}},
        {"FHSS_BANDS", Kind::Text, nullptr, txtFhssBand, -1, {}},
        {"FREQUENCY", Kind::Frequency, cmbFrequency, nullptr, -1, {}},
        {"READ_RANGE", Kind::ReadRange, cmbReadRange, nullptr, -1, {}},
        {"TAG_BITRATE", Kind::OnOff, cmbTagBitrate, nullptr, -1, {}},
        {"FILTER_TYPE", Kind::FilterType, cmbFilterType, nullptr, -1, {}},
        {"FILTER_TIMEOUT", Kind::Timeout, nullptr, txtFilterTimeout, -1, {}},
        {"READ_BEEP", Kind::OnOff, cmbReadBeep, nullptr, -1, {}},
        {"TAG_CRC", Kind::OnOff, cmbTagCrc, nullptr, -1, {}},
        {"TAG_DATACRC", Kind::OnOff, cmbTagDataCrc, nullptr, -1, {}},
        {"RS485_FULL", Kind::OnOff, cmbRS485, nullptr, -1, {}},
    };
    fill();
    for (QLineEdit* box : {txtFhssBand, txtFilterTimeout, txtAposThreshold, txtAposTimeout})
        box->installEventFilter(this);
}

bool frmSystemWKLX9000Parameter::eventFilter(QObject* watched, QEvent* event)
{
    // A box selects its whole text when it gets the focus.
    if (event->type() == QEvent::FocusIn)
        SelectAllTextBox(qobject_cast<QLineEdit*>(watched));
    return FamilyDialog::eventFilter(watched, event);
}

int frmSystemWKLX9000Parameter::DataFor(Kind kind, const QString& value)
{
    switch (kind) {
    case Kind::OnOff:
        return value == QLatin1String("ON") ? 1 : 0;
    case Kind::Fhss:
        return value == QLatin1String("ADAPTIVE") ? 2 : value == QLatin1String("ON") ? 1 : 0;
    case Kind::FilterType:
        return value == QLatin1String("report") ? 3
               : value == QLatin1String("periodic") ? 2
               : value == QLatin1String("once")     ? 1
                                                    : 0;
    case Kind::Frequency: {
        // A text that is no number matches no entry (it is not read as 0, "Aus").
        bool ok = false;
        const double v = value.trimmed().toDouble(&ok);
        bool inRange = true;
        const int n = ok ? CInt16(v, &inRange) : -1;
        return ok && inRange ? n : -1;
    }
    default:
        return -1;
    }
}

QString frmSystemWKLX9000Parameter::ValueFor(Kind kind, int data)
{
    switch (kind) {
    case Kind::OnOff:
        return data == 1 ? QStringLiteral("ON") : QStringLiteral("OFF");
    case Kind::Fhss:
        return data == 1 ? QStringLiteral("ON") : data == 2 ? QStringLiteral("ADAPTIVE") : QStringLiteral("OFF");
    case Kind::FilterType:
        return data == 1   ? QStringLiteral("once")
               : data == 2 ? QStringLiteral("periodic")
               : data == 3 ? QStringLiteral("report")
                           : QStringLiteral("off");
    case Kind::Frequency:
        return QString::number(qMax(data, 0));
    default:
        return QString();
    }
}

void frmSystemWKLX9000Parameter::fill()
{
    for (Binding& b : bindings_) {
        const clsParameter* p = parameters_.item(QString::fromLatin1(b.name));
        const QString value = p ? p->value() : QString();
        if (b.text) {
            b.text->setText(value);
            b.initialText = b.text->text();
            continue;
        }
        int index;
        if (b.kind == Kind::ReadRange) {
            index = b.combo->findText(value, Qt::MatchFixedString | Qt::MatchCaseSensitive);
            if (index < 0)
                index = 0;
        } else {
            const int data = DataFor(b.kind, value);
            index = data < 0 ? -1 : b.combo->findData(data);
        }
        b.combo->setCurrentIndex(index);
        b.initialIndex = b.combo->currentIndex();
    }
}

void frmSystemWKLX9000Parameter::btOk_Click()
{
    for (const Binding& b : bindings_) {
        clsParameter* p = parameters_.item(QString::fromLatin1(b.name));
        if (!p)
            continue;
        if (b.text) {
            if (b.text->text() == b.initialText)
                continue;
            if (b.kind == Kind::Timeout) {
                const double v = qMin<double>(Val(b.text->text()), kMaxFilterTimeout);
                p->setValue(QString::number(static_cast<qint64>(v)));
            } else {
                p->setValue(b.text->text());
            }
            continue;
        }
        if (b.combo->currentIndex() == b.initialIndex)
            continue;
        if (b.kind == Kind::ReadRange)
            p->setValue(b.combo->currentText());
        else
            p->setValue(ValueFor(b.kind, b.combo->currentIndex() < 0 ? 0 : b.combo->currentData().toInt()));
    }
    accept();
}

bool frmSystemWKLX9000Parameter::ShowDialog(AppContext& ctx, clsCollection<clsParameter>& parameters)
{
    frmSystemWKLX9000Parameter dialog(ctx, parameters, ctx.mainWindow);
    dialog.SetLanguage();
    dialog.fitAndCentre();
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvid
