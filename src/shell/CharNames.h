#pragma once
// Display names of the 256 byte codes, shared by the traffic monitor, the command window
// and the data-list control: control codes and the codes without a printable form show
// as "<name>" or "<decimal>", every other code as its Windows-1252 character.

#include <QStringList>

namespace orvid {

// Builds the shared table once; later calls do nothing.
void InitCharNames();
// The shared table (built on first use when InitCharNames has not run yet).
const QStringList& CharNames();
// A freshly built table, for controls that keep a copy of their own.
QStringList BuildCharNames();

} // namespace orvid
