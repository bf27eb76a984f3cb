#include "DataKind.h"

#include <gtest/gtest.h>

#include <set>

using namespace zalohy;

TEST(DataKind, NamesAndCommandLinesAreBuiltWithoutSeparators) {
    EXPECT_EQ(scaleFileName("192.168.5.2", kDataKinds[kFormats].downloadedSuffix), "SM192.168.5.2T74.dat");
    EXPECT_EQ(scaleFileName("192.168.5.2", kDataKinds[kFormats].uploadSuffix), "SM192.168.5.2F34.dat");
    EXPECT_EQ(scaleCommandLine(kDataKinds[kFormats].downloadWord, "192.168.5.2"), "twswtcp F74 192.168.5.2");
    // An empty address still gives the blank after the word.
    EXPECT_EQ(scaleFileName("", kDataKinds[kFormats].downloadedSuffix), "SMT74.dat");
    EXPECT_EQ(scaleCommandLine(kDataKinds[kFormats].downloadWord, ""), "twswtcp F74 ");
}

TEST(DataKind, TableKeepsOrderIdsAndWordCase) {
    const int ids[] = {34, 38, 52, 41, 25, 67};
    const char* downloads[] = {"F74", "f78", "f62", "F71", "F85", "F66"};
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        EXPECT_EQ(kDataKinds[i].id, ids[i]) << i;
        EXPECT_STREQ(kDataKinds[i].downloadWord, downloads[i]) << i;
        // Both file names of one kind differ only in their suffix, and the
        // upload suffix carries the member id.
        EXPECT_EQ(std::string(kDataKinds[i].uploadSuffix), "F" + std::to_string(ids[i]) + ".dat");
        EXPECT_EQ(std::string(kDataKinds[i].uploadWord), "F" + std::to_string(ids[i]));
    }
}

TEST(DataKind, LookupsFindKindsAndRejectOthers) {
    bool upload = true;
    ASSERT_NE(kindByWord("F78", &upload), nullptr);
    EXPECT_EQ(kindByWord("F78", &upload)->id, 38);
    EXPECT_FALSE(upload);
    ASSERT_NE(kindByWord("f25", &upload), nullptr);
    EXPECT_TRUE(upload);
    EXPECT_EQ(kindByWord("F99"), nullptr);
    EXPECT_EQ(kindByWord("F7"), nullptr);
    EXPECT_EQ(kindByWord(""), nullptr);
    EXPECT_EQ(kindById(0), nullptr);
    EXPECT_EQ(kindById(41)->checkBox, Control::CheckBoxPresety);
}
