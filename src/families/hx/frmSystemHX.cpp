#include "frmSystemHX.h"

#include "frmSystemHXCodeDialogs.h"
#include "frmSystemHXParameterVNB.h"
#include "frmSystemHXSetLanguage.h"
#include "families/common/DataItems.h"
#include "families/common/FamilySettings.h"
#include "families/common/FormControls.h"
#include "families/common/KRTagTypes.h"
#include "families/common/frmConfigKR.h"
#include "families/common/frmSystemHXWriteFixcode.h"
#include "families/common/frmSystemKRWrite.h"
#include "families/common/frmSystemWDTagState.h"
#include "families/common/TagPassword.h"
#include "foundations/ControlUtils.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "foundations/Utils.h"
#include "link/LK.h"
#include "shell/ByteTextEdit.h"
#include "shell/PopupMenu.h"
#include "shell/frmLKInfo.h"
#include "shell/ctrlList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {
const char* const kHexChars = "0123456789abcdefABCDEF";
const QSize kUnitPictureSize(72, 44);

// The unit when its model brings no picture: a grey housing with a status lamp and four
// head sockets along its lower edge.
QPixmap DrawUnitPicture(const QSize& size, qreal ratio)
{
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2, 2, size.width() - 4, size.height() - 12);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0xd8, 0xdc, 0xe0));
    shade.setColorAt(1, QColor(0x9a, 0xa2, 0xab));
    p.setPen(QPen(QColor(0x3c, 0x44, 0x4c), 1.2));
    p.setBrush(shade);
    p.drawRoundedRect(body, 4, 4);
    p.setBrush(QColor(0x2e, 0xa0, 0x4c));
    p.drawEllipse(QPointF(body.left() + 8, body.top() + 8), 3, 3);
    p.setBrush(QColor(0x3c, 0x44, 0x4c));
    const qreal step = body.width() / 4;
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(body.left() + step * i + step / 2 - 3, body.bottom(), 6, 8));
    return pm;
}

template <class T>
T* named(QWidget* parent, const char* name, int index = -1)
{
    return NamedControl<T>(parent, name, index);
}
QPushButton* button(QWidget* parent, QLayout* into, const char* name, const QString& text, int index = -1)
{
    auto* b = named<QPushButton>(parent, name, index);
    b->setText(text);
    if (into)
        into->addWidget(b);
    return b;
}
} // namespace

frmSystemHX::frmSystemHX(AppContext& ctx, QWidget* parent) : DirectFamilyForm(ctx, QStringLiteral("frmSystemHX"), parent)
{
    auto protocol = std::make_unique<HXProtocol>(ctx, this);
    proto_ = protocol.get();
    setProtocol(std::move(protocol));
    setWindowTitle(QStringLiteral("ORVID HX"));
    buildControls();
    setDataList(ctrlList);
    connectControls();
    connectCodeButtons();
    proto_->chooseProfile = [this](int channel, const hx::HXHeadType& head) {
        return profileDialog ? profileDialog(channel, head) : frmSystemHXSetLanguage::ShowDialog(ctx_, channel, head, this);
    };
}

frmSystemHX::~frmSystemHX() = default;

