// The interface unit's telegrams and replies without a link: serial and Ethernet request
// frames byte for byte, the refusals of frames that cannot carry their data, the decoding
// of Ethernet replies into the unified text, and the status rules of both transports.

#include "families/hx/HXTelegram.h"

#include <gtest/gtest.h>

namespace orvid::hx {
namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

TEST(HXTelegram, SerialTelegramsAndModeCommands)
{
    EXPECT_EQ(SerialTelegram(CommandField(HXCommand::SR, false), "1", "000010"), "SR1000010#\r");
    EXPECT_EQ(CommandField(HXCommand::VE, true), QByteArray());   // no Ethernet code
    EXPECT_EQ(CommandField(HXCommand::TM, true), bytes({0x9C}));

    // Fixcode writes number Buffered and Auto the other way round than word writes.
    const char* words[] = {"SW", "BW", "AW", "EW"};
    const char* codes[] = {"SX", "AX", "BX", "EX"};
    const char* reads[] = {"SR", "BR", "AR", "ER"};
    for (int mode = 0; mode < 4; ++mode) {
        HXCommand c{};
        ASSERT_TRUE(WriteCommand(mode, false, c));
        EXPECT_STREQ(Info(c).text, words[mode]);
        ASSERT_TRUE(WriteCommand(mode, true, c));
        EXPECT_STREQ(Info(c).text, codes[mode]);
        ASSERT_TRUE(ReadCommand(mode, false, c));
        EXPECT_STREQ(Info(c).text, reads[mode]);
    }
    HXCommand c{};
    EXPECT_FALSE(WriteCommand(4, false, c));
    EXPECT_FALSE(ReadCommand(-1, true, c));
}

TEST(HXTelegram, EthernetFrames)
{
    struct Case {
        HXCommand command;
        QByteArray channel;
        QByteArray data;
        QByteArray frame;
        QByteArray channelAfter;
    };
    const Case cases[] = {
        {HXCommand::SR, "1", "000404", bytes({0, 6, 0x10, 0x42, 0, 4}), "1"},
        {HXCommand::SR, "x", "000404", bytes({0, 6, 0x10, 0x4E, 0, 4}), "x"},
        {HXCommand::SW, "3", "12340FABCD", bytes({0, 10, 0x40, 0xF6, 0x12, 0x34, 'A', 'B', 'C', 'D'}), "3"},
        {HXCommand::TM, "", "312", bytes({0, 5, 0x9C, 0x34, 1}), "2"},
        {HXCommand::SP, "2", "5AB", bytes({0, 10, 0x0D, 0x54, 0, 0, 0x30, 0, 'A', 'B'}), "2"},
        {HXCommand::CT, "4", "03", bytes({0, 6, 0x04, 0x08, '0', '3'}), "4"},
        {HXCommand::QU, "", "", bytes({0, 4, 0x02, 0x00}), ""},
    };
    for (const Case& c : cases) {
        QByteArray channel = c.channel;
        QByteArray frame;
        ASSERT_EQ(EthernetFrame(c.command, channel, c.data, frame), FrameRefusal::None) << Info(c.command).text;
        EXPECT_EQ(frame.toHex(' '), c.frame.toHex(' ')) << Info(c.command).text;
        EXPECT_EQ(channel, c.channelAfter);
    }
}

TEST(HXTelegram, EthernetFramesRefusedWithNothingBuilt)
{
    struct Case {
        HXCommand command;
        QByteArray data;
        FrameRefusal refusal;
    };
    const Case cases[] = {
        {HXCommand::BR, "000004", FrameRefusal::NoCode},
        {HXCommand::GS, "", FrameRefusal::NoCode},
        {HXCommand::SR, "000010", FrameRefusal::WordCount},   // 16 words
        {HXCommand::SR, "00000F", FrameRefusal::None},        // 15 still fit
        {HXCommand::SX, "110501234", FrameRefusal::Fixcode},
        {HXCommand::EX, "110501234", FrameRefusal::Fixcode},
        {HXCommand::SR, "00G004", FrameRefusal::BadData},
        {HXCommand::SR, "0000", FrameRefusal::BadData},
        {HXCommand::SP, "Z", FrameRefusal::BadData},
        {HXCommand::TM, "3", FrameRefusal::BadData},
    };
    for (const Case& c : cases) {
        QByteArray channel = "1";
        QByteArray frame = "untouched";
        EXPECT_EQ(EthernetFrame(c.command, channel, c.data, frame), c.refusal) << c.data.constData();
        if (c.refusal != FrameRefusal::None) {
            EXPECT_EQ(frame, "untouched");
        }
    }
}

TEST(HXTelegram, EthernetRepliesAndStatusRules)
{
    struct Case {
        QByteArray frame;
        QByteArray further;
        bool decoded;
        QByteArray text;
        int status;
        int16_t result;      // GetLKResult with the decoded status
        QByteArray after;    // the reply after GetLKResult
    };
    const Case cases[] = {
        {bytes({0, 8, 0, 2, 0, 0, 'A', 'B'}), {}, true, "01AB", 0, 2, "AB"},
        {bytes({0, 6, 0, 4, 64, 0}), {}, true, "42", 4, -4, "42"},
        {bytes({0, 6, 0, 2, 5, 0}), {}, true, "51", 5, -5, "51"},
        {bytes({0, 6, 0, 2, 15, 0}), {}, true, "F1", 15, -15, "F1"},
        // Statuses the table cannot name fail with their own number, never past 255.
        {bytes({0, 6, 0, 2, 16, 0}), {}, true, "?1", 16, -16, "?1"},
        {bytes({0, 6, 0, 2, 254, 0}), {}, true, "?1", 254, -254, "?1"},
        // 255 announces a further frame, which is used instead.
        {bytes({0, 6, 0, 2, 255, 0}), bytes({0, 7, 0, 6, 0, 0, 'Z'}), true, "03Z", 0, 1, "Z"},
        {bytes({0, 6, 0, 2, 255, 0}), bytes({0, 7, 0, 6, 255, 0, 'Z'}), true, "?3Z", 255, -255, "?3Z"},
        {bytes({0, 6, 0, 2, 255, 0}), {}, false, {}, 0, 0, {}},
        {bytes({0, 5, 0, 2, 0}), {}, false, {}, 0, 0, {}},
        {bytes({0, 6, 0, 2, 0, 0}), {}, true, "01", 0, 0, ""},
    };
    for (const Case& c : cases) {
        HXReply r;
        ASSERT_EQ(DecodeEthernetReply(c.frame, c.further, r), c.decoded) << c.frame.toHex().constData();
        if (!c.decoded)
            continue;
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.status, c.status);
        QByteArray reply = r.text;
        EXPECT_EQ(GetLKResult(reply, static_cast<int16_t>(reply.size()), 0, r.status), c.result);
        EXPECT_EQ(reply, c.after);
        // The unified text alone never reads as success when the status was a failure.
        QByteArray again = r.text;
        EXPECT_EQ(GetLKResult(again, static_cast<int16_t>(again.size()), 0) < 0, c.status != 0);
    }
}

