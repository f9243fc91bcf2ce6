// The encode resolutions an input allows: the listed inputs exactly, and for every input the
// rules that keep the encoder within what it receives.
#include "resolution_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(int inputRow) {
    ENCODE_RESOLUTION_LIST list;
    BuildEncodeResolutionList(inputRow, &list);
    std::vector<std::string> names;
    for (int i = 0; i < list.nCount; ++i) names.emplace_back(list.entries[i].szName);
    return names;
}

const std::vector<std::string> kUnfiltered = {
    "640 x 480 60P",   "720 x 480 60P",   "720 x 576 50P",   "800 x 600 60P",   "1024 x 768 60P",  "1280 x 720 50P",
    "1280 x 720 60P",  "1280 x 768 60P",  "1280 x 800 60P",  "1280 x 1024 30P", "1360 x 768 50P",  "1440 x 900 30P",
    "1680 x 1050 30P", "1920 x 1080 24P", "1920 x 1080 25P", "1920 x 1080 30P",
};

TEST(EncodeResolutionList, WithoutAKnownInputEveryResolutionIsOffered) {
    EXPECT_EQ(Names(0), kUnfiltered);  // unknown resolution
    EXPECT_EQ(Names(1), kUnfiltered);  // no HDMI signal
    EXPECT_EQ(Names(-1), kUnfiltered); // nothing selected
    EXPECT_EQ(Names(22), kUnfiltered);
    EXPECT_EQ(Names(21), kUnfiltered); // 1920 x 1080 60P allows all of them
}

TEST(EncodeResolutionList, InterlacedInputsEncodeAtHalfTheFieldRate) {
    std::vector<std::string> at30 = {
        "640 x 480 30P",   "720 x 480 30P",   "720 x 576 30P",   "800 x 600 30P",  "1024 x 768 30P",
        "1280 x 720 30P",  "1280 x 768 30P",  "1280 x 800 30P",  "1280 x 1024 30P", "1360 x 768 30P",
        "1440 x 900 30P",  "1680 x 1050 30P", "1920 x 1080 24P", "1920 x 1080 25P", "1920 x 1080 30P",
    };
    EXPECT_EQ(Names(16), at30); // 1920 x 1080 60I
    std::vector<std::string> at25 = {
        "640 x 480 25P",   "720 x 480 25P",   "720 x 576 25P",   "800 x 600 25P",   "1024 x 768 25P",
        "1280 x 720 25P",  "1280 x 768 25P",  "1280 x 800 25P",  "1280 x 1024 25P", "1360 x 768 25P",
        "1440 x 900 25P",  "1680 x 1050 25P", "1920 x 1080 24P", "1920 x 1080 25P",
    };
    EXPECT_EQ(Names(15), at25); // 1920 x 1080 50I
}

TEST(EncodeResolutionList, SmallerInputsLimitSizeAndRate) {
    EXPECT_EQ(Names(2), std::vector<std::string>{"640 x 480 60P"});
    EXPECT_EQ(Names(12), (std::vector<std::string>{"640 x 480 60P", "720 x 480 60P", "720 x 576 50P", "800 x 600 60P",
                                                   "1024 x 768 60P", "1280 x 720 50P", "1280 x 720 60P",
                                                   "1280 x 768 60P", "1360 x 768 50P"}));
    EXPECT_EQ(Names(7), (std::vector<std::string>{"640 x 480 50P", "720 x 480 50P", "720 x 576 50P", "800 x 600 50P",
                                                  "1280 x 720 50P"}));
    EXPECT_EQ(Names(17), (std::vector<std::string>{"640 x 480 24P", "720 x 480 24P", "720 x 576 24P", "800 x 600 24P",
                                                   "1024 x 768 24P", "1280 x 720 24P", "1280 x 768 24P",
                                                   "1280 x 800 24P", "1280 x 1024 24P", "1360 x 768 24P",
                                                   "1440 x 900 24P", "1680 x 1050 24P", "1920 x 1080 24P"}));
}

TEST(EncodeResolutionList, EveryInputGivesDistinctProgressiveEntriesWithinItsBounds) {
    for (int row = -1; row <= INPUT_RESOLUTION_COUNT; ++row) {
        SCOPED_TRACE(row);
        ENCODE_RESOLUTION_LIST list;
        BuildEncodeResolutionList(row, &list);
        ASSERT_GE(list.nCount, 1);
        ASSERT_LE(list.nCount, 16);
        bool known = row >= 2 && row < INPUT_RESOLUTION_COUNT;
        const RESOLUTION_ENTRY* in = known ? &g_InputResolutionTable[row] : nullptr;
        for (int i = 0; i < list.nCount; ++i) {
            const RESOLUTION_ENTRY& e = list.entries[i];
            EXPECT_EQ(e.nIndex, i);
            EXPECT_EQ(e.bProgressive, 1);
            EXPECT_EQ(std::string(e.szName),
                      std::to_string(e.nWidth) + " x " + std::to_string(e.nHeight) + " " +
                          std::to_string(e.nFrameRate) + "P");
            EXPECT_GT(e.nFrameRate, 0);
            if (in) {
                EXPECT_LE(e.nWidth, in->nWidth);
                EXPECT_LE(e.nHeight, in->nHeight);
                EXPECT_LE(e.nFrameRate, in->bProgressive ? in->nFrameRate : in->nFrameRate / 2);
            }
            for (int j = 0; j < i; ++j)
                EXPECT_FALSE(list.entries[j].nWidth == e.nWidth && list.entries[j].nHeight == e.nHeight &&
                             list.entries[j].nFrameRate == e.nFrameRate);
        }
        for (int i = list.nCount; i < ENCODE_RESOLUTION_MAX; ++i) EXPECT_EQ(list.entries[i].nWidth, 0);
    }
}

} // namespace
