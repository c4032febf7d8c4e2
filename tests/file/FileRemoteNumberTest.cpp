// The two spellings of remote numbers used by the plug-in database.
#include "editor/file/EditorData.h"

#include <gtest/gtest.h>

namespace {

TEST(FileRemoteNumber, PellToS)
{
    const struct {
        const char* pell;
        const char* s;
    } cases[] = {
        {"10000001025", "100000401"},
        {"10000004201", "100001069"},
        {"00000000000", "000000000"},
        {"04294967295", "0ffffffff"},
        {"04294967296", "000000000"}, // above 32 bits counts as 0
        {"1025", "000000401"},        // padded on the left to 11
        {"", "000000000"},
        {"2abcdefghij", "200000000"}, // not digits
        {"1+000001025", "100000000"}, // no signs
        {"9990000001025", "900000401"}, // longer text kept whole: last 10 digits
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditorData::translatePellremoteparam2Sremoteparam(c.pell), c.s) << c.pell;
}

TEST(FileRemoteNumber, SToPell)
{
    const struct {
        const char* s;
        const char* pell;
    } cases[] = {
        {"100000401", "10000001025"},
        {"100001069", "10000004201"},
        {"204143dff", "20068435455"},
        {"0FFFFFFFF", "04294967295"},
        {"1zz", "10000000000"},
        {"", "0000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditorData::translateSremoteparam2Pellremoteparam(c.s), c.pell) << c.s;
}

TEST(FileRemoteNumber, ConversionsAreInverse)
{
    for (const char* s : {"100000401", "100001069", "204143dff", "0deadbeef", "000000000"}) {
        const QString pell = EditorData::translateSremoteparam2Pellremoteparam(s);
        EXPECT_EQ(pell.size(), 11);
        EXPECT_EQ(EditorData::translatePellremoteparam2Sremoteparam(pell), s);
    }
}

TEST(FileRemoteNumber, TypeAndContents)
{
    const struct {
        const char* s;
        int type;
        quint32 contents;
    } cases[] = {
        {"100000401", 1, 0x401}, {"204143dff", 2, 0x04143dff}, {"0ffffffff", 0, 0xffffffff},
        {"a00000010", 10, 0x10}, {"x0000000g", 0, 0}, {"", 0, 0}, {"15", 1, 0x15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EditorData::getRemoteParamTypeFromSRemoteStringParam(c.s), c.type) << c.s;
        EXPECT_EQ(EditorData::getRemoteParamContentsFromSRemoteStringParam(c.s), c.contents) << c.s;
    }
}

} // namespace
