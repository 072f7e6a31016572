#pragma once
// The head parameters of the VNB (ultra-high-frequency) heads, without widgets: the
// collection the parameter action reads and writes, the transfer of one parameter, and
// the parameter dialog's form model (fill the controls from the values, compose the
// values from the controls with their range checks).
//
// Values are the parameter's bytes exactly as on the wire, held as Latin-1 text in
// clsParameter. A parameter the head did not answer for stays unavailable: its controls
// are disabled and it is never written, so no value is invented for it.

#include "HXHeadFile.h"
#include "foundations/GeneralClasses.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <array>
#include <optional>

namespace orvid::hx {

using ParameterList = QList<clsParameter>;

// The parameters of a head in their order, with their initial values; RC first when the
// head type has a country-profile group.
ParameterList NewParameters(bool withCountryProfile);
clsParameter* FindParameter(ParameterList& list, const QString& name);
const clsParameter* FindParameter(const ParameterList& list, const QString& name);
QByteArray ValueBytes(const clsParameter& p);
// A word as the heads take it: high byte, low byte; and the word at byte at of b.
QByteArray WordBytes(int value);
int WordAt(const QByteArray& b, int at);
void SetValueBytes(clsParameter& p, const QByteArray& bytes);

// One parameter over the window's link.
class IHXParameterLink {
public:
    virtual ~IHXParameterLink() = default;
    // RP: 0 or more read (replied false: no reply came), minus the status on a failure.
    virtual int16_t ReadCmd(clsParameter& p, bool asDefault, const QByteArray& channel, bool* replied) = 0;
    // WP: 1 or more written, 0 no reply, minus the status.
    virtual int16_t WriteCmd(clsParameter& p) = 0;
    // One line in the window's data list.
    virtual void ListLine(const QString& line) = 0;
    // The line of a failed parameter ("STATUS: Kopf 2: PT: 4 - ...").
    virtual QString ParameterError(const QString& name, int16_t result) const = 0;
};

// Reads every parameter as its default, clearing the flags first: a reply makes it
// available; status 4 (the head lacks it) or no reply leaves it unavailable and reading
// goes on; another status ends reading and is returned (0 when all were read).
int16_t ReadAllParameters(IHXParameterLink& link, ParameterList& params, QString* failedName = nullptr);

// ---- the parameter dialog's form ----------------------------------------------------------

struct VNBForm {
    // AP: the item data offered (0 C, 1 L, 2 R, 3 H, 4 V) and the one selected. apKept:
    // the head's value is not offered; it is written back unchanged unless the user picks.
    QList<int> apItems;
    int ap = 0;
    bool apKept = false;
    std::array<QString, 10> pt;
    QList<int> cdItems;   // 0 ("-/-") first, then the channels offered
    std::array<int, 4> cd{};
    QString nc, ta, e5, qw, nt, sm;
    int mb = 2, qv = 0, info = 0;
    // Enabled by availability and the profile's locks, by parameter name.
    QMap<QString, bool> enabled;
    const HXProfile* profile = nullptr;
};

// The profile of an RC value (word, high byte first), or none.
const HXProfile* ProfileOf(const ParameterList& params, const HXHeadType& head);
VNBForm FillVNBForm(const ParameterList& params, const HXHeadType& head);
// A channel chosen in box j is cleared from the other boxes.
void ExcludeChannel(VNBForm& form, int j);

struct VNBRangeFault {
    QString name;      // the parameter ("PT" ...)
    qint64 min = 0, max = 0;
    int box = 0;       // for PT the box
};
// Sets the values of the enabled parameters in order; the first fault stops there (the
// values before it are set) and is returned.
std::optional<VNBRangeFault> ComposeVNBForm(const VNBForm& form, const HXHeadType& head, ParameterList& params);

} // namespace orvid::hx