void frmSystemHX::buildControls()
{
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);

    // The unit and its channels.
    frameModule = named<QGroupBox>(this, "frameModule");
    frameModule->setTitle(QStringLiteral("LESEKOPF"));
    frameModule->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* module = new QGridLayout(frameModule);
    btOrvidSystem = button(frameModule, nullptr, "btOrvidSystem", QString());
    btOrvidSystem->setProperty("langTag", QStringLiteral("NOLANG"));
    btOrvidSystem->setMinimumSize(64, 48);
    module->addWidget(btOrvidSystem, 0, 0, 1, 4);
    // The heads hang off the unit: per channel a stretch of the vertical line and a line to
    // the head, the selected head's line drawn over in the highlight colour. No spacing
    // between the rows, so the vertical line runs through.
    auto* heads = new QGridLayout;
    heads->setVerticalSpacing(0);
    heads->setHorizontalSpacing(0);
    heads->setColumnMinimumWidth(0, 18);
    module->addLayout(heads, 1, 0, 5, 4);
    auto line = [this](const char* name, int index, QFrame::Shape shape, int width, QPalette::ColorRole role) {
        auto* f = named<QFrame>(frameModule, name, index);
        f->setFrameShape(shape);
        f->setFrameShadow(QFrame::Plain);
        f->setLineWidth(width);
        f->setForegroundRole(role);
        return f;
    };
    for (int i = 0; i < 5; ++i) {
        auto* r = named<QRadioButton>(frameModule, "rdHead", i);
        r->setText(i == 4 ? QStringLiteral("alle Köpfe") : QString());
        r->setIconSize(QSize(32, 32));
        if (i < 4)
            r->setProperty("langTag", QStringLiteral("NOLANG"));
        rdHead.append(r);
        heads->addWidget(r, i, 1);
        if (i == 4)
            break;
        linVert.append(line("linVert", i, QFrame::VLine, 2, QPalette::WindowText));
        linVert[i]->setFixedWidth(2);
        heads->addWidget(linVert[i], i, 0, Qt::AlignLeft);
        linHead.append(line("linHead", i, QFrame::HLine, 1, QPalette::WindowText));
        heads->addWidget(linHead[i], i, 0);
        btHead.append(button(frameModule, nullptr, "btHead", QStringLiteral("..."), i));
        btInfo.append(button(frameModule, nullptr, "btInfo", QStringLiteral("?"), i));
        btParameter.append(button(frameModule, nullptr, "btParameter", QStringLiteral("P"), i));
        btHead[i]->setProperty("langTag", QStringLiteral("NOLANG"));
        btInfo[i]->setProperty("langTag", QStringLiteral("NOLANG"));
        btParameter[i]->setProperty("langTag", QStringLiteral("NOLANG"));
        btParameter[i]->setToolTip(QStringLiteral("Lesekopf-Parameter bearbeiten"));
        btParameter[i]->setEnabled(false);
        heads->addWidget(btHead[i], i, 2);
        heads->addWidget(btInfo[i], i, 3);
        heads->addWidget(btParameter[i], i, 4);
    }
    linSelHead = line("linSelHead", -1, QFrame::HLine, 3, QPalette::Highlight);
    linSelHead->hide();
    heads->addWidget(linSelHead, 0, 0);
    headLines_ = heads;
    frameStationMode = named<QGroupBox>(frameModule, "frameStationMode");
    frameStationMode->setTitle(QStringLiteral("Modus"));
    auto* sm = new QHBoxLayout(frameStationMode);
    const char* const modeTexts[] = {"&Parallel", "&Multiplexed"};
    for (int i = 0; i < 2; ++i) {
        auto* r = named<QRadioButton>(frameStationMode, "rdMode", i);
        r->setText(QString::fromLatin1(modeTexts[i]));
        sm->addWidget(r);
        rdMode.append(r);
    }
    module->addWidget(frameStationMode, 6, 0, 1, 4);
    // Element k holds the sensor shown as "Triggersensor": frames 2, 3 are sensors 1, 2.
    const int sensorOf[] = {3, 4, 1, 2};
    for (int k = 0; k < 4; ++k) {
        auto* f = named<QGroupBox>(frameModule, "frameTrigger", k);
        f->setTitle(QStringLiteral("Triggersensor %1").arg(sensorOf[k]));
        auto* l = new QHBoxLayout(f);
        auto* source = named<QComboBox>(f, "cmbTrigger", k);
        auto* mode = named<QComboBox>(f, "cmbTriggerMode", k);
        source->setProperty("langTag", QStringLiteral("NOLANG"));
        AddComboItem(mode, QStringLiteral("aus"), 0);
        AddComboItem(mode, QStringLiteral("an"), 1);
        AddComboItem(mode, QStringLiteral("invertiert"), 2);
        l->addWidget(source);
        l->addWidget(mode);
        frameTrigger.append(f);
        cmbTrigger.append(source);
        cmbTriggerMode.append(mode);
        module->addWidget(f, 7 + k, 0, 1, 4);
    }
    module->setRowStretch(11, 1);
    outer->addWidget(frameModule);

    // The head frame: selections, data list, buttons, password.
    frameHead = named<QGroupBox>(this, "frameHead");
    frameHead->setProperty("langTag", QStringLiteral("NOLANG"));
    outer->addWidget(frameHead, 1);
    auto* grid = new QGridLayout(frameHead);
    auto* left = new QVBoxLayout;
    cmbCode = FramedControl<QComboBox>(frameHead, left, frameCode, "frameCode", QStringLiteral("Code/Datenträger"), "cmbCode");
    cmbMode = FramedControl<QComboBox>(frameHead, left, frameMode, "frameMode", QStringLiteral("Betriebsart"), "cmbMode");
    AddModeItems(cmbMode, false);
    txtAddress = FramedControl<QLineEdit>(frameHead, left, frameAddress, "frameAddress", QStringLiteral("Adresse (Hex.)"), "txtAddress");
    txtAddress->setText(QStringLiteral("0000"));
    txtAddress->setMaxLength(4);
    txtLength = FramedControl<QLineEdit>(frameHead, left, frameLength, "frameLength", QStringLiteral("Länge"), "txtLength");
    txtLength->setText(QStringLiteral("000"));
    txtLength->setMaxLength(3);
    auto* repr = named<QGroupBox>(frameHead, "frameDataMode");
    repr->setProperty("langTag", QStringLiteral("NOLANG"));
    rdDataMode = ByteTextEdit::CreateOptions(repr, new QVBoxLayout(repr));
    rdDataMode[0]->setChecked(true);
    left->addWidget(repr);
    left->addStretch(1);
    grid->addLayout(left, 0, 0);

    ctrlList = FramedControl<orvid::ctrlList>(frameHead, nullptr, frameTagData, "frameTagData", QStringLiteral("Daten"), "ctrlList");
    ctrlList->Init();
    ctrlList->setMinimumSize(320, 200);
    grid->addWidget(frameTagData, 0, 1);
    grid->setColumnStretch(1, 1);

    auto* right = new QGridLayout;
    int row = 0;
    auto pair = [&](QLabel*& label, const char* labelName, const QString& text, QPushButton*& a, const char* aName,
                    const QString& aText, QPushButton*& b, const char* bName, const QString& bText) {
        label = named<QLabel>(frameHead, labelName);
        label->setText(text);
        a = button(frameHead, nullptr, aName, aText);
        b = button(frameHead, nullptr, bName, bText);
        right->addWidget(label, row, 0);
        right->addWidget(a, row, 1);
        right->addWidget(b, row, 2);
        ++row;
    };
    pair(lblTagData, "lblTagData", QStringLiteral("Daten"), btRead, "btRead", QStringLiteral("&Lesen"), btWrite, "btWrite",
         QStringLiteral("&Schreiben"));
    pair(lblTagFixcode, "lblTagFixcode", QStringLiteral("Fixcode"), btFixcode, "btFixcode", QStringLiteral("Le&sen"),
         btWriteFixcode, "btWriteFixcode", QStringLiteral("&Schreiben"));
    pair(lblTagSpecialFixcode, "lblTagSpecialFixcode", QStringLiteral("Spezial"), btSpecialFixCode, "btSpecialFixCode",
         QStringLiteral("Le&sen"), btWriteSpecialFixcode, "btWriteSpecialFixcode", QStringLiteral("&Schreiben"));
    lblConfig = named<QLabel>(frameHead, "lblConfig");
    lblConfig->setText(QStringLiteral("Konfig"));
    right->addWidget(lblConfig, row, 0);
    btConfig.append(button(frameHead, nullptr, "btConfig", QStringLiteral("L&esen"), 0));
    btConfig.append(button(frameHead, nullptr, "btConfig", QStringLiteral("Sch&reiben"), 1));
    right->addWidget(btConfig[0], row, 1);
    right->addWidget(btConfig[1], row++, 2);
    btStop = button(frameHead, nullptr, "btStop", QStringLiteral("S&top"));
    btBattery = button(frameHead, nullptr, "btBattery", QStringLiteral("&Batterie"));
    btMakeNCX = button(frameHead, nullptr, "btMakeNCX", QStringLiteral("&NCX Tag erzeugen"));
    btClear = button(frameHead, nullptr, "btClear", QStringLiteral("L&öschen"));
    right->addWidget(btStop, row, 1);
    right->addWidget(btBattery, row++, 2);
    right->addWidget(btMakeNCX, row, 1);
    right->addWidget(btClear, row++, 2);
    right->setRowStretch(row, 1);
    grid->addLayout(right, 0, 2);

    framePassword = named<QGroupBox>(frameHead, "framePassword");
    framePassword->setTitle(QStringLiteral("Passwort"));
    auto* pw = new QGridLayout(framePassword);
    chkPasswort = named<QCheckBox>(framePassword, "chkPasswort");
    chkPasswort->setProperty("langTag", QStringLiteral("NOLANG"));
    lblPActive = named<QLabel>(framePassword, "lblPActive");
    lblPActive->setText(QStringLiteral("Aktivieren"));
    pw->addWidget(chkPasswort, 0, 0);
    pw->addWidget(lblPActive, 0, 1);
    const char* const pwTexts[] = {"Passwort (Hex.)", "Neues Passwort", "Passwort wiederh."};
    for (int i = 0; i < 3; ++i) {
        auto* l = named<QLabel>(framePassword, "lblPassword", i);
        l->setText(QString::fromLatin1(pwTexts[i]));
        auto* t = named<QLineEdit>(framePassword, "txtPasswort", i);
        t->setEchoMode(QLineEdit::Password);
        t->setMaxLength(8);
        lblPassword.append(l);
        txtPasswort.append(t);
        pw->addWidget(l, 1, 2 * i);
        pw->addWidget(t, 1, 2 * i + 1);
    }
    btTagPassword = button(framePassword, nullptr, "btTagPassword", QStringLiteral("Tag-Passwort setzen"));
    pw->addWidget(btTagPassword, 1, 6);
    grid->addWidget(framePassword, 1, 0, 1, 3);
}

