#pragma once
// The settings of system R: the "OrvidKR" section of the settings file, its keys, and the
// one place they are loaded and saved.

#include <QString>
#include <cstdint>

namespace orvid {

struct AppContext;

struct KRSettings {
    static constexpr const char* kSection = "OrvidKR";
    struct Key {
        static constexpr const char* Tagcode = "Tagcode";
        static constexpr const char* OperationMode = "OperationMode";
        static constexpr const char* StartAddress = "StartAddress";
        static constexpr const char* DataLength = "DataLength";
        static constexpr const char* DataRepresentation = "DataRepresentation";
        static constexpr const char* PasswordFlag = "PasswordFlag";
        static constexpr const char* HeadNumber = "HeadNumber";
        static constexpr const char* AutoDataRepRead = "AutoDataRepRead";
        static constexpr const char* AutoDataRepFixed = "AutoDataRepFixed";
        static constexpr const char* AutoSRLength = "AutoSRLength";
    };

    int16_t Tagcode = 0;
    int16_t OperationMode = 0;
    qint64 StartAddress = 0;
    int DataLength = 12;
    int16_t DataRepresentation = 0;
    bool PasswordFlag = false;
    QString HeadNumber = QStringLiteral("1");
    int16_t AutoDataRepRead = -1;    // -1: none; above 2 reads as -1
    int16_t AutoDataRepFixed = -1;
    int16_t AutoSRLength = 0;        // as stored (the telegram layer limits it)

    // From the settings file (defaults for what is missing).
    static KRSettings Load(AppContext& ctx);
    // What closing the link writes (the head number is written by the window's close).
    void SaveSelection(AppContext& ctx) const;
    static void SaveHeadNumber(AppContext& ctx, const QString& head);
};

} // namespace orvid
