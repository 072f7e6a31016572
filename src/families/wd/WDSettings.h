#pragma once
// The settings section of the microwave system D, "OrvidWD": its keys, the values read
// when the window loads, and the one place that writes the section.
//
// The window's entries and the data items the link puts in share three keys
// (StartAddress, DataLength, HeadNumber). Both go into one WDSettings, whose fields hold
// the latest value of this run; a key nobody set this run is not written, so program end
// never replaces the user's entries with values nobody chose.

#include <QString>
#include <cstdint>
#include <optional>

namespace orvid {

struct AppContext;

struct WDSettings {
    static constexpr const char* kSection = "OrvidWD";
    static constexpr const char* kDataRepresentation = "DataRepresentation";
    static constexpr const char* kHeadNumber = "HeadNumber";
    static constexpr const char* kUseIdCode = "UseIdCode";
    static constexpr const char* kLoopFlag = "LoopFlag";
    static constexpr const char* kIdCode = "IdCode";
    static constexpr const char* kStartAddress = "StartAddress";
    static constexpr const char* kDataLength = "DataLength";
    static constexpr const char* kTagcode = "Tagcode";
    static constexpr const char* kOperationMode = "OperationMode";
    static constexpr const char* kStateAutoMode = "StateAutoMode";   // unit-state window
    static constexpr const char* kIOAutoMode = "IOAutoMode";         // outputs window

    // The values as stored: numbers as decimal text with the blank a non-negative number
    // gets (" 1"), the address as hex digits, the loop flag "1"/"0", the ID code and the
    // length as the window's boxes show them.
    std::optional<QString> DataRepresentation, HeadNumber, UseIdCode, LoopFlag, IdCode, StartAddress,
        DataLength, Tagcode, OperationMode;

    // Every key, read from the store, the default for a missing one ("0" for the numbers
    // and the flag, "" for the texts).
    static WDSettings Load(AppContext& ctx);
    // Writes every field that holds a value.
    void Save(AppContext& ctx) const;

    // The automatic mode of the unit-state and outputs windows (on when numeric value != 0).
    static bool AutoMode(AppContext& ctx, const char* key);
    static void SaveAutoMode(AppContext& ctx, const char* key, bool on);

    static QString Number(int value);
};

} // namespace orvid