void frmSystemHX::connectControls()
{
    const std::pair<QPushButton*, void (frmSystemHX::*)()> clicks[] = {
        {btRead, &frmSystemHX::btRead_Click},       {btFixcode, &frmSystemHX::btFixcode_Click},
        {btStop, &frmSystemHX::btStop_Click},       {btWrite, &frmSystemHX::btWrite_Click},
        {btWriteFixcode, &frmSystemHX::btWriteFixcode_Click}, {btBattery, &frmSystemHX::btBattery_Click},
        {btTagPassword, &frmSystemHX::btTagPassword_Click}};
    for (const auto& [b, handler] : clicks)
        connect(b, &QPushButton::clicked, this, handler);
    connect(btClear, &QPushButton::clicked, this, [this] { ctrlList->Clear(); });
    connect(btOrvidSystem, &QPushButton::clicked, this,
            [this] { frmLKInfo::ShowDialog(ctx_, this, QString(), QString(), QString()); });
    for (int i = 0; i < 4; ++i) {
        connect(btHead[i], &QPushButton::clicked, this, [this, i] { btHead_Click(i); });
        connect(btInfo[i], &QPushButton::clicked, this, [this, i] {
            frmLKInfo::ShowDialog(ctx_, this, QString(), proto_->HeadTypeName[i], proto_->HeadText[i]);
        });
    }
    for (int i = 0; i < 2; ++i)
        connect(btConfig[i], &QPushButton::clicked, this, [this, i] { btConfig_Click(i); });
    for (int i = 0; i < 5; ++i)
        connect(rdHead[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_)
                rdHead_Click(i);
        });
    for (int i = 0; i < 3; ++i)
        connect(rdDataMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !filling_) {
                putItem(KRItem::DataRepresentation, i);
                ctrlList->Format(i + 1);
            }
        });
    for (int i = 0; i < 2; ++i)
        connect(rdMode[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on || filling_)
                return;
            ExchangeScope scope(proto_->Exchanges());
            if (scope)
                proto_->SetMultiplexed(i == 1);
        });
    for (int k = 0; k < 4; ++k) {
        auto send = [this, k] {
            if (filling_)
                return;
            ExchangeScope scope(proto_->Exchanges());
            if (scope)
                proto_->SetTrigger(k, TriggerSource(k), TriggerMode(k));
        };
        connect(cmbTrigger[k], QOverload<int>::of(&QComboBox::activated), this, send);
        connect(cmbTriggerMode[k], QOverload<int>::of(&QComboBox::activated), this, send);
    }
    connect(cmbCode, QOverload<int>::of(&QComboBox::activated), this, [this] { cmbCode_Click(); });
    connect(cmbMode, QOverload<int>::of(&QComboBox::activated), this,
            [this] { putItem(KRItem::OperationMode, cmbMode->currentData().toInt()); });
    connect(chkPasswort, &QCheckBox::clicked, this, [this] { chkPasswort_Click(); });
    connect(txtAddress, &QLineEdit::textEdited, this, [this] { HexKeyFilter(txtAddress, QString::fromLatin1(kHexChars)); });
    connect(txtLength, &QLineEdit::textEdited, this, [this] { HexKeyFilter(txtLength, QStringLiteral("0123456789")); });
    // Password boxes take hexadecimal digits only.
    for (QLineEdit* t : txtPasswort)
        connect(t, &QLineEdit::textEdited, this, [this, t] {
            HexKeyFilter(t, QString::fromLatin1(kHexChars));
            proto_->PasswordPending = true;
        });
    for (QLineEdit* box : {txtAddress, txtLength})
        box->installEventFilter(this);
}

