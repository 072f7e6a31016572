#include "KRSettings.h"

#include "families/common/FamilySettings.h"
#include "foundations/Utils.h"

namespace orvid {

KRSettings KRSettings::Load(AppContext& ctx)
{
    const SettingsSection s(ctx, kSection);
    KRSettings k;
    k.Tagcode = CInt16(s.Number(Key::Tagcode, "00"));
    k.OperationMode = CInt16(s.Number(Key::OperationMode, "0"));
    k.StartAddress = static_cast<qint64>(s.Number(Key::StartAddress, "0"));
    k.DataLength = CInt16(s.Number(Key::DataLength, "12"));
    k.DataRepresentation = CInt16(s.Number(Key::DataRepresentation, "0"));
    k.PasswordFlag = CInt16(s.Number(Key::PasswordFlag, "0")) != 0;
    k.HeadNumber = s.Read(Key::HeadNumber, QStringLiteral("1"));
    k.AutoDataRepRead = CInt16(s.Number(Key::AutoDataRepRead, "-1"));
    if (k.AutoDataRepRead > 2)
        k.AutoDataRepRead = -1;
    k.AutoDataRepFixed = CInt16(s.Number(Key::AutoDataRepFixed, "-1"));
    if (k.AutoDataRepFixed > 2)
        k.AutoDataRepFixed = -1;
    k.AutoSRLength = CInt16(s.Number(Key::AutoSRLength, "0"));
    return k;
}

void KRSettings::SaveSelection(AppContext& ctx) const
{
    SettingsSection s(ctx, kSection);
    s.Write(Key::Tagcode, Tagcode);
    s.Write(Key::OperationMode, OperationMode);
    s.Write(Key::StartAddress, static_cast<int>(StartAddress));
    s.Write(Key::DataLength, DataLength);
    s.Write(Key::DataRepresentation, DataRepresentation);
    s.Write(Key::PasswordFlag, PasswordFlag ? -1 : 0);
}

void KRSettings::SaveHeadNumber(AppContext& ctx, const QString& head)
{
    SettingsSection(ctx, kSection).Write(Key::HeadNumber, head);
}

} // namespace orvid
