#include "frmSystemKDMakeNCX.h"

#include "KDControls.h"
#include "KDItems.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orvid {

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, int index = -1, bool translated = true)
{
    auto* l = NamedControl<QLabel>(parent, name, index);
    l->setText(text);
    if (!translated)
        l->setProperty("langTag", kd::kNoLang);
    return l;
}
} // namespace

frmSystemKDMakeNCX::frmSystemKDMakeNCX(AppContext& ctx, QWidget* parent)
    : KDWriteDialog(ctx, "frmSystemKDMakeNCX", QStringLiteral("NCX Tag erzeugen"), parent)
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(label(this, "lblWafer", QStringLiteral("Wafer Nr")), 0, 1);
    grid->addWidget(label(this, "lblDie", QStringLiteral("Die Nr.")), 0, 2);
    const struct {
        const char* labelName;
        const char* text;
        const char* boxName;
        QList<QLineEdit*>* boxes;
        int maxLength[2];
    } rows[] = {
        {"lblHex", "HEX", "txtHex", &txtHex, {3, 4}},
        {"lblDez", "DEZ", "txtDEZ", &txtDEZ, {4, 5}},
        {"lbl10", "Datenformat 10", "txt10", &txt10, {3, 5}},
        {"lbl28", "Datenformat 28", "txt28", &txt28, {4, 5}},
    };
    int r = 1;
    for (const auto& row : rows) {
        grid->addWidget(label(this, row.labelName, QString::fromLatin1(row.text)), r, 0);
        for (int i = 0; i < 2; ++i) {
            auto* box = NamedControl<QLineEdit>(this, row.boxName, i);
            LimitTyping(box, row.maxLength[i]);
            box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            box->installEventFilter(this);
            connect(box, &QLineEdit::textChanged, this, [this, box] { boxChanged(box); });
            row.boxes->append(box);
            grid->addWidget(box, r, 1 + i);
        }
        ++r;
    }
    top->addLayout(grid);

    // The code digits: a header over each value; neither is translated.
    auto* code = new QGridLayout;
    int column = 0;
    const auto digits = [&](const char* head, const char* value, QList<QLabel*>& values, int count, QStringList fixed) {
        for (int k = 0; k < count; ++k) {
            code->addWidget(label(this, head, QString::fromLatin1(head).mid(3) + QString::number(k + 1), k, false), 0,
                            column);
            auto* v = label(this, value, fixed.value(k, QStringLiteral("0")), k, false);
            v->setAlignment(Qt::AlignCenter);
            v->setFrameShape(QFrame::Panel);
            values.append(v);
            code->addWidget(v, 1, column++);
        }
    };
    digits("lblW", "lblCW", lblCW, 3, {});
    digits("lblD", "lblCD", lblCD, 4, {});
    digits("lblP", "lblCP", lblCP, 5, {});
    digits("lblR", "lblCR", lblCR, 4, {QStringLiteral("F"), QStringLiteral("0"), QStringLiteral("F"), QStringLiteral("0")});
    top->addLayout(code);

    auto* options = new QHBoxLayout;
    addOptionFrames(options);
    top->addLayout(options);
    addButtons(top, kHelpContext);
}

bool frmSystemKDMakeNCX::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            SelectAllTextBox(box);
    }
    return KDWriteDialog::eventFilter(watched, event);
}

void frmSystemKDMakeNCX::boxChanged(QLineEdit* box)
{
    if (updating_)
        return;
    const int index = box->property("ctrlIndex").toInt();
    // The hex views: both HEX boxes and the wafer's format-10 box; the others decimal.
    const bool hex = txtHex.contains(box) || (index == 0 && txt10.contains(box));
    const qint64 value = hex ? ncx::ParseHex(box->text()) : ncx::ParseDecimal(box->text());
    if (index == 0)
        UpdateW(box, value);
    else
        UpdateDie(box, value);
}

void frmSystemKDMakeNCX::UpdateW(QLineEdit* source, qint64 value)
{
    updating_ = true;
    wafer_ = value;
    const QString hex = ncx::WaferHex(value);
    const QString dec = ncx::WaferDecimal(value);
    for (QLineEdit* box : {txtHex[0], txt10[0]})
        if (box != source)
            box->setText(hex);
    for (QLineEdit* box : {txtDEZ[0], txt28[0]})
        if (box != source)
            box->setText(dec);
    updating_ = false;
    showCode();
}

void frmSystemKDMakeNCX::UpdateDie(QLineEdit* source, qint64 value)
{
    updating_ = true;
    die_ = ncx::DieFromEntry(value);
    if (txtHex[1] != source)
        txtHex[1]->setText(ncx::DieHex(die_));
    for (QLineEdit* box : {txtDEZ[1], txt10[1], txt28[1]})
        if (box != source)
            box->setText(ncx::DieDecimal(die_));
    updating_ = false;
    showCode();
}

void frmSystemKDMakeNCX::showCode()
{
    // Labels, parity and block all come from the two numbers, never from label text.
    const ncx::Digits c = ncx::Compose(static_cast<int>(wafer_ & ncx::kMaxWafer), static_cast<int>(die_ & ncx::kMaxDie));
    const auto digit = [](int d) { return QString::number(d, 16).toUpper(); };
    for (int k = 0; k < 3; ++k)
        lblCW[k]->setText(digit(c[k]));
    for (int k = 0; k < 4; ++k)
        lblCD[k]->setText(digit(c[3 + k]));
    for (int k = 0; k < 5; ++k)
        lblCP[k]->setText(digit(c[7 + k]));
    buttons.ok->setEnabled(ncx::InRange(wafer_, die_));
}

QString frmSystemKDMakeNCX::CodeText() const
{
    QString s;
    for (const QList<QLabel*>* group : {&lblCW, &lblCD, &lblCP, &lblCR})
        for (const QLabel* l : *group)
            s += l->text();
    return s;
}

void frmSystemKDMakeNCX::Load()
{
    SetLanguage();
    txtHex[0]->setText(QStringLiteral("000"));
    txtHex[1]->setText(QStringLiteral("0000"));
    FillDialog();
    fitAndCentre();
}

void frmSystemKDMakeNCX::btOk_Click()
{
    if (!ncx::InRange(wafer_, die_))
        return;
    write(0, ncx::Block(ncx::Compose(static_cast<int>(wafer_), static_cast<int>(die_))));
}

} // namespace orvid
