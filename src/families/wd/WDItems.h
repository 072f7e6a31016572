#pragma once
// The data items of system D (LkPutData / LkGetData ids), in the family's range besides
// the link's own (families/common/DataItems.h).

#include "families/common/DataItems.h"

namespace orvid {

namespace WDItem {
enum : int16_t {
    DataRepresentation = 103,   // 0 ASCII, 1 hex, 2 decimal (the write dialog starts with it)
    OperationMode = 200,
    HeadNumber = 201,
    DataFormat = 202,
    StartAddress = 203,
    DataLength = 204,
    Tagcode = 205,
};
} // namespace WDItem

} // namespace orvid