bool frmSystemHX::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        SelectAllTextBox(box);
    else if (box == txtAddress && event->type() == QEvent::FocusOut)
        txtAddress_LostFocus();
    else if (box == txtLength && event->type() == QEvent::FocusOut)
        txtLength_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmSystemHX::txtAddress_LostFocus()
{
    const quint32 value = static_cast<quint32>(Val("&H" + txtAddress->text().toLatin1())) & 0xFFFF;
    txtAddress->setText(QString::fromLatin1(HexString(value, "0000")));
    putItem(KRItem::StartAddress, static_cast<int>(value));
}

void frmSystemHX::txtLength_LostFocus()
{
    const int value = static_cast<int>(Val(txtLength->text()));
    txtLength->setText(QString::number(value).rightJustified(3, QLatin1Char('0')));
    putItem(KRItem::DataLength, value);
}

// ---- load, texts, settings ----------------------------------------------------------------

void frmSystemHX::OnLoad()
{
    SettingsSection s(ctx_, kSettings);
    const int tag = static_cast<int>(s.Number("Tagcode", "99"));
    const int length = static_cast<int>(s.Number("DataLength", "12"));
    HXProtocol::Record r;
    r.tagType = static_cast<int16_t>(tag == 0 ? 99 : tag);
    r.mode = static_cast<int16_t>(s.Number("OperationMode", "0"));
    r.address = static_cast<qint32>(s.Number("StartAddress", "0")) & 0xFFFF;
    r.length = length == 0 ? 12 : length;
    proto_->Records.fill(r);
    proto_->DataRepresentation = static_cast<int16_t>(s.Number("DataRepresentation", "0"));
    proto_->PasswordFlag = s.Number("PasswordFlag", "0") != 0;
    proto_->PutData(KRItem::HeadNumber, s.Read("HeadNumber", QStringLiteral("1")).trimmed());
    SetLanguage();
    filling_ = true;
    rdDataMode[std::clamp<int>(proto_->DataRepresentation, 0, 2)]->setChecked(true);
    ctrlList->Format(std::clamp<int>(proto_->DataRepresentation, 0, 2) + 1);
    chkPasswort->setChecked(proto_->PasswordFlag);
    filling_ = false;
    fillTriggerLists();
    loadingPanel_ = true;
    FillUnitPanel();
    loadingPanel_ = false;
}

void frmSystemHX::OnUnload()
{
    btStop_Click();
    SettingsSection s(ctx_, kSettings);
    s.Write("Tagcode", proto_->TagType);
    s.Write("OperationMode", proto_->OperationMode);
    s.Write("StartAddress", proto_->DisplayAddress);
    s.Write("DataLength", proto_->DisplayLength);
    s.Write("DataRepresentation", proto_->DataRepresentation);
    s.Write("PasswordFlag", proto_->PasswordFlag ? -1 : 0);
    if (!proto_->Channel.isEmpty())
        s.Write("HeadNumber", proto_->Channel);
}

void frmSystemHX::SetLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    auto tr = [this](const char* key, const QString& text) { return proto_->Translate(QString::fromLatin1(key), text); };
    lineTexts_ = krconfig::LineTexts::Translated(tr);
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemHX::SetRWFrameTitle(const QString& title)
{
    const QString text = title.isEmpty() ? proto_->Translate(QStringLiteral("NoHead"), QStringLiteral("Keine Station vorhanden")) : title;
    frameModule->setTitle(text);
}

