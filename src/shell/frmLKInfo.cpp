#include "frmLKInfo.h"

#include "CharNames.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/WindowPlacement.h"
#include "link/LK.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVariant>

namespace orvid {

namespace {

// Data items are device bytes; anything else the link hands back is shown as text.
QString itemText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return frmLKInfo::DisplayText(value.toByteArray());
    return value.toString();
}

QString dataItem(AppContext& ctx, int16_t id)
{
    if (!ctx.lk)
        return QString();
    QVariant value;
    ctx.lk->LkGetData(id, value);
    return itemText(value);
}

} // namespace

frmLKInfo::frmLKInfo(AppContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow)
    , ctx_(ctx)
{
    setObjectName(QStringLiteral("frmLKInfo"));
    setWindowTitle(QStringLiteral("Orvid Info"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    lblTyp_ = new QLabel(QStringLiteral("Typenbezeichnung:"), this);
    lblTyp_->setObjectName(QStringLiteral("lblTyp"));
    lbTyp_ = new QLabel(this);
    lbTyp_->setObjectName(QStringLiteral("lbTyp"));
    lbTyp_->setTextFormat(Qt::PlainText);
    lbTyp_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblVersion_ = new QLabel(QStringLiteral("Version:"), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    // Versions may span lines (a reply and a second line after CR LF).
    txtVersion_ = new QPlainTextEdit(this);
    txtVersion_->setObjectName(QStringLiteral("txtVersion"));
    txtVersion_->setReadOnly(true);
    txtVersion_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtVersion_->setFixedHeight(QFontMetrics(txtVersion_->font()).lineSpacing() * 4 + 10);
    btOk_ = new QPushButton(QStringLiteral("&OK"), this);
    btOk_->setObjectName(QStringLiteral("btOk"));
    btOk_->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblTyp_, 0, 0);
    grid->addWidget(lbTyp_, 0, 1);
    grid->addWidget(lblVersion_, 1, 0, Qt::AlignTop);
    grid->addWidget(txtVersion_, 1, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btOk_);
    grid->addLayout(row, 2, 0, 1, 2);
    setMinimumWidth(360);

    connect(btOk_, &QPushButton::clicked, this, &QDialog::accept);
}

void frmLKInfo::ShowDialog(AppContext& ctx, QWidget* parent, const QString& caption,
                           const QString& type, const QString& version)
{
    frmLKInfo box(ctx, parent);
    box.Load(caption, type, version);
    box.exec();
}

void frmLKInfo::Load(const QString& caption, const QString& type, const QString& version)
{
    SetLanguage();
    const QString typeText = type.isEmpty() ? dataItem(ctx_, 1) : type;
    lbTyp_->setText(typeText);
    const QString versionText = version.isEmpty() ? dataItem(ctx_, 2) : version;
    txtVersion_->setPlainText(versionText);
    QString title = caption;
    if (title.isEmpty() && ctx_.lk)
        title = ctx_.lk->SystemName(ctx_.state ? ctx_.state->CurrentSystem : 0);
    setWindowTitle(title);
    adjustSize();
    if (ctx_.placement)
        ctx_.placement->CenterForm(this);
}

void frmLKInfo::SetLanguage()
{
    if (!ctx_.language)
        return;
    const QList<QWidget*> controls = {lblTyp_, lblVersion_, btOk_};
    auto captionOf = [this](QWidget* w) {
        return w == btOk_ ? btOk_->text() : static_cast<QLabel*>(w)->text();
    };
    // The design texts are the defaults for every later language, not the texts of the
    // language shown last.
    if (!languageStored_) {
        for (QWidget* w : controls)
            w->setProperty("langTag", captionOf(w));
        languageStored_ = true;
    }
    const QString section = objectName();
    for (QWidget* w : controls) {
        const QString text = ctx_.language->Translate(section, w->objectName(),
                                                      w->property("langTag").toString());
        if (w == btOk_)
            btOk_->setText(text);
        else
            static_cast<QLabel*>(w)->setText(text);
    }
}

QString frmLKInfo::typeText() const
{
    return lbTyp_->text();
}

QString frmLKInfo::versionText() const
{
    return txtVersion_->toPlainText();
}

QString frmLKInfo::DisplayText(const QByteArray& deviceText)
{
    const QStringList& names = CharNames();
    QString out;
    for (qsizetype i = 0; i < deviceText.size(); ++i) {
        const auto c = static_cast<unsigned char>(deviceText.at(i));
        if (c == '\r' || c == '\n') {
            // CR LF, LF or a lone CR: one line break.
            if (c == '\r' && i + 1 < deviceText.size() && deviceText.at(i + 1) == '\n')
                ++i;
            out += QLatin1Char('\n');
        } else {
            // Control codes and the codes without a printable form (0x7F-0x9F but the
            // two quotes) by name, the rest as Windows-1252, as the monitor shows them.
            out += names.value(c);
        }
    }
    return out;
}

} // namespace orvid
