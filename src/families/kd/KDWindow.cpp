#include "KDWindow.h"

#include "KDControls.h"
#include "families/common/DataItems.h"
#include "families/common/TagDataList.h"
#include "foundations/Cp1252.h"
#include "foundations/Language.h"
#include "link/LK.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace orvid {

void KDWindow::buildSkeleton(const std::function<void(QVBoxLayout*)>& controls,
                             const std::function<void(QVBoxLayout*)>& buttons)
{
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetMinimumSize);
    frameHead = NamedControl<QGroupBox>(this, "frameHead");
    frameHead->setTitle(QStringLiteral("LESEKOPF"));
    frameHead->setProperty("langTag", kd::kNoLang);
    top->addWidget(frameHead);
    auto* row = new QHBoxLayout(frameHead);

    auto* left = new QVBoxLayout;
    controls(left);
    left->addStretch(1);
    row->addLayout(left);

    frameTagData = NamedControl<QGroupBox>(frameHead, "frameTagData");
    frameTagData->setTitle(QStringLiteral("Daten"));
    lstTagData = new TagDataList(frameTagData);
    lstTagData->setMinimumSize(300, 180);
    (new QVBoxLayout(frameTagData))->addWidget(lstTagData);
    row->addWidget(frameTagData, 1);

    auto* right = new QVBoxLayout;
    buttons(right);
    btStop = kd::Button(frameHead, right, "btStop", QStringLiteral("S&top"));
    btClear = kd::Button(frameHead, right, "btClear", QStringLiteral("L&\xF6schen"));
    right->addStretch(1);
    row->addLayout(right);
    connect(btStop, &QPushButton::clicked, this, [this] { btStop_Click(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btClear_Click(); });
}

void KDWindow::OnPlaced()
{
    applyMinimumSize();
}

void KDWindow::applyLanguage()
{
    if (ctx_.language)
        ctx_.language->ApplyWindowLanguage(this);
    NoHeadText = protocol().Translate(QStringLiteral("NoHead"), QStringLiteral("Kein Schreib/Lesekopf vorhanden"));
    refreshTitle();
}

void KDWindow::refreshTitle()
{
    SetRWFrameTitle(FromCp1252(getItem(LinkItem::HeadType).toByteArray()));
}

void KDWindow::SetRWFrameTitle(const QString& title)
{
    frameHead->setTitle(title.isEmpty() ? NoHeadText : title);
}

void KDWindow::AddData(int kind, const QByteArray& caption, const QByteArray& data)
{
    if (kind == 1)
        lstTagData->AddText(FromCp1252(data));
    else
        lstTagData->AddLine(FromCp1252(caption), data);
}

void KDWindow::btStop_Click()
{
    if (ctx_.lk)
        ctx_.lk->EnablePolling(false);
    StopBuffered();
}

void KDWindow::btClear_Click()
{
    lstTagData->clear();
}

} // namespace orvid
