// Address translation between memory addresses and the keyboard's parameter
// addresses.
#include <gtest/gtest.h>

#include <set>

#include "editor/protocol/SysExParamChangeAddressTransTable.h"

namespace {

struct ToWireCase {
    ParamAddress address;
    bool ok;
    unsigned char mid, low, len;
};

class SysExTableTest : public ::testing::Test {
protected:
    SysExParamChangeAddressTransTable table;
};

TEST_F(SysExTableTest, MemoryAddressToWireAddress)
{
    const ToWireCase cases[] = {
        {{0, 3, 5, 1}, true, 0x15, 0x18, 1},    // CC number of knob B2
        {{2, 9, 13, -1}, true, 0x00, 0x00, 13}, // template name
        {{0, 0, 11, 3}, true, 0x1B, 0x00, 9},   // remote number of knob D3
        {{0, 0, 15, -1}, true, 0x00, 0x0D, 12}, // VSTi name
        {{0, 0, 14, -1}, true, 0x00, 0x19, 1},  // control type
        {{0, 0, 16, -1}, true, 0x00, 0x1A, 1},  // reserved byte
        {{0, 0, 0, 0}, true, 0x10, 0x09, 15},   // display name of knob A1
        {{0, 0, 0, 2}, true, 0x10, 0x19, 1},    // display format of knob A1
        {{0, 52, -1, -1}, true, 0x20, 0x00, 1},
        {{7, 52, 3, 2}, true, 0x20, 0x00, 1}, // other components do not matter
        {{-6, -1, -1, -1}, true, 0x23, 0x00, 1},
        {{-6, 4, 0, 1}, true, 0x23, 0x00, 1},
        {{0, 0, 12, 1}, false, 0, 0, 0},
        {{0, 0, -1, -1}, false, 0, 0, 0},
        {{-2, -1, -1, -1}, false, 0, 0, 0}, // on-line state stays in the editor
        {{0, 51, -1, -1}, false, 0, 0, 0},  // bank-available flag too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.toString().toStdString());
        unsigned char out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        EXPECT_EQ(table.getSysExParamAddress(c.address, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out[0], c.mid);
            EXPECT_EQ(out[1], c.low);
            EXPECT_EQ(out[2], 0);
            EXPECT_EQ(out[3], c.len);
        } else {
            EXPECT_EQ(out[0], 0xAA) << "failure must leave the output untouched";
            EXPECT_EQ(out[3], 0xAA);
        }
    }
    EXPECT_FALSE(table.getSysExParamAddress(ParamAddress(0, 0, 0, 1), nullptr));
}

TEST_F(SysExTableTest, WireByteToPositionAndLength)
{
    struct Case {
        unsigned char mid, low;
        bool found;
        unsigned char pos, len;
    } const cases[] = {
        {0x10, 0x0B, true, 2, 15},  // third character of knobA1's display name
        {0x00, 0x18, true, 11, 12}, // last character of the VSTi name
        {0x00, 0x00, true, 0, 13},
        {0x00, 0x0C, true, 12, 13},
        {0x1B, 0x08, true, 8, 9},
        {0x1B, 0x19, true, 0, 1},
        {0x1C, 0x00, false, 0, 0},
        {0x00, 0x1B, false, 0, 0},
        {0x20, 0x00, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.mid) << " " << int(c.low));
        const unsigned char midLow[2] = {c.mid, c.low};
        unsigned char out[2] = {0xAA, 0xAA};
        table.getSysExAddressParamInfo(midLow, out);
        if (c.found) {
            EXPECT_EQ(out[0], c.pos);
            EXPECT_EQ(out[1], c.len);
        } else {
            EXPECT_EQ(out[0], 0xAA);
            EXPECT_EQ(out[1], 0xAA);
        }
    }
}

TEST_F(SysExTableTest, WireByteToMemoryAddress)
{
    struct Case {
        unsigned char mid, low;
        ParamAddress expected;
    } const cases[] = {
        {0x00, 0x1A, {-1, -1, 16, -1}},
        {0x20, 0x00, {-1, 52, -1, -1}},
        {0x23, 0x00, {-1, -1, -1, -1}},
        {0x1C, 0x00, {-1, -1, -1, -1}},
        {0x00, 0x05, {-1, -1, 13, -1}},
        {0x00, 0x0D, {-1, -1, 15, -1}},
        {0x00, 0x19, {-1, -1, 14, -1}},
        {0x15, 0x18, {-1, -1, 5, 1}},
        {0x11, 0x0B, {-1, -1, 1, 0}},
        {0x1B, 0x04, {-1, -1, 11, 3}},
        {0x10, 0x19, {-1, -1, 0, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.mid) << " " << int(c.low));
        const unsigned char midLow[2] = {c.mid, c.low};
        const ParamAddress got = table.getMemoryParamAddress(midLow);
        EXPECT_EQ(got, c.expected) << got.toString().toStdString();
    }
}

TEST_F(SysExTableTest, EveryValueByteHasOneEntryAndRoundTrips)
{
    EXPECT_EQ(table.entryCount(), 27 + 312);
    std::set<int> seen;
    auto check = [&](int controller, int parameter) {
        unsigned char wire[4];
        ASSERT_TRUE(table.getSysExParamAddress(ParamAddress(0, 0, controller, parameter), wire));
        for (int i = 0; i < wire[3]; ++i) {
            const unsigned char midLow[2] = {wire[0], static_cast<unsigned char>(wire[1] + i)};
            EXPECT_TRUE(seen.insert(midLow[0] * 256 + midLow[1]).second) << "byte mapped twice";
            unsigned char info[2] = {0, 0};
            table.getSysExAddressParamInfo(midLow, info);
            EXPECT_EQ(info[0], i);
            EXPECT_EQ(info[1], wire[3]);
            EXPECT_EQ(table.getMemoryParamAddress(midLow), ParamAddress(-1, -1, controller, parameter));
        }
    };
    for (int c : {13, 14, 15, 16})
        check(c, -1);
    for (int k = 0; k < 12; ++k)
        for (int p = 0; p < 4; ++p)
            check(k, p);
    EXPECT_EQ(seen.size(), 27u + 312u);
}

TEST(SysExTableHelpers, CombineAndDevide)
{
    EXPECT_EQ(SysExParamChangeAddressTransTable::Combine(0x12, 0x34), 0x1234);
    EXPECT_EQ(SysExParamChangeAddressTransTable::Combine(-1, 3), 0xFF03);
    EXPECT_EQ(SysExParamChangeAddressTransTable::Combine(5, -1), 0x05FF);
    unsigned char out[2];
    SysExParamChangeAddressTransTable::Devide(0xAB12, out);
    EXPECT_EQ(out[0], 0xAB);
    EXPECT_EQ(out[1], 0x12);
}

} // namespace
