#pragma once
// The reader's named parameters and the parameter cycle of the KLX9000 window: read all
// of them, let the user edit them, set the ones the user changed.

#include "KLXProtocol.h"
#include "foundations/GeneralClasses.h"

#include <functional>

namespace orvid {

namespace KLXParameters {

// The twelve parameters with their defaults, in the order they are read and set.
clsCollection<clsParameter> Build();

// GET every parameter (asDefault: the changed flags stay clear); a failed or empty GET
// ends the cycle before the dialog. After show() returned true, SET every changed one in
// order; a failed SET (no reply, error status) ends the loop, an empty good reply does
// not. Returns the number of SET commands that succeeded, -1 when the dialog was not
// shown or not confirmed.
int RunCycle(IKLXParameterTarget& target, const std::function<bool(clsCollection<clsParameter>&)>& show);

} // namespace KLXParameters

} // namespace orvid