void frmSystemHX::fillTriggerLists()
{
    filling_ = true;
    const QString head = proto_->Translate(QStringLiteral("Head"), QStringLiteral("Kopf"));
    // Elements 2, 3 are sensors 1, 2 (heads 1, 2); elements 0, 1 sensors 3, 4 (heads 1..4).
    const int sensorOf[] = {3, 4, 1, 2};
    for (int k = 0; k < 4; ++k) {
        cmbTrigger[k]->clear();
        const int heads = sensorOf[k] <= 2 ? 2 : 4;
        for (int h = 1; h <= heads; ++h)
            if (h != sensorOf[k])
                AddComboItem(cmbTrigger[k], head + QLatin1Char(' ') + QString::number(h), h);
        SelectComboItem(cmbTrigger[k], 0, 0);
        SelectComboItem(cmbTriggerMode[k], 0, 0);
    }
    filling_ = false;
}

// ---- the unit panel -------------------------------------------------------------------------

void frmSystemHX::FillUnitPanel()
{
    filling_ = true;
    // The model's picture, read afresh; without one, the drawn stand-in.
    QPixmap unit(proto_->UnitPicture);
    if (unit.isNull())
        unit = DrawUnitPicture(kUnitPictureSize, devicePixelRatioF());
    btOrvidSystem->setIcon(QIcon(unit));
    btOrvidSystem->setIconSize(unit.deviceIndependentSize().toSize().boundedTo(QSize(160, 96)));
    const int count = proto_->ChannelCount;
    int firstKnown = -1;
    for (int i = 0; i < 4; ++i) {
        const bool present = i < count;
        rdHead[i]->setVisible(present);
        rdHead[i]->setIcon(present ? headPicture(i + 1) : QIcon());
        linHead[i]->setVisible(present);
        linVert[i]->setVisible(present);
        btHead[i]->setVisible(present);
        btInfo[i]->setVisible(present);
        btParameter[i]->setVisible(present);
        const QString family = proto_->HeadFamily[i];
        const bool known = present && proto_->HeadFile().HeadType(proto_->HeadTypeName[i]) != nullptr;
        rdHead[i]->setEnabled(present && !family.isEmpty());
        rdHead[i]->setText(proto_->HeadTypeName[i].isEmpty() ? proto_->Translate(QStringLiteral("Empty"), QStringLiteral("Leer"))
                                                              : proto_->HeadTypeName[i]);
        btInfo[i]->setEnabled(known);
        btParameter[i]->setEnabled(present && family == QLatin1String("VNB"));
        if (known && firstKnown < 0)
            firstKnown = i;
    }
    // Sensors 3 and 4 for three or four channels, 1 and 2 for two, none for one.
    for (int k = 0; k < 4; ++k)
        frameTrigger[k]->setVisible(k < 2 ? count >= 3 : count == 2);

    int option = 4;
    if (proto_->Channel != QLatin1String("x")) {
        option = std::clamp(proto_->Channel.toInt() - 1, 0, 3);
        if (!rdHead[option]->isEnabled())
            option = firstKnown >= 0 ? firstKnown : 4;
    }
    // Trigger settings the unit reported.
    const QString state = QString::fromLatin1(proto_->UnitStateText);
    auto field = [&state](const QString& key) {
        const qsizetype at = state.indexOf(key);
        return at < 0 ? QString() : state.mid(at + key.size()).section(QLatin1Char(' '), 0, 0);
    };
    if (count >= 2) {
        const int mm = static_cast<int>(Val(field(QStringLiteral("MM:"))));
        rdMode[mm == 1 ? 1 : 0]->setChecked(true);
        const int elementOf[] = {2, 3, 0, 1};   // sensor 1..4 -> element
        for (int sensor = (count == 2 ? 1 : 3); sensor <= (count == 2 ? 2 : 4); ++sensor) {
            const QString v = field(QStringLiteral("TM%1:").arg(sensor)) + QStringLiteral("00");
            SelectComboItem(cmbTrigger[elementOf[sensor - 1]], static_cast<int16_t>(v.mid(0, 1).toInt()), -1, false);
            SelectComboItem(cmbTriggerMode[elementOf[sensor - 1]], static_cast<int16_t>(v.mid(1, 1).toInt()), -1, false);
        }
    }
    filling_ = false;
    rdHead[option]->setChecked(true);
    rdHead_Click(option);
    SetRWFrameTitle(QString::fromLatin1(getItem(LinkItem::HeadType).toByteArray()));
}

