#pragma once
// The settings of microwave system L: section "OrvidWL_VD" for the text-protocol window
// (entry 7), and section "OrvidWL" for the automatic refresh of the small windows, which
// both entries share. Values outside their lists load as the defaults.

#include <QString>
#include <cstdint>

namespace orvid {

struct AppContext;

struct WLSettings {
    static constexpr const char* kSection = "OrvidWL_VD";
    static constexpr const char* kSmallWindows = "OrvidWL";
    struct Key {
        static constexpr const char* OperationMode = "OperationMode";
        static constexpr const char* StartAddress = "StartAddress";
        static constexpr const char* DataLength = "DataLength";
        static constexpr const char* DataRepresentation = "DataRepresentation";
        static constexpr const char* Frequency = "Frequency";
        static constexpr const char* Range = "Range";
        static constexpr const char* BitRate = "BitRate";
        static constexpr const char* TagSpeed = "TagSpeed";
        static constexpr const char* MaxRetries = "MaxRetries";
        static constexpr const char* IOAutoMode = "IOAutoMode";
        static constexpr const char* StateAutoMode = "StateAutoMode";
    };

    int16_t OperationMode = 0;        // 0..2
    quint16 StartAddress = 0;
    int DataLength = 0;               // 0..999 (the length box has three digits)
    int16_t DataRepresentation = 0;   // 0..2
    QString Frequency = QStringLiteral("50");   // two digits, 01..99
    int16_t Range = 4;                // 1..4
    int16_t BitRate = 2;              // 1 low, 2 high
    int16_t TagSpeed = 2;             // 1..2
    int16_t MaxRetries = 2;

    static WLSettings Load(AppContext& ctx);
    // Everything but MaxRetries, which the program only reads.
    void Save(AppContext& ctx) const;

    // "IOAutoMode" / "StateAutoMode" of section "OrvidWL": on when its numeric value is not 0.
    static bool AutoMode(AppContext& ctx, const char* key);
    static void SaveAutoMode(AppContext& ctx, const char* key, bool on);

    // A channel text 1..99 as two digits; empty when the text is no such number.
    static QString FrequencyText(const QString& text);
};

} // namespace orvid
