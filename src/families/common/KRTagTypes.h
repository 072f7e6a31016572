#pragma once
// The tag types (code carriers) of the inductive family: one table for the system R window,
// its data write dialog and the interface-unit window's use of that dialog. Texts here are
// the German defaults; the lists that a language file translates say under which key.
//
//   KRWindowTagTypes(system)       the window's cmbCode: design entries "Auto Orvid" 0,
//                                  QTX02 2, QTX03 3, QTX10 10 (keys "cmbCode0".."cmbCode3"),
//                                  then what FillTagCodes adds for the system index
//                                  (2: QTX11; 3: QTX11, QTX12, QTX14)
//   KRWindowExtraTagTypes(system)  only the entries FillTagCodes adds
//   KRWriteTagTypes(system)        the write dialog's cmbCode for systems 2 and 3: design
//                                  entries "Auto Detect" 0, QTX03 3, QTX10 10 (keys
//                                  "cmbCode0".."cmbCode2"); system 3 adds QTX11, QTX12, QTX14
//                                  so that every tag type the window offers for a data
//                                  write keeps its code in the dialog
//   KRWriteTagTypesForHeads(heads) the write dialog's list for the interface-unit entries
//                                  (system 1 and 10), built from the head families found
//   TagTypeName(code)              the text of a code ("QTX03", "RMX21", "Standard" ...)

#include <QList>
#include <QString>
#include <cstdint>

namespace orvid {

struct TagType {
    int16_t code = 0;
    QString name;   // default text (ItemData of the list entry is the code)
    bool operator==(const TagType& o) const { return code == o.code && name == o.name; }
};

// Codes with a meaning of their own in the R layer.
namespace TagCode {
constexpr int16_t Auto = 0;
constexpr int16_t QTX01 = 1;
constexpr int16_t QTX02 = 2;
constexpr int16_t QTX03 = 3;    // the tag type that takes a password
constexpr int16_t QTX10 = 10;   // one-time fixcode written through WriteTag
constexpr int16_t QTX11 = 11;
constexpr int16_t QTX12 = 12;
constexpr int16_t QTX14 = 14;
constexpr int16_t Standard = 99;
} // namespace TagCode

// Head families an interface unit reports (data items 110..117).
struct HeadFamilies {
    bool inductive = false; // 110
    bool microwave = false; // 111
    bool zlb = false;       // 113
    bool rmb = false;       // 114
    bool rmb1 = false;      // 115
    bool vnb = false;       // 116
    bool rmb2 = false;      // 117
};

// The default text of a tag code; empty for an unknown code. 99 gives "Standard" (the
// callers translate it under "StandardOrvid"), 0 gives "Auto Orvid".
QString TagTypeName(int16_t code);

QList<TagType> KRWindowDesignTagTypes();
QList<TagType> KRWindowExtraTagTypes(int16_t system);
QList<TagType> KRWindowTagTypes(int16_t system);

QList<TagType> KRWriteDesignTagTypes();
QList<TagType> KRWriteTagTypes(int16_t system);
// Groups in this order: Standard (unless VNB), inductive, microwave, RMB, RMB1, ZLB, RMB2,
// VNB. A type may appear twice when several families are present.
QList<TagType> KRWriteTagTypesForHeads(const HeadFamilies& heads);
// The interface-unit window's cmbCode: the same groups, with RMB2 before ZLB.
QList<TagType> HXWindowTagTypes(const HeadFamilies& heads);

// The head number item ("1".."4", "x" for all heads) and the item data of the head
// lists (1..4, 0 for "x").
int16_t HeadNumberData(const QString& head);
QString HeadNumberText(int16_t data);

} // namespace orvid