void frmSystemHX::rdHead_Click(int index)
{
    if (filling_)
        return;
    btStop_Click();
    const QString channel = index == 4 ? QStringLiteral("x") : QString::number(index + 1);
    putItem(KRItem::HeadNumber, channel);
    showSelectionLine(index);
    const int16_t wanted = index == 4 ? int16_t(99) : proto_->Records[index + 1].tagType;
    frameHead->setTitle(index == 4 ? rdHead[4]->text()
                                   : proto_->Translate(QStringLiteral("Head"), QStringLiteral("Kopf")) + QLatin1Char(' ')
                                         + QString::number(index + 1) + QStringLiteral(": ") + rdHead[index]->text());
    HeadFamilies f;
    f.inductive = proto_->HasFamily(QStringLiteral("I"), channel);
    f.microwave = proto_->HasFamily(QStringLiteral("M"), channel);
    f.zlb = proto_->HasFamily(QStringLiteral("ZLB"), channel);
    f.rmb = proto_->HasFamily(QStringLiteral("RMB"), channel);
    f.rmb1 = proto_->HasFamily(QStringLiteral("RMB1"), channel);
    f.vnb = proto_->HasFamily(QStringLiteral("VNB"), channel);
    f.rmb2 = proto_->HasFamily(QStringLiteral("RMB2"), channel);
    filling_ = true;
    cmbCode->clear();
    for (const TagType& t : HXWindowTagTypes(f))
        AddComboItem(cmbCode, t.code == TagCode::Standard ? proto_->Translate(QStringLiteral("StandardOrvid"), t.name) : t.name,
                     t.code);
    // A type the new list lacks: the first entry, never "no entry".
    SelectComboItem(cmbCode, wanted, 0);
    // Two entries are a choice too ("Standard" and "WTX60").
    cmbCode->setEnabled(cmbCode->count() >= 2);
    filling_ = false;
    cmbCode_Click();
}

// The picture of the channel's head type; for an empty channel the program's EMPTY.GIF.
// A missing or unreadable file shows none.
QIcon frmSystemHX::headPicture(int channel) const
{
    const QString& name = proto_->HeadTypeName[channel - 1];
    QString path;
    if (name.isEmpty()) {
        path = proto_->HeadFile().PicturePath(QStringLiteral("EMPTY.GIF"));
    } else if (const hx::HXHeadType* head = proto_->HeadFile().HeadType(name)) {
        path = head->picturePath;
    }
    const QPixmap picture(path);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

void frmSystemHX::showSelectionLine(int index)
{
    // "All heads" has no line of its own.
    if (index < 0 || index >= linHead.size()) {
        linSelHead->hide();
        return;
    }
    headLines_->removeWidget(linSelHead);
    headLines_->addWidget(linSelHead, index, 0);
    linSelHead->show();
    linSelHead->raise();
}

void frmSystemHX::btHead_Click(int index)
{
    // The head type chosen by hand, for a head the unit cannot name.
    Menues menu;
    menu.Add(1, proto_->Translate(QStringLiteral("Empty"), QStringLiteral("Leer")));
    const QList<hx::HXHeadType>& heads = proto_->HeadFile().HeadTypes();
    for (int i = 0; i < heads.size(); ++i)
        menu.Add(i + 2, heads[i].name);
    const int chosen = ShowPopupMenu(menu, this, btHead[index]->mapToGlobal(QPoint(0, btHead[index]->height())));
    if (chosen <= 0)
        return;
    proto_->SetHeadInfo(index + 1, chosen == 1 ? QString() : heads[chosen - 2].name, QString());
    FillUnitPanel();
}

void frmSystemHX::cmbCode_Click()
{
    if (filling_ || cmbCode->currentIndex() < 0)
        return;
    putItem(KRItem::Tagcode, cmbCode->currentData().toInt());
    if (!loadingPanel_ && ctx_.lk && ctx_.lk->CurrentWindow() == this) {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::SuspendAndRestore, false);
        if (scope)
            proto_->ChangeTag(-1);
    }
}

void frmSystemHX::PutData(int16_t id, const QVariant& value)
{
    if (filling_)
        return;
    FamilyForm::PutData(id, value);
    if (id == KRItem::Tagcode) {
        adaptToTagType();
    } else if (id == KRItem::HeadNumber) {
        refreshModeControls();
        updateBatteryButton();
    }
}

void frmSystemHX::refreshModeControls()
{
    filling_ = true;
    SelectComboItem(cmbCode, proto_->TagType, -1, false);
    SelectComboItem(cmbMode, proto_->OperationMode, 0);
    txtAddress->setText(QString::fromLatin1(HexString(proto_->DisplayAddress, "0000")));
    txtLength->setText(QString::number(proto_->DisplayLength).rightJustified(3, QLatin1Char('0')));
    filling_ = false;
}

void frmSystemHX::updateBatteryButton()
{
    btBattery->setEnabled(proto_->TagType == 60 && proto_->ChannelIsSingle());
}

void frmSystemHX::adaptToTagType()
{
    const int t = proto_->TagType;
    bool words = true, address = true, fixWrite = false, special = false, ncx = false, password = false;
    switch (t) {
    case 2: case 20: case 52: words = false; break;
    case 3: case 12: password = true; break;
    case 10: address = false; break;
    case 11: case 14: fixWrite = true; words = false; break;
    case 50: special = true; ncx = true; break;
    case 60: fixWrite = true; break;
    case 80: special = true; break;
    default: break;
    }
    if (t == 10) {
        proto_->PutData(KRItem::StartAddress, 0);
        proto_->PutData(KRItem::DataLength, 12);
    }
    for (QWidget* w : {static_cast<QWidget*>(frameAddress), static_cast<QWidget*>(frameLength)})
        w->setEnabled(address);
    btRead->setEnabled(words);
    btWrite->setEnabled(words);
    btFixcode->setEnabled(true);
    btWriteFixcode->setEnabled(fixWrite);
    btSpecialFixCode->setEnabled(special);
    btWriteSpecialFixcode->setEnabled(special);
    btMakeNCX->setEnabled(ncx);
    for (QWidget* w : {static_cast<QWidget*>(framePassword), static_cast<QWidget*>(lblConfig),
                       static_cast<QWidget*>(btConfig[0]), static_cast<QWidget*>(chkPasswort), static_cast<QWidget*>(lblPActive),
                       static_cast<QWidget*>(lblPassword[0]), static_cast<QWidget*>(txtPasswort[0])})
        w->setEnabled(password);
    updateBatteryButton();
    if (password)
        chkPasswort_Click();
    else
        for (QWidget* w : {static_cast<QWidget*>(btConfig[1]), static_cast<QWidget*>(lblPassword[1]),
                           static_cast<QWidget*>(lblPassword[2]), static_cast<QWidget*>(txtPasswort[1]),
                           static_cast<QWidget*>(txtPasswort[2]), static_cast<QWidget*>(btTagPassword)})
            w->setEnabled(false);
    refreshModeControls();
}

