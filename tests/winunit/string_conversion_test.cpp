// Wide/narrow conversions in the system code page (936 under the test locale).
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "frame/StringConversion.h"

namespace tarnwick::frame {
namespace {

const char kChinese[] = "\xD6\xD0\xCE\xC4";   // GBK for the two characters U+4E2D U+6587

std::wstring Take(BSTR s) {
    std::wstring text = s ? std::wstring(s, SysStringLen(s)) : L"<null>";
    SysFreeString(s);
    return text;
}

TEST(StringConversion, ChineseTextRoundTripsThroughTheCodePage) {
    ASSERT_EQ(GetACP(), 936u) << "the tests run under a simplified-Chinese locale";
    BSTR wide = nullptr;
    ASSERT_EQ(ToWide(kChinese, &wide), S_OK);
    EXPECT_EQ(SysStringLen(wide), 2u);
    EXPECT_EQ(ToNarrow(wide), kChinese);
    EXPECT_EQ(Take(wide), L"\u4e2d\u6587");
    ASSERT_EQ(ToWideExact(kChinese, &wide), S_OK);
    EXPECT_EQ(Take(wide), L"\u4e2d\u6587");
}

TEST(StringConversion, NullAndEmptyStaySeparate) {
    BSTR wide = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(ToWide(static_cast<const char*>(nullptr), &wide), S_OK);
    EXPECT_EQ(wide, nullptr);
    ASSERT_EQ(ToWide("", &wide), S_OK);
    EXPECT_EQ(Take(wide), L"");
    ASSERT_EQ(ToWideExact("", &wide), S_OK);
    EXPECT_EQ(Take(wide), L"");
    EXPECT_EQ(ToNarrow(nullptr), "");
    ASSERT_EQ(CopyOut(nullptr, &wide), S_OK);
    EXPECT_EQ(wide, nullptr);
}

TEST(StringConversion, ZeroByteEndsTheText) {
    const char text[] = "ab\0cd";
    BSTR wide = nullptr;
    ASSERT_EQ(ToWide(text, &wide), S_OK);
    EXPECT_EQ(Take(wide), L"ab");
    BSTR withZero = SysAllocStringLen(L"ab\0cd", 5);
    EXPECT_EQ(ToNarrow(withZero), "ab");
    SysFreeString(withZero);
}

TEST(StringConversion, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    BSTR wide = SysAllocString(L"a\u0e01\u4e2d");   // a Thai letter has no GBK code
    std::string narrow = ToNarrow(wide);
    SysFreeString(wide);
    ASSERT_EQ(narrow.size(), 4u);
    EXPECT_EQ(narrow[0], 'a');
    EXPECT_EQ(narrow.substr(2), "\xD6\xD0");
}

TEST(StringConversion, CopyOutKeepsLengthAndContent) {
    BSTR stored = SysAllocStringLen(L"x\0y", 3);
    BSTR copy = nullptr;
    ASSERT_EQ(CopyOut(stored, &copy), S_OK);
    EXPECT_NE(copy, stored);
    EXPECT_EQ(SysStringByteLen(copy), 6u);
    EXPECT_EQ(Take(copy), std::wstring(L"x\0y", 3));
    SysFreeString(stored);
    EXPECT_EQ(CopyOut(nullptr, nullptr), E_POINTER);
}

TEST(StringConversion, VariantToLongCoercesLikeThePlatform) {
    long out = 0;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = -7;
    EXPECT_EQ(VariantToLong(v, out), S_OK);
    EXPECT_EQ(out, -7);

    v.vt = VT_I2;
    v.iVal = 3;
    EXPECT_EQ(VariantToLong(v, out), S_OK);
    EXPECT_EQ(out, 3);

    BSTR digits = SysAllocString(L"42");
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &digits;
    EXPECT_EQ(VariantToLong(byRef, out), S_OK);
    EXPECT_EQ(out, 42);
    SysFreeString(digits);

    VARIANT word;
    VariantInit(&word);
    word.vt = VT_BSTR;
    word.bstrVal = SysAllocString(L"abc");
    EXPECT_EQ(VariantToLong(word, out), DISP_E_TYPEMISMATCH);
    VariantClear(&word);
}

}  // namespace
}  // namespace tarnwick::frame
