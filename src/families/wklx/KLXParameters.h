#pragma once
// The reader's named parameters and the parameter cycle of the KLX9000 window: read all
// of them, let the user edit them, set the ones the user changed.

#include "KLXProtocol.h"
#include "foundations/GeneralClasses.h"

namespace orvid {

namespace KLXParameters {

// The twelve parameters with their defaults, in the order they are read and set.
clsCollection<clsParameter> Build();

// GET every parameter in order (asDefault: the changed flags stay clear); false at the
// first failed or empty GET, which ends the cycle before the dialog.
bool ReadAll(IKLXParameterTarget& target, clsCollection<clsParameter>& parameters);
// SET every changed parameter in order; a failed SET (no reply, error status) ends the
// loop, an empty good reply does not. Returns the number of SET commands that succeeded.
int WriteChanged(IKLXParameterTarget& target, clsCollection<clsParameter>& parameters);

} // namespace KLXParameters

} // namespace orvid
