// Byte layouts, checksums and recognisers of the keyboard's messages.
#include <gtest/gtest.h>

#include <numeric>

#include "editor/protocol/SysExMessages.h"

using namespace SysExMsg;

namespace {

const unsigned char kTx[2] = {0x7F, 0x17};
const unsigned char kRx[2] = {0x7F, 0x19};

Bytes withF0(const Bytes& m)
{
    Bytes out{0xF0};
    out.insert(out.end(), m.begin(), m.end());
    return out;
}

TEST(SysExLayout, WorkedExamples)
{
    const unsigned char cc = 0x40;
    struct Case {
        const char* name;
        Bytes built;
        Bytes expected;
    } const cases[] = {
        {"store to flash", storeToFlash(kTx),
         {0xF0, 0x43, 0x00, 0x7F, 0x17, 0x00, 0x00, 0x11, 0x00, 0x00, 0x6F, 0xF7}},
        {"edit buffer header 0", bulkDump(kTx, 0x0E, 0x6F, 0, nullptr, 0),
         {0xF0, 0x43, 0x00, 0x7F, 0x17, 0x00, 0x00, 0x0E, 0x6F, 0x00, 0x03, 0xF7}},
        {"stored header 49", bulkDump(kTx, 0x0E, 0x60, 49, nullptr, 0),
         {0xF0, 0x43, 0x00, 0x7F, 0x17, 0x00, 0x00, 0x0E, 0x60, 0x31, 0x61, 0xF7}},
        {"stored footer 49", bulkDump(kTx, 0x0F, 0x60, 49, nullptr, 0),
         {0xF0, 0x43, 0x00, 0x7F, 0x17, 0x00, 0x00, 0x0F, 0x60, 0x31, 0x60, 0xF7}},
        {"store", storeMessage(kTx), {0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x22, 0x00, 0xF7}},
        {"CC change knob B2", paramChange(kTx, 0x15, 0x18, &cc, 1),
         {0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x15, 0x18, 0x40, 0xF7}},
        {"template number request", paramRequest(kTx, 0x20, 0x00),
         {0xF0, 0x43, 0x30, 0x7F, 0x17, 0x01, 0x20, 0x00, 0xF7}},
        {"bank edit flag request", paramRequest(kTx, 0x23, 0x00),
         {0xF0, 0x43, 0x30, 0x7F, 0x17, 0x01, 0x23, 0x00, 0xF7}},
        {"bulk request edit buffer 12", bulkRequest(kTx, 0x6F, 12),
         {0xF0, 0x43, 0x20, 0x7F, 0x17, 0x0E, 0x6F, 0x0C, 0xF7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withF0(c.built), c.expected);
    }
}

TEST(SysExLayout, BlockSizesByteCountsAndChecksums)
{
    const Bytes common(kCommonBlockDataBytes, 0x41);
    const Bytes knob(kKnobBlockDataBytes, 0x7E);
    const Bytes remote = paramChange(kTx, 0x10, 0x00, knob.data(), 9);
    struct Case {
        Bytes m;
        std::size_t wireLength;
        unsigned char bh, bl;
    } const cases[] = {
        {bulkDump(kTx, 0x01, 0x00, 0x00, common.data(), kCommonBlockDataBytes), 39, 0x00, 0x1B},
        {bulkDump(kTx, 0x01, 0x1B, 0x00, knob.data(), kKnobBlockDataBytes), 38, 0x00, 0x1A},
        {bulkDump(kTx, 0x0E, 0x60, 3, nullptr, 0), 12, 0x00, 0x00},
        {bulkDump(kTx, 0x0F, 0x6F, 3, nullptr, 0), 12, 0x00, 0x00},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.m.size() + 1, c.wireLength);
        EXPECT_EQ(c.m[4], c.bh);
        EXPECT_EQ(c.m[5], c.bl);
        EXPECT_TRUE(isBulkChecksumCorrect(c.m.data(), c.m.size()));
        // Everything from bh to cs sums to a multiple of 128.
        const unsigned sum = std::accumulate(c.m.begin() + 4, c.m.end() - 1, 0u);
        EXPECT_EQ(sum % 128, 0u);
    }
    EXPECT_EQ(remote.size() + 1, 18u);
    // A byte count above 127 is split in two 7-bit halves.
    const Bytes big(200, 0x01);
    const Bytes m = bulkDump(kTx, 0x01, 0x00, 0x00, big.data(), 200);
    EXPECT_EQ(m[4], 0x01);
    EXPECT_EQ(m[5], 200 - 128);
    EXPECT_TRUE(isBulkChecksumCorrect(m.data(), m.size()));
}

TEST(SysExLayout, ChecksumBoundary)
{
    // bh bl AH AM AL cs summing to 0x80 passes, 0x81 fails.
    const Bytes good{0x43, 0x00, 0x7F, 0x19, 0x00, 0x00, 0x01, 0x10, 0x00, 0x6F, 0xF7};
    Bytes bad = good;
    bad[9] = 0x70;
    EXPECT_TRUE(isBulkChecksumCorrect(good.data(), good.size()));
    EXPECT_FALSE(isBulkChecksumCorrect(bad.data(), bad.size()));
    // Too short to have a sum: only the checksum byte itself is looked at.
    const Bytes tinyGood{0x43, 0x00, 0x00, 0x00, 0xF7};
    const Bytes tinyBad{0x43, 0x00, 0x00, 0x05, 0xF7};
    EXPECT_TRUE(isBulkChecksumCorrect(tinyGood.data(), tinyGood.size()));
    EXPECT_FALSE(isBulkChecksumCorrect(tinyBad.data(), tinyBad.size()));
    EXPECT_FALSE(isBulkChecksumCorrect(nullptr, 0));
}

TEST(SysExRecognise, Predicates)
{
    using Pred = bool (*)(const unsigned char*, std::size_t);
    struct Case {
        const char* name;
        Bytes m;
        Pred pred;
        bool expected;
    } const cases[] = {
        {"ack", {0x43, 0x60, 0x02, 0xF7}, isBulkAcknowledge, true},
        {"ack any device", {0x43, 0x6A, 0x02}, isBulkAcknowledge, true},
        {"ack wrong second byte", {0x43, 0x60, 0x03, 0xF7}, isBulkAcknowledge, false},
        {"ack cut short", {0x43, 0x60}, isBulkAcknowledge, false},
        {"param change", {0x43, 0x15, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x01, 0xF7}, isParameterChange, true},
        {"bulk is not param change", {0x43, 0x05, 0x7F, 0x19}, isParameterChange, false},
        {"bulk dump", {0x43, 0x0F, 0x7F, 0x19}, isBulkDump, true},
        {"request is not a dump", {0x43, 0x20, 0x7F, 0x19}, isBulkDump, false},
        {"manufacturer", {0x43}, isVelmorSysEx, true},
        {"other manufacturer", {0x41, 0x10}, isVelmorSysEx, false},
        {"normal header", bulkDump(kRx, 0x0E, 0x60, 49, nullptr, 0), isNormalBulkHeader, true},
        {"normal header is not edit", bulkDump(kRx, 0x0E, 0x60, 49, nullptr, 0), isEditBuffBulkHeader, false},
        {"edit header", bulkDump(kRx, 0x0E, 0x6F, 0, nullptr, 0), isEditBuffBulkHeader, true},
        {"header template 50", bulkDump(kRx, 0x0E, 0x60, 50, nullptr, 0), isBulkHeader, false},
        {"header kind 61", bulkDump(kRx, 0x0E, 0x61, 0, nullptr, 0), isBulkHeader, false},
        {"footer is not header", bulkDump(kRx, 0x0F, 0x60, 0, nullptr, 0), isBulkHeader, false},
        {"footer", bulkDump(kRx, 0x0F, 0x6F, 10, nullptr, 0), isBulkFooter, true},
        {"footer template 50", bulkDump(kRx, 0x0F, 0x6F, 50, nullptr, 0), isBulkFooter, false},
        {"contents", bulkDump(kRx, 0x01, 0x13, 0, nullptr, 0), isBulkContents, true},
        {"contents common", bulkDump(kRx, 0x01, 0x00, 0, nullptr, 0), isBulkContentsCommon, true},
        {"header cut short", {0x43, 0x00, 0x7F, 0x19, 0x00, 0x00, 0x0E, 0x60}, isBulkHeader, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.pred(c.m.data(), c.m.size()), c.expected);
    }
    const Bytes knob = bulkDump(kRx, 0x01, 0x1B, 0, nullptr, 0);
    int k = -1;
    EXPECT_TRUE(isBulkContentsController(knob.data(), knob.size(), &k));
    EXPECT_EQ(k, 11);
    const Bytes common = bulkDump(kRx, 0x01, 0x00, 0, nullptr, 0);
    EXPECT_FALSE(isBulkContentsController(common.data(), common.size(), &k));
    EXPECT_EQ(getTemplateNumberFromBulk(knob.data(), knob.size()), 0);
    const Bytes header = bulkDump(kRx, 0x0E, 0x60, 33, nullptr, 0);
    EXPECT_EQ(getTemplateNumberFromBulk(header.data(), header.size()), 33);
    EXPECT_EQ(getTemplateNumberFromBulk(header.data(), 8), -1);
}

TEST(SysExRecognise, ModelIsCheckedPerDirection)
{
    const Bytes fromKeyboard = paramChange(kRx, 0x20, 0x00, nullptr, 0);
    const Bytes ownEcho = paramChange(kTx, 0x20, 0x00, nullptr, 0);
    EXPECT_TRUE(isDesiredModelSysEx(fromKeyboard.data(), fromKeyboard.size(), kRx));
    EXPECT_FALSE(isDesiredModelSysEx(ownEcho.data(), ownEcho.size(), kRx));
    EXPECT_FALSE(isDesiredModelSysEx(fromKeyboard.data(), 3, kRx));
}

TEST(SysExText, NamesNeverCarryBytesAbove7Bits)
{
    struct Case {
        QString text;
        int width;
        std::string expected;
    } const cases[] = {
        {"Lead", 13, "Lead         "},
        {"ABCDEFGHIJKLMNOPQ", 12, "ABCDEFGHIJKL"},
        {QString::fromUtf8("Élan Çello"), 10, "Elan Cello"},  // accents drop to the base letter
        {QString::fromUtf8("Bass ß ½"), 8, "Bass ? ?"},       // no 7-bit form: "?"
        {QString::fromUtf8("Pad \U0001F3B9 Hi"), 9, "Pad ? Hi "}, // one code point, one byte
        {"", 3, "   "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const Bytes out = paddedText(c.text, c.width);
        EXPECT_EQ(std::string(out.begin(), out.end()), c.expected);
        for (unsigned char b : out)
            EXPECT_LT(b, 0x80);
    }
    // Values and addresses above 7 bits are masked rather than breaking the frame.
    const unsigned char v = 0xC5;
    const Bytes m = paramChange(kTx, 0x10, 0x18, &v, 1);
    for (std::size_t i = 0; i + 1 < m.size(); ++i)
        EXPECT_LT(m[i], 0x80);
}

} // namespace
