#include "ByteTextEdit.h"

#include "ByteText.h"
#include "foundations/ControlUtils.h"
#include "foundations/Language.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTextDocument>

#include <limits>

namespace orvid {

namespace {
const QString kNamesTip = QStringLiteral(
    "Steuerzeichen mit Namen: <NUL> <STX> <ETX> <ACK> <LF> <CR> <DLE> <NAK> <SYN>. Ein \"<\", "
    "mit dem ein solcher Name beginnen würde, wird <LT> geschrieben: der Text <CR> ist <LT>CR>.");
} // namespace

QString ByteTextEdit::NamesTip(const Language* language)
{
    return language ? language->Translate(QStringLiteral("ByteTextEdit"), QStringLiteral("txtData"), kNamesTip)
                    : kNamesTip;
}

QLineEdit* ByteTextEdit::CreateBox(QWidget* parent, int widthChars)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("txtData"));
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QString(widthChars, QLatin1Char('0'))));
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QList<QRadioButton*> CreateOptionArray(QWidget* parent, QBoxLayout* layout, const QString& name,
                                       const QStringList& texts, bool translated,
                                       const std::function<void(int)>& clicked)
{
    QList<QRadioButton*> options;
    for (int i = 0; i < texts.size(); ++i) {
        auto* rd = new QRadioButton(texts[i], parent);
        rd->setObjectName(name);
        rd->setProperty("ctrlIndex", i);
        if (!translated)
            rd->setProperty("langTag", QStringLiteral("NOLANG"));
        layout->addWidget(rd);
        options.append(rd);
        if (clicked) {
            QObject::connect(rd, &QRadioButton::toggled, rd, [clicked, i](bool on) {
                if (on)
                    clicked(i);
            });
        }
    }
    return options;
}

QList<QRadioButton*> ByteTextEdit::CreateOptions(QWidget* parent, QBoxLayout* layout,
                                                 const std::function<void(int)>& clicked)
{
    return CreateOptionArray(parent, layout, QStringLiteral("rdDataMode"),
                             {QStringLiteral("ASCII"), QStringLiteral("HEX"), QStringLiteral("DEZ")}, false,
                             clicked);
}

ByteTextEdit::ByteTextEdit(AppContext& ctx, QLineEdit* box, const QList<QRadioButton*>& options,
                           Typing typing, QObject* parent)
    : QObject(parent), ctx_(ctx), box_(box), options_(options)
{
    for (int i = 0; i < options_.size(); ++i) {
        connect(options_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optionClicked(i);
        });
        if (options_[i]->isChecked())
            rep_ = i;
    }
    if (typing == FilterTyping)
        connect(box_, &QLineEdit::textChanged, this, &ByteTextEdit::textChanged);
    if (!options_.isEmpty() && !options_[rep_]->isChecked())
        options_[rep_]->setChecked(true);
    showTip();
}

void ByteTextEdit::showTip()
{
    // Escaped, so the names are not taken for markup.
    box_->setToolTip(rep_ == ByteText::Text ? Qt::convertFromPlainText(NamesTip(ctx_.language)) : QString());
}

bool ByteTextEdit::setRepresentation(int representation)
{
    if (representation < 0 || representation >= options_.size())
        representation = 0;
    if (options_.isEmpty())
        return rep_ == representation;
    if (!options_[representation]->isChecked())
        options_[representation]->setChecked(true);
    return rep_ == representation;
}

void ByteTextEdit::setBytes(const QByteArray& bytes)
{
    box_->setText(ByteText::ToView(bytes, rep_));
}

bool ByteTextEdit::bytes(QByteArray* out)
{
    ByteText::Span error;
    if (!ByteText::FromView(box_->text(), rep_, out, &error)) {
        refuse(error.start, error.length);
        return false;
    }
    if (maxBytes_ > 0 && out->size() > maxBytes_) {
        out->clear();
        refuse(0, static_cast<int>(box_->text().size()));
        return false;
    }
    return true;
}

void ByteTextEdit::refuse(int start, int length)
{
    if (ctx_.language)
        ctx_.language->ShowMessage(20);
    box_->setFocus();
    box_->setSelection(start, length);
}

void ByteTextEdit::optionClicked(int index)
{
    if (busy_)
        return;
    const QScopedValueRollback busy(busy_, true);
    QString converted;
    ByteText::Span error;
    if (ByteText::ChangeView(box_->text(), rep_, index, &converted, &error)) {
        rep_ = index;
        box_->setText(converted);
        showTip();
        return;
    }
    options_[rep_]->setChecked(true);
    refuse(error.start, error.length);
}

void ByteTextEdit::textChanged()
{
    const QString allowed = ByteText::AllowedChars(rep_);
    if (!allowed.isEmpty())
        FilterTextBox(box_, allowed);
}

} // namespace orvid
