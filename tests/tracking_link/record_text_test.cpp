// How the record's bytes become text: what our conversion adds to the code page's own table.
// Each check fails on a slip of ours: an empty answer refused, the code page asked for not the
// one used. (Bytes without a character are refused: the link's own tests show it.)
#include <gtest/gtest.h>

#include <string>

#include "win/text_conversion.h"

namespace vorkel {
namespace {

TEST(RecordText, NoBytesAreAnEmptyRecord) {
    // The platform's conversion fails on no bytes at all.
    EXPECT_EQ(win::wideFromCodePage("", CP_ACP), L"");
}

TEST(RecordText, ComesFromTheCodePageAskedFor) {
    // One byte, three code pages, three answers: whatever the process's own code page is.
    EXPECT_EQ(win::wideFromCodePage("\x80", 1252), L"\u20AC");
    EXPECT_EQ(win::wideFromCodePage("\x80", 437), L"\u00C7");
    EXPECT_FALSE(win::wideFromCodePage("\x80", CP_UTF8));
}

}  // namespace
}  // namespace vorkel
