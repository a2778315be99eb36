// How the record's bytes become text: from the ANSI code page, refused where they are no text
// in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "links/dde_client.h"
#include "links/record_bytes.h"
#include "win/text_conversion.h"

namespace vorkel {
namespace {

using namespace std::literals;

TEST(RecordText, ComesFromTheCodePage) {
    EXPECT_EQ(win::wideFromCodePage("SN\xD1"
                                    "and\xFA",
                                    1252),
              L"SN\u00D1and\u00FA");
    EXPECT_EQ(win::wideFromCodePage("", 1252), L"");
    // Control characters are text; the parser decides what to make of them.
    EXPECT_EQ(win::wideFromCodePage("A\x01\t\x7F\r\n", 1252), L"A\x01\t\x7F\r\n");
}

TEST(RecordText, IsNoTextWhenTheCodePageSaysSo) {
    EXPECT_FALSE(win::wideFromCodePage("AZ\xC3\x28", CP_UTF8));
    EXPECT_FALSE(win::wideFromCodePage("\xF8\x88\x80\x80\x80", CP_UTF8));
    // A lead byte of Shift JIS without its second byte.
    EXPECT_FALSE(win::wideFromCodePage("AZ\x81", 932));
}

}  // namespace
}  // namespace vorkel