void frmSystemHX::chkPasswort_Click()
{
    if (!chkPasswort->isEnabled())
        return;
    const bool on = chkPasswort->isChecked();
    proto_->PutData(KRItem::PasswordFlag, on);
    for (QWidget* w : {static_cast<QWidget*>(lblPassword[1]), static_cast<QWidget*>(lblPassword[2]),
                       static_cast<QWidget*>(txtPasswort[1]), static_cast<QWidget*>(txtPasswort[2]),
                       static_cast<QWidget*>(btTagPassword), static_cast<QWidget*>(btConfig[1])})
        w->setEnabled(on);
    txtPasswort[1]->clear();
    txtPasswort[2]->clear();
}

// ---- IHXView ---------------------------------------------------------------------------------

bool frmSystemHX::PasswordChecked() const
{
    return chkPasswort->isChecked();
}

QString frmSystemHX::PasswordText() const
{
    return txtPasswort[0]->text();
}

int frmSystemHX::TriggerSource(int sensor) const
{
    // sensor 0..3 is "Triggersensor" 1..4, held by elements 2, 3, 0, 1.
    const int elementOf[] = {2, 3, 0, 1};
    return cmbTrigger[elementOf[sensor]]->currentData().toInt();
}

int frmSystemHX::TriggerMode(int sensor) const
{
    const int elementOf[] = {2, 3, 0, 1};
    return cmbTriggerMode[elementOf[sensor]]->currentData().toInt();
}

// ---- buttons ---------------------------------------------------------------------------------

void frmSystemHX::btRead_Click()
{
    if (reading_)
        return;
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (!scope)
        return;
    reading_ = true;
    if (scope.WasPolling())
        proto_->StopBuffered(true, false);
    proto_->SetChannelBusy(false, false);
    proto_->ReadData(true);
    reading_ = false;
}

void frmSystemHX::btFixcode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadData(false);
}

void frmSystemHX::btStop_Click()
{
    proto_->Exchanges().RequestStop([this] {
        proto_->StopBuffered(true, false);
        proto_->SetChannelBusy(false, false);
    }, [this] { return ctx_.lk && ctx_.lk->CurrentWindow() == this; });
}

void frmSystemHX::StopBuffered()
{
    requestStop();
}

void frmSystemHX::btWrite_Click()
{
    if (ctx_.lk && ctx_.lk->PollingEnabled()) {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (!scope)
            return;
        proto_->StopBuffered(false, false);
        proto_->SetChannelBusy(false, false);
    }
    if (writeDialog)
        writeDialog();
    else
        frmSystemKRWrite::ShowDialog(ctx_, static_cast<int16_t>(proto_->ChannelCount), this);
}

void frmSystemHX::btWriteFixcode_Click()
{
    if (proto_->TagType == 60)
        return openCodeDialog(QStringLiteral("frmSystemHXWriteFixcodeWTX"));
    if (fixcodeDialog)
        fixcodeDialog();
    else
        frmSystemHXWriteFixcode::ShowDialog(ctx_, this);
}

void frmSystemHX::btBattery_Click()
{
    if (proto_->AnyChannelBusy()) {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (scope)
            proto_->StopBuffered(true, true);
    }
    if (stateDialog)
        stateDialog();
    else
        frmSystemWDTagState::ShowDialog(ctx_, this, this);
}

void frmSystemHX::btConfig_Click(int index)
{
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return;
    const QString head = proto_->Translate(QStringLiteral("Head"), QStringLiteral("Kopf"));
    if (index == 0) {
        proto_->StopBuffered(false, false);
        proto_->ChangeTag(-1);
        const int first = proto_->ChannelIsSingle() ? proto_->Channel.toInt() : 1;
        const int last = proto_->ChannelIsSingle() ? first : proto_->ChannelCount;
        for (int ch = first; ch <= last; ++ch) {
            QByteArray control, protection;
            proto_->ReadConfiguration(QByteArray::number(ch), control, protection);
            const QStringList lines = krconfig::ConfigurationLines(control, protection, lineTexts_);
            for (QString line : lines) {
                // Each block's header names the head it belongs to.
                if (line == lineTexts_.control.value(0) || line == lineTexts_.protection.value(0))
                    line = head + QLatin1Char(' ') + QString::number(ch) + QStringLiteral(": ") + line;
                proto_->ShowLine(line);
            }
        }
        return;
    }
    QByteArray control, protection;
    proto_->ReadConfiguration(proto_->Channel.toLatin1(), control, protection);
    const bool write = configDialog ? configDialog(control, protection) : frmConfigKR::ShowDialog(ctx_, control, protection, this);
    if (write && !(control.isEmpty() && protection.isEmpty()))
        proto_->WriteConfiguration(control, protection);
}