TEST(HXTelegram, SerialStatusAndHeaders)
{
    struct Case {
        QByteArray reply;
        int protocolType;
        int16_t result;
        QByteArray after;
    };
    const Case cases[] = {
        {"01ABCD", 0, 4, "ABCD"},
        {"01", 0, 0, ""},
        {"52", 0, -5, "52"},
        {"B1", 0, -11, "B1"},
        {"f1", 0, -15, "f1"},
        {"^0XY", 0, -16, "^0XY"},       // no hex digit: a failure
        {"0xx1xxxxDATA", 1, 4, "DATA"}, // diagnose header of 8
        {"0xx1xxx", 1, 0, ""},
    };
    for (const Case& c : cases) {
        QByteArray reply = c.reply;
        EXPECT_EQ(GetLKResult(reply, static_cast<int16_t>(reply.size()), c.protocolType), c.result)
            << c.reply.constData();
        EXPECT_EQ(reply, c.after);
    }
    QByteArray r = "01";
    EXPECT_EQ(GetLKResult(r, -3, 0), -3);
    EXPECT_EQ(StatusCode(10), "A");
    EXPECT_EQ(StatusCode(200), "200");
    EXPECT_EQ(ChannelNumber("x"), 7);
    EXPECT_EQ(ChannelNumber(""), 0);
    EXPECT_EQ(ChannelNumber("3"), 3);
}

} // namespace
} // namespace orvid::hx
