// How the record's bytes become text: what our conversion adds to the code page's own table.
// Each check fails on a slip of ours: an empty answer refused, bytes without a character turned
// into replacement characters, the code page asked for not the one used.
#include <gtest/gtest.h>

#include <string>

#include "win/text_conversion.h"

namespace vorkel {
namespace {

TEST(RecordText, NoBytesAreAnEmptyRecord) {
    // The platform's conversion fails on no bytes at all.
    EXPECT_EQ(win::wideFromCodePage("", CP_ACP), L"");
}

TEST(RecordText, BytesWithoutACharacterAreRefusedNotReplaced) {
    // Without being told to refuse, the platform makes U+FFFD or '?' of them.
    EXPECT_FALSE(win::wideFromCodePage("AZ\xC3\x28", CP_UTF8));
    EXPECT_FALSE(win::wideFromCodePage("\xF8\x88\x80\x80\x80", CP_UTF8));
    // A lead byte of Shift JIS without its second byte.
    EXPECT_FALSE(win::wideFromCodePage("AZ\x81", 932));
}

TEST(RecordText, ComesFromTheCodePageAskedFor) {
    // One byte, three code pages, three answers: whatever the process's own code page is.
    EXPECT_EQ(win::wideFromCodePage("\x80", 1252), L"\u20AC");
    EXPECT_EQ(win::wideFromCodePage("\x80", 437), L"\u00C7");
    EXPECT_FALSE(win::wideFromCodePage("\x80", CP_UTF8));
}

}  // namespace
}  // namespace vorkel