void frmSystemHX::btTagPassword_Click()
{
    if (txtPasswort[1]->text() != txtPasswort[2]->text()) {
        proto_->ShowMessage(60);
        return;
    }
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return;
    if (proto_->ChangePassword(txtPasswort[0]->text(), txtPasswort[1]->text())) {
        quint32 value = 0;
        ParsePassword(txtPasswort[1]->text(), value);
        txtPasswort[0]->setText(QString::number(value, 16).toUpper());
    }
}

// ---- writers ----------------------------------------------------------------------------------

bool frmSystemHX::WriteTag(int16_t tagCode, int16_t mode, bool fixcode, int32_t address, int length,
                           const QByteArray& data, const QByteArray& head)
{
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return false;
    return proto_->WriteTag(tagCode, mode, fixcode, address, length, data, head);
}

bool frmSystemHX::WriteQTX11Fixcode(int16_t mode, bool writeProtect, const QByteArray& fixcode)
{
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return false;
    return proto_->WriteQTX11Fixcode(mode, writeProtect, fixcode);
}

void frmSystemHX::GetTagState(ITagStateView& view)
{
    ExchangeScope scope(proto_->Exchanges());
    if (!scope)
        return;
    proto_->GetTagState(view);
}

// ---- code writers of special tag types -------------------------------------------------------

void frmSystemHX::connectCodeButtons()
{
    connect(btSpecialFixCode, &QPushButton::clicked, this, &frmSystemHX::btSpecialFixCode_Click);
    connect(btWriteSpecialFixcode, &QPushButton::clicked, this, &frmSystemHX::btWriteSpecialFixcode_Click);
    connect(btMakeNCX, &QPushButton::clicked, this, &frmSystemHX::btMakeNCX_Click);
    for (int i = 0; i < btParameter.size(); ++i)
        connect(btParameter[i], &QPushButton::clicked, this, [this, i] { btParameter_Click(i); });
    proto_->parameterDialog = [this](const hx::HXHeadType& head, hx::ParameterList& params) {
        return frmSystemHXParameterVNB::ShowDialog(ctx_, this, head, *proto_, params);
    };
}

void frmSystemHX::btParameter_Click(int index)
{
    // A second click while the action waits for the head or shows its dialog does nothing.
    if (parameterBusy_ || index < 0 || index >= 4)
        return;
    parameterBusy_ = true;
    // Choosing the head's channel also stops a running read there.
    if (!rdHead[index]->isChecked())
        rdHead[index]->setChecked(true);
    else
        btStop_Click();
    {
        ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
        if (scope)
            proto_->EditParameters(index + 1);
    }
    parameterBusy_ = false;
}

void frmSystemHX::openCodeDialog(const QString& name)
{
    if (codeDialog)
        return codeDialog(name);
    if (name == QLatin1String("frmSystemHXWriteFixcodeWTX"))
        frmSystemHXWriteFixcodeWTX::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmSystemHXWriteFixcodeVNB"))
        frmSystemHXWriteFixcodeVNB::ShowDialog(ctx_, this);
    else if (name == QLatin1String("frmSystemHXMakeNCX"))
        frmSystemHXMakeNCX::ShowDialog(ctx_, this);
    else
        frmSystemHXWriteFixcodeSpecial::ShowDialog(ctx_, this);
}

void frmSystemHX::btSpecialFixCode_Click()
{
    ExchangeScope scope(proto_->Exchanges(), ExchangeScope::Polling::Suspend);
    if (scope)
        proto_->ReadSpecialFixcode();
}

void frmSystemHX::btWriteSpecialFixcode_Click()
{
    openCodeDialog(proto_->HasFamily(QStringLiteral("VNB"), proto_->Channel) ? QStringLiteral("frmSystemHXWriteFixcodeVNB")
                                                                             : QStringLiteral("frmSystemHXWriteFixcodeSpecial"));
}

void frmSystemHX::btMakeNCX_Click()
{
    openCodeDialog(QStringLiteral("frmSystemHXMakeNCX"));
}

bool frmSystemHX::WriteSpecialFixcode(int16_t mode, const QByteArray& code)
{
    ExchangeScope scope(proto_->Exchanges());
    return scope && proto_->WriteSpecialFixcode(mode, code);
}

bool frmSystemHX::WriteVNBFixcode(const QByteArray& code)
{
    ExchangeScope scope(proto_->Exchanges());
    return scope && proto_->WriteVNBFixcode(code);
}

bool frmSystemHX::WriteWTXFixcode(int16_t mode, const QByteArray& code)
{
    ExchangeScope scope(proto_->Exchanges());
    return scope && proto_->WriteWTXFixcode(mode, code);
}

bool frmSystemHX::WriteNCXTag(int16_t mode, const QByteArray& code)
{
    ExchangeScope scope(proto_->Exchanges());
    return scope && proto_->WriteNCXTag(mode, code);
}

} // namespace orvid
