#include "HXUnitPanel.h"

#include "HXProtocol.h"
#include "families/common/FormControls.h"
#include "foundations/ControlUtils.h"
#include "foundations/Utils.h"
#include "shell/PopupMenu.h"
#include "shell/frmLKInfo.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvid {

namespace {

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

QPushButton* noLangButton(QWidget* parent, const char* name, const QString& text, int index)
{
    auto* b = NamedControl<QPushButton>(parent, name, index);
    b->setText(text);
    b->setProperty("langTag", QStringLiteral("NOLANG"));
    return b;
}

// The picture of a channel's head type; for an empty channel the program's EMPTY.GIF. A
// missing or unreadable file shows none.
QIcon headPicture(const HXProtocol& unit, int channel)
{
    const QString& name = unit.HeadTypeName[channel - 1];
    QString path;
    if (name.isEmpty())
        path = unit.HeadFile().PicturePath(QStringLiteral("EMPTY.GIF"));
    else if (const hx::HXHeadType* head = unit.HeadFile().HeadType(name))
        path = head->picturePath;
    const QPixmap picture(path);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

} // namespace

HXUnitPanel::HXUnitPanel(AppContext& ctx, HXProtocol& unit, QWidget* parent) : QWidget(parent), ctx_(ctx), unit_(unit)
{
    setObjectName(QStringLiteral("HXUnitPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    buildModule();
    buildStation();
    column->addWidget(frameModule);
    column->addWidget(frameStation);
    column->addStretch(1);
    // The unit's type and version, a head's name and text.
    connect(btOrvidSystem, &QPushButton::clicked, this, [this] { frmLKInfo::ShowDialog(ctx_, window(), QString(), QString(), QString()); });
    for (int i = 0; i < 4; ++i) {
        connect(btHead[i], &QPushButton::clicked, this, [this, i] { btHead_Click(i); });
        connect(btInfo[i], &QPushButton::clicked, this, [this, i] {
            frmLKInfo::ShowDialog(ctx_, window(), QString(), unit_.HeadTypeName[i], unit_.HeadText[i]);
        });
    }
}

QString HXUnitPanel::emptyText() const
{
    return unit_.Translate(QStringLiteral("Empty"), QStringLiteral("Leer"));
}

void HXUnitPanel::btHead_Click(int index)
{
    Menues menu;
    menu.Add(1, emptyText());
    const QList<hx::HXHeadType>& heads = unit_.HeadFile().HeadTypes();
    for (int i = 0; i < heads.size(); ++i)
        menu.Add(i + 2, heads[i].name);
    const int chosen = ShowPopupMenu(menu, this, btHead[index]->mapToGlobal(QPoint(0, btHead[index]->height())));
    if (chosen <= 0)
        return;
    // Only this head changes: nothing is sent, the other heads and the trigger settings
    // stay as they are.
    unit_.SetHeadInfo(index + 1, chosen == 1 ? QString() : heads[chosen - 2].name, QString());
    showHead(index, true);
    // Its option is cleared: choosing it again loads the tag types of the new head.
    QRadioButton* option = rdHead[index];
    if (option->isChecked()) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void HXUnitPanel::showHead(int i, bool present)
{
    const HXProtocol& unit = unit_;
    const QString& family = unit.HeadFamily[i];
    rdHead[i]->setIcon(present ? headPicture(unit, i + 1) : QIcon());
    rdHead[i]->setEnabled(present && !family.isEmpty());
    rdHead[i]->setText(unit.HeadTypeName[i].isEmpty() ? emptyText() : unit.HeadTypeName[i]);
    btInfo[i]->setEnabled(present && unit.HeadFile().HeadType(unit.HeadTypeName[i]) != nullptr);
    btParameter[i]->setEnabled(present && family == QLatin1String("VNB"));
}

void HXUnitPanel::buildModule()
{
    frameModule = NamedControl<QGroupBox>(this, "frameModule");
    frameModule->setTitle(QStringLiteral("LESEKOPF"));
    frameModule->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* module = new QGridLayout(frameModule);
    btOrvidSystem = noLangButton(frameModule, "btOrvidSystem", QString(), -1);
    btOrvidSystem->setMinimumSize(64, 48);
    module->addWidget(btOrvidSystem, 0, 0);
    // The heads hang off the unit: per channel a stretch of the vertical line and a line to
    // the head, the selected head's line drawn over in the highlight colour. No spacing
    // between the rows, so the vertical line runs through.
    auto* heads = new QGridLayout;
    heads->setVerticalSpacing(0);
    heads->setHorizontalSpacing(0);
    heads->setColumnMinimumWidth(0, 18);
    module->addLayout(heads, 1, 0);
    auto line = [this](const char* name, int index, QFrame::Shape shape, int width, QPalette::ColorRole role) {
        auto* f = NamedControl<QFrame>(frameModule, name, index);
        f->setFrameShape(shape);
        f->setFrameShadow(QFrame::Plain);
        f->setLineWidth(width);
        f->setForegroundRole(role);
        return f;
    };
    for (int i = 0; i < 5; ++i) {
        auto* r = NamedControl<QRadioButton>(frameModule, "rdHead", i);
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
        btHead.append(noLangButton(frameModule, "btHead", QStringLiteral("..."), i));
        btInfo.append(noLangButton(frameModule, "btInfo", QStringLiteral("?"), i));
        btParameter.append(noLangButton(frameModule, "btParameter", QStringLiteral("P"), i));
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
}

void HXUnitPanel::buildStation()
{
    frameStation = NamedControl<QGroupBox>(this, "frameStation");
    frameStation->setProperty("langTag", QStringLiteral("NOLANG"));
    auto* station = new QVBoxLayout(frameStation);
    frameStationMode = NamedControl<QGroupBox>(frameStation, "frameStationMode");
    frameStationMode->setTitle(QStringLiteral("Modus"));
    auto* sm = new QHBoxLayout(frameStationMode);
    const char* const modeTexts[] = {"&Parallel", "&Multiplexed"};
    for (int i = 0; i < 2; ++i) {
        rdMode.append(NamedControl<QRadioButton>(frameStationMode, "rdMode", i));
        rdMode[i]->setText(QString::fromLatin1(modeTexts[i]));
        sm->addWidget(rdMode[i]);
    }
    station->addWidget(frameStationMode);
    for (int k = 0; k < 4; ++k)
        frameTrigger.append(NamedControl<QGroupBox>(frameStation, "frameTrigger", k));
    for (int sensor = 0; sensor < 4; ++sensor) {
        QGroupBox* f = frameTrigger[TriggerFrame(sensor)];
        f->setTitle(QStringLiteral("Triggersensor %1").arg(sensor + 1));
        cmbTrigger.append(NamedControl<QComboBox>(f, "cmbTrigger", sensor));
        cmbTriggerMode.append(NamedControl<QComboBox>(f, "cmbTriggerMode", sensor));
        cmbTrigger[sensor]->setProperty("langTag", QStringLiteral("NOLANG"));
        AddComboItem(cmbTriggerMode[sensor], QStringLiteral("aus"), 0);
        AddComboItem(cmbTriggerMode[sensor], QStringLiteral("an"), 1);
        AddComboItem(cmbTriggerMode[sensor], QStringLiteral("invertiert"), 2);
        auto* l = new QHBoxLayout(f);
        l->addWidget(cmbTrigger[sensor]);
        l->addWidget(cmbTriggerMode[sensor]);
        for (QComboBox* box : {cmbTrigger[sensor], cmbTriggerMode[sensor]})
            connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, sensor] {
                if (!filling_)
                    emit triggerChosen(sensor);
            });
    }
    for (QGroupBox* f : frameTrigger)
        station->addWidget(f);
}

void HXUnitPanel::FillTriggerLists(const QString& headText)
{
    filling_ = true;
    // Sensors 1 and 2 serve heads 1 and 2, sensors 3 and 4 heads 1 to 4; none its own
    // number. So sensor 1 starts on head 2, the others on head 1.
    for (int sensor = 0; sensor < 4; ++sensor) {
        cmbTrigger[sensor]->clear();
        for (int h = 1; h <= (sensor < 2 ? 2 : 4); ++h)
            if (h != sensor + 1)
                AddComboItem(cmbTrigger[sensor], headText + QLatin1Char(' ') + QString::number(h), h);
        SelectComboItem(cmbTrigger[sensor], 0, 0);
        SelectComboItem(cmbTriggerMode[sensor], 0, 0);
    }
    filling_ = false;
}

int HXUnitPanel::Fill()
{
    const HXProtocol& unit = unit_;
    filling_ = true;
    // The model's picture, read afresh; without one, the drawn stand-in.
    QPixmap picture(unit.UnitPicture);
    if (picture.isNull())
        picture = DrawUnitPicture(kUnitPictureSize, devicePixelRatioF());
    btOrvidSystem->setIcon(QIcon(picture));
    btOrvidSystem->setIconSize(picture.deviceIndependentSize().toSize().boundedTo(QSize(160, 96)));
    const int count = unit.ChannelCount;
    int firstKnown = -1;
    for (int i = 0; i < 4; ++i) {
        const bool present = i < count;
        for (QWidget* w : {static_cast<QWidget*>(rdHead[i]), static_cast<QWidget*>(linHead[i]),
                           static_cast<QWidget*>(linVert[i]), static_cast<QWidget*>(btHead[i]),
                           static_cast<QWidget*>(btInfo[i]), static_cast<QWidget*>(btParameter[i])})
            w->setVisible(present);
        showHead(i, present);
        if (btInfo[i]->isEnabled() && firstKnown < 0)
            firstKnown = i;
    }
    int option = 4;
    if (unit.Channel != QLatin1String("x")) {
        option = std::clamp(unit.Channel.toInt() - 1, 0, 3);
        if (!rdHead[option]->isEnabled())
            option = firstKnown >= 0 ? firstKnown : 4;
    }

    // The mode and the trigger settings the unit reported (its "GS" reply), for the
    // sensors it shows.
    const QString state = QString::fromLatin1(unit.UnitStateText);
    auto field = [&state](const QString& key) {
        const qsizetype at = state.indexOf(key);
        return at < 0 ? QString() : state.mid(at + key.size()).section(QLatin1Char(' '), 0, 0);
    };
    // A one-channel unit reports no mode: it shows parallel.
    const int multiplexed = count >= 2 ? static_cast<int>(Val(field(QStringLiteral("MM:")))) : 0;
    rdMode[multiplexed == 1 ? 1 : 0]->setChecked(true);
    for (int sensor = 0; sensor < 4; ++sensor) {
        const bool shown = HXProtocol::TriggerShown(sensor, count);
        frameTrigger[TriggerFrame(sensor)]->setVisible(shown);
        if (!shown)
            continue;
        const QString v = field(QStringLiteral("TM%1:").arg(sensor + 1)) + QStringLiteral("00");
        // A head the list does not offer (none, the sensor's own) shows the first one, as
        // after loading: what is shown is what a change of the mode sends.
        SelectComboItem(cmbTrigger[sensor], static_cast<int16_t>(v.mid(0, 1).toInt()), 0);
        SelectComboItem(cmbTriggerMode[sensor], static_cast<int16_t>(v.mid(1, 1).toInt()), 0);
    }
    filling_ = false;
    return option;
}

void HXUnitPanel::SetTitle(const QString& title)
{
    frameModule->setTitle(title);
    frameStation->setTitle(title);
}

void HXUnitPanel::ShowSelectionLine(int index)
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

int HXUnitPanel::TriggerSource(int sensor) const
{
    return cmbTrigger[sensor]->currentData().toInt();
}

int HXUnitPanel::TriggerMode(int sensor) const
{
    return cmbTriggerMode[sensor]->currentData().toInt();
}

} // namespace orvid
