// Bounded wide formatting with the program's conventions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/system.h"

namespace {

struct FormatCase {
    const wchar_t* expected;
    std::wstring actual;
};

template <typename... Args>
std::wstring Fmt(const wchar_t* format, Args... args) {
    wchar_t buf[512];
    HRESULT hr = StringCchPrintfW(buf, 512, format, args...);
    EXPECT_EQ(hr, S_OK) << WideToUtf8(format);
    return buf;
}

TEST(Format, ProgramConventionsAndUsualConversions) {
    const FormatCase cases[] = {
        {L"wide", Fmt(L"%s", L"wide")},
        {L"narrow", Fmt(L"%S", "narrow")},
        {L"Gr\u00fc\u00dfe", Fmt(L"%S", "Gr\xC3\xBC\xC3\x9F" "e")},
        {L"file.cpp(42): ", Fmt(L"%S(%s): ", "file.cpp", L"42")},
        {L"-5", Fmt(L"%ld", static_cast<int32_t>(-5))},
        {L"-2147483648 2147483647", Fmt(L"%ld %ld", INT32_MIN, INT32_MAX)},
        {L"4000000000", Fmt(L"%lu", static_cast<uint32_t>(4000000000u))},
        {L"ffffffff", Fmt(L"%lx", static_cast<uint32_t>(0xFFFFFFFFu))},
        {L"0000001a", Fmt(L"%0.8x", 0x1A)},
        {L"E_FAIL (0x80004005)", Fmt(L"%s (0x%0.8x)", L"E_FAIL", static_cast<uint32_t>(0x80004005u))},
        {L"59.94 fps ", Fmt(L"%0.2f fps ", 59.941)},
        {L"640 by 480", Fmt(L"%d by %d", 640, 480)},
        {L"%sVsync off (640x480), X8R8G8B8 (D24S8)",
         Fmt(L"%%sVsync %s (%dx%d), %s%s%s", L"off", 640, 480, L"X8R8G8B8", L" (D24S8)", L"")},
        {L" (4x Multisample)", Fmt(L" (%dx Multisample)", 4)},
        {L"Z", Fmt(L"%c", L'Z')},
        {L"q", Fmt(L"%C", 'q')},
        {L"   42|42   |", Fmt(L"%5d|%-5d|", 42, 42)},
        {L"-0042", Fmt(L"%05d", -42)},
        {L"+7", Fmt(L"%+d", 7)},
        {L"0x2a 0X2A 2A", Fmt(L"%#x %#X %X", 42, 42, 42)},
        {L"abc", Fmt(L"%.3s", L"abcdef")},
        {L"  abc", Fmt(L"%5.3S", "abcdef")},
        {L"     3.142", Fmt(L"%10.3f", 3.14159)},
        {L"1.500000e+00", Fmt(L"%e", 1.5)},
        {L"0.25", Fmt(L"%g", 0.25)},
        {L"-9000000000", Fmt(L"%lld", -9000000000LL)},
        {L"9000000000", Fmt(L"%I64d", 9000000000LL)},
        {L"123", Fmt(L"%zu", static_cast<size_t>(123))},
        {L"   12", Fmt(L"%*d", 5, 12)},
        {L"narrow wide", Fmt(L"%hs %ls", "narrow", L"wide")},
        {L"(null)", Fmt(L"%s", static_cast<const wchar_t*>(nullptr))},
        // Every length modifier, including those that begin another one.
        {L"44 -1 4464 255", Fmt(L"%hhd %hhd %hd %hhu", 300, 255, 70000, 511)},
        {L"-7 -3 -4 -9000000000", Fmt(L"%I32d %Id %td %jd", -7, ptrdiff_t{-3}, ptrdiff_t{-4}, intmax_t{-9000000000LL})},
        {L"1.500000 wide w", Fmt(L"%Lf %ws %wc", 1.5L, L"wide", L'w')},
        {L"[12345678] [       abc]", Fmt(L"[%.08d] [%10.3s]", 12345678, L"abcdef")},
        {L"100%", Fmt(L"%d%%", 100)},
        {L"", Fmt(L"%.0d", 0)},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(Format, CutsAtTheBufferSizeAndAlwaysTerminates) {
    struct Case {
        size_t size;
        HRESULT hr;
        const wchar_t* text;
    };
    const Case cases[] = {
        {11, S_OK, L"0123456789"},
        {10, STRSAFE_E_INSUFFICIENT_BUFFER, L"012345678"},
        {4, STRSAFE_E_INSUFFICIENT_BUFFER, L"012"},
        {1, STRSAFE_E_INSUFFICIENT_BUFFER, L""},
    };
    for (const Case& c : cases) {
        wchar_t buf[16];
        std::fill(std::begin(buf), std::end(buf), L'#');
        EXPECT_EQ(StringCchPrintfW(buf, c.size, L"%s%d", L"01234", 56789), c.hr);
        EXPECT_EQ(std::wstring(buf), c.text);
        EXPECT_EQ(buf[c.size], L'#') << "wrote past the buffer";
    }
    wchar_t wide[4];
    EXPECT_EQ(StringCchPrintfW(wide, 4, L"%5d", 1), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(wide), L"   ");
}

TEST(Format, RefusesBadArgumentsAndPointerWrites) {
    wchar_t buf[8] = L"keep";
    EXPECT_EQ(StringCchPrintfW(buf, 0, L"x"), E_INVALIDARG);
    EXPECT_EQ(std::wstring(buf), L"keep");
    EXPECT_EQ(StringCchPrintfW(nullptr, 8, L"x"), E_INVALIDARG);
    EXPECT_EQ(StringCchPrintfW(buf, 8, nullptr), E_INVALIDARG);
    EXPECT_EQ(buf[0], 0);
    int written = 123;
    EXPECT_EQ(StringCchPrintfW(buf, 8, L"a%nb", &written), E_INVALIDARG);
    EXPECT_EQ(written, 123);
    EXPECT_EQ(buf[7], 0);
}

TEST(Format, CopyCatAndLength) {
    wchar_t buf[6];
    EXPECT_EQ(StringCchCopyW(buf, 6, L"abc"), S_OK);
    EXPECT_EQ(StringCchCatW(buf, 6, L"de"), S_OK);
    EXPECT_EQ(std::wstring(buf), L"abcde");
    EXPECT_EQ(StringCchCatW(buf, 6, L"f"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(buf), L"abcde");
    EXPECT_EQ(StringCchCopyW(buf, 6, L"0123456789"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(buf), L"01234");
    EXPECT_EQ(StringCchCopyNW(buf, 6, L"0123456789", 2), S_OK);
    EXPECT_EQ(std::wstring(buf), L"01");
    size_t len = 99;
    EXPECT_EQ(StringCchLengthW(L"abc", 4, &len), S_OK);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(StringCchLengthW(L"abc", 3, &len), E_INVALIDARG);
    EXPECT_EQ(len, 0u);
    char narrow[4];
    EXPECT_EQ(StringCchCopyA(narrow, 4, "abcd"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(narrow, "abc");
    EXPECT_EQ(wcsicmp_portable(L"Direct3DWindowClass", L"direct3dwindowCLASS"), 0);
    EXPECT_LT(wcsicmp_portable(L"abc", L"ABD"), 0);
    EXPECT_EQ(wcsnicmp_portable(L"WINDOWEDx", L"windowed", 8), 0);
    EXPECT_NE(wcsnicmp_portable(L"WINDOWEDx", L"windowed", 9), 0);
}

}  // namespace
