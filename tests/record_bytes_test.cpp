// How answer bytes become the record: the cut at the first NUL and the size limit. No
// Windows needed: built and run on every platform.
#include "core/record_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vorkel {
namespace {

using namespace std::literals;

TEST(RecordText, EndsAtTheFirstNul) {
    EXPECT_EQ(recordText("SNAO-7 AZ1.0\r\n\0"sv, 15), "SNAO-7 AZ1.0\r\n");
    EXPECT_EQ(recordText("AB\0CD\0"sv, 6), "AB");
    EXPECT_EQ(recordText("\0AB"sv, 3), "");
    // Clipboard text need not be terminated when the size says where it ends.
    EXPECT_EQ(recordText("AB"sv, 2), "AB");
    EXPECT_EQ(recordText(""sv, 0), "");
}

TEST(RecordText, HoldsToTheLimit) {
    const std::string atLimit(8, 'A');
    EXPECT_EQ(recordText(atLimit, 8, 8), atLimit);
    EXPECT_EQ(recordText(atLimit + '\0', 9, 8), atLimit);
    EXPECT_FALSE(recordText(atLimit + 'A', 9, 8));
    EXPECT_FALSE(recordText(atLimit + "A\0"s, 10, 8));
    // Only part of a long answer is read; a NUL inside that part still ends a short record.
    EXPECT_EQ(recordText("AB\0AAAAAA"sv, 1u << 20, 8), "AB");
    EXPECT_FALSE(recordText(std::string(9, 'A'), 1u << 20, 8));
}

TEST(RecordText, RefusesAnAnswerNotReadToItsEnd) {
    // Without a NUL the record is the whole answer, so a part of it is not enough.
    EXPECT_FALSE(recordText("ABC", 4, 8));
}

TEST(RecordText, ReadsJustPastTheLimit) {
    EXPECT_EQ(bytesToRead(0), 0u);
    EXPECT_EQ(bytesToRead(50), 50u);
    EXPECT_EQ(bytesToRead(kMaxRecordBytes + 1), kMaxRecordBytes + 1);
    EXPECT_EQ(bytesToRead(1u << 20), kMaxRecordBytes + 1);
    // No limit at all: everything is read.
    EXPECT_EQ(bytesToRead(10, SIZE_MAX), 10u);
    EXPECT_EQ(bytesToRead(SIZE_MAX, SIZE_MAX), SIZE_MAX);
}

}  // namespace
}  // namespace vorkel
