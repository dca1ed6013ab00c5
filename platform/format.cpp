// Bounded wide-string formatting and copying.
//
// The program's formats use "%s" for a wide string and "%S" for a narrow
// (UTF-8) one, and read "%ld" as a 32-bit value: the C library reads all of
// these differently on this platform, so formats are interpreted here, one
// conversion at a time. Only floating-point numbers are handed to snprintf,
// with a conversion built here from parsed, bounded parts.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/system.h"

namespace {

constexpr size_t kMaxCch = 2147483647;
constexpr HRESULT kInvalid = E_INVALIDARG;

// Writes into the destination, cutting at its size and remembering the cut.
class Sink {
public:
    Sink(wchar_t* dest, size_t size) : dest_(dest), size_(size) {}
    void Put(wchar_t c) {
        if (len_ + 1 < size_) dest_[len_++] = c;
        else truncated_ = true;
    }
    void Repeat(wchar_t c, size_t n) {
        for (size_t i = 0; i < n && !truncated_; ++i) Put(c);
    }
    void Finish() { dest_[len_] = 0; }
    bool Truncated() const { return truncated_; }

private:
    wchar_t* dest_;
    size_t size_;
    size_t len_ = 0;
    bool truncated_ = false;
};

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    enum Length { None, Char, Short, Long, LongLong, Size, Max, LongDouble, Wide } length = None;
};

// The length modifiers, longest first where one begins another ("hh" before
// "h", "I64" before "I").
struct LengthModifier {
    const wchar_t* text;
    Spec::Length length;
};
constexpr LengthModifier kLengthModifiers[] = {
    {L"hh", Spec::Char},   {L"ll", Spec::LongLong}, {L"I64", Spec::LongLong}, {L"I32", Spec::Long},
    {L"h", Spec::Short},   {L"l", Spec::Long},      {L"w", Spec::Wide},       {L"z", Spec::Size},
    {L"t", Spec::Size},    {L"I", Spec::Size},      {L"j", Spec::Max},        {L"L", Spec::LongDouble},
};

// A run of decimal digits (a width or precision), advancing *p past it. The
// value stops growing past 100000, so a long run cannot overflow.
int ReadDecimal(const wchar_t** p) {
    int value = 0;
    for (; **p >= L'0' && **p <= L'9'; ++*p)
        if (value < 100000) value = value * 10 + (**p - L'0');
    return value;
}

// Pads a finished field to the width.
void Emit(Sink& out, const Spec& spec, const std::wstring& body) {
    size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > body.size() ? spec.width - body.size() : 0;
    if (!spec.left) out.Repeat(L' ', pad);
    for (wchar_t c : body) out.Put(c);
    if (spec.left) out.Repeat(L' ', pad);
}

void EmitInteger(Sink& out, const Spec& spec, bool negative, uint64_t magnitude, unsigned base, bool upper,
                 bool isSigned) {
    const char* digitsOf = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::wstring digits;
    while (magnitude != 0) {
        digits.insert(digits.begin(), static_cast<wchar_t>(digitsOf[magnitude % base]));
        magnitude /= base;
    }
    bool zeroValue = digits.empty();
    if (spec.precision < 0 && zeroValue) digits = L"0";
    if (spec.precision > 0 && digits.size() < static_cast<size_t>(spec.precision)) {
        digits.insert(0, static_cast<size_t>(spec.precision) - digits.size(), L'0');
    }
    std::wstring prefix;
    if (isSigned) {
        if (negative) prefix = L"-";
        else if (spec.plus) prefix = L"+";
        else if (spec.space) prefix = L" ";
    }
    if (spec.alt && !zeroValue) {
        if (base == 16) prefix += upper ? L"0X" : L"0x";
        if (base == 8 && digits[0] != L'0') digits.insert(digits.begin(), L'0');
    }
    if (spec.zero && !spec.left && spec.precision < 0 && spec.width > 0) {
        size_t total = prefix.size() + digits.size();
        if (static_cast<size_t>(spec.width) > total) digits.insert(0, spec.width - total, L'0');
    }
    Emit(out, spec, prefix + digits);
}

void EmitString(Sink& out, const Spec& spec, const std::wstring& text) {
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
        Emit(out, spec, text.substr(0, static_cast<size_t>(spec.precision)));
    } else {
        Emit(out, spec, text);
    }
}

void EmitFloat(Sink& out, const Spec& spec, double value, wchar_t conversion) {
    // Bounded so that the longest result (a 309-digit number, a 300-digit
    // fraction) fits the buffer.
    char format[32];
    char* f = format;
    *f++ = '%';
    if (spec.left) *f++ = '-';
    if (spec.plus) *f++ = '+';
    if (spec.space) *f++ = ' ';
    if (spec.alt) *f++ = '#';
    if (spec.zero) *f++ = '0';
    int width = spec.width > 300 ? 300 : spec.width;
    int precision = spec.precision > 300 ? 300 : spec.precision;
    f += std::snprintf(f, 12, "%d", width);
    if (precision >= 0) f += std::snprintf(f, 12, ".%d", precision);
    *f++ = static_cast<char>(conversion);
    *f = 0;
    char text[1024];
    int n = std::snprintf(text, sizeof(text), format, value);
    if (n < 0) return;
    Spec plain;
    plain.width = spec.width > 300 ? spec.width : 0;
    plain.left = spec.left;
    std::wstring body;
    for (int i = 0; i < n && i < static_cast<int>(sizeof(text)) - 1; ++i) body += static_cast<wchar_t>(text[i]);
    Emit(out, plain, body);
}

HRESULT Format(Sink& out, const wchar_t* format, va_list args) {
    bool invalid = false;
    const wchar_t* p = format;
    while (*p && !out.Truncated()) {
        if (*p != L'%') {
            out.Put(*p++);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.Put(L'%');
            ++p;
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == L'-') spec.left = true;
            else if (*p == L'+') spec.plus = true;
            else if (*p == L' ') spec.space = true;
            else if (*p == L'#') spec.alt = true;
            else if (*p == L'0') spec.zero = true;
            else break;
        }
        if (*p == L'*') {
            int w = va_arg(args, int);
            if (w < 0) {
                spec.left = true;
                w = w == INT32_MIN ? INT32_MAX : -w;
            }
            spec.width = w;
            ++p;
        } else {
            spec.width = ReadDecimal(&p);
        }
        if (*p == L'.') {
            ++p;
            spec.precision = 0;
            if (*p == L'*') {
                int pr = va_arg(args, int);
                spec.precision = pr < 0 ? -1 : pr;
                ++p;
            } else {
                spec.precision = ReadDecimal(&p);
            }
        }
        for (const LengthModifier& m : kLengthModifiers) {
            const size_t n = std::wcslen(m.text);
            if (std::wcsncmp(p, m.text, n) == 0) {
                spec.length = m.length;
                p += n;
                break;
            }
        }
        wchar_t conv = *p;
        if (conv == 0) {
            invalid = true;
            break;
        }
        ++p;
        switch (conv) {
            case L'd':
            case L'i': {
                int64_t v;
                switch (spec.length) {
                    case Spec::Char: v = static_cast<signed char>(va_arg(args, int)); break;
                    case Spec::Short: v = static_cast<short>(va_arg(args, int)); break;
                    case Spec::LongLong: v = va_arg(args, long long); break;
                    case Spec::Size: v = static_cast<int64_t>(va_arg(args, ptrdiff_t)); break;
                    case Spec::Max: v = static_cast<int64_t>(va_arg(args, intmax_t)); break;
                    default: v = va_arg(args, int32_t); break;  // "%ld" is 32-bit
                }
                uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
                EmitInteger(out, spec, v < 0, mag, 10, false, true);
                break;
            }
            case L'u':
            case L'x':
            case L'X':
            case L'o': {
                uint64_t v;
                switch (spec.length) {
                    case Spec::Char: v = static_cast<unsigned char>(va_arg(args, unsigned)); break;
                    case Spec::Short: v = static_cast<unsigned short>(va_arg(args, unsigned)); break;
                    case Spec::LongLong: v = va_arg(args, unsigned long long); break;
                    case Spec::Size: v = va_arg(args, size_t); break;
                    case Spec::Max: v = static_cast<uint64_t>(va_arg(args, uintmax_t)); break;
                    default: v = va_arg(args, uint32_t); break;
                }
                unsigned base = conv == L'u' ? 10 : conv == L'o' ? 8 : 16;
                EmitInteger(out, spec, false, v, base, conv == L'X', false);
                break;
            }
            case L'c':
            case L'C': {
                bool narrow = (conv == L'c') ? spec.length == Spec::Short
                                             : !(spec.length == Spec::Long || spec.length == Spec::Wide);
                wchar_t c = narrow ? static_cast<wchar_t>(static_cast<unsigned char>(va_arg(args, int)))
                                   : static_cast<wchar_t>(va_arg(args, wint_t));
                Emit(out, spec, std::wstring(1, c));
                break;
            }
            case L's':
            case L'S': {
                bool narrow = (conv == L's') ? spec.length == Spec::Short
                                             : !(spec.length == Spec::Long || spec.length == Spec::Wide);
                if (narrow) {
                    const char* s = va_arg(args, const char*);
                    EmitString(out, spec, s ? Utf8ToWide(s) : std::wstring(L"(null)"));
                } else {
                    const wchar_t* s = va_arg(args, const wchar_t*);
                    if (s == nullptr) s = L"(null)";
                    // Only as much of the text as the precision allows is read.
                    size_t n = 0;
                    while (s[n] && (spec.precision < 0 || n < static_cast<size_t>(spec.precision))) ++n;
                    EmitString(out, spec, std::wstring(s, n));
                }
                break;
            }
            case L'f':
            case L'F':
            case L'e':
            case L'E':
            case L'g':
            case L'G':
            case L'a':
            case L'A': {
                double v = spec.length == Spec::LongDouble ? static_cast<double>(va_arg(args, long double))
                                                           : va_arg(args, double);
                EmitFloat(out, spec, v, conv);
                break;
            }
            case L'p': {
                auto v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
                Spec ps = spec;
                ps.precision = static_cast<int>(sizeof(void*) * 2);
                EmitInteger(out, ps, false, v, 16, true, false);
                break;
            }
            default:
                // Unknown conversions (and "%n", which writes through a
                // pointer) are refused: the text is kept as written.
                invalid = true;
                for (const wchar_t* q = start; q < p; ++q) out.Put(*q);
                break;
        }
    }
    out.Finish();
    if (out.Truncated()) return STRSAFE_E_INSUFFICIENT_BUFFER;
    return invalid ? kInvalid : S_OK;
}

}  // namespace

HRESULT StringCchVPrintfW(wchar_t* dest, size_t size, const wchar_t* format, va_list args) {
    if (dest == nullptr || size == 0 || size > kMaxCch) return kInvalid;
    if (format == nullptr) {
        dest[0] = 0;
        return kInvalid;
    }
    Sink out(dest, size);
    va_list copy;
    va_copy(copy, args);
    HRESULT hr = Format(out, format, copy);
    va_end(copy);
    return hr;
}

HRESULT StringCchPrintfW(wchar_t* dest, size_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    HRESULT hr = StringCchVPrintfW(dest, size, format, args);
    va_end(args);
    return hr;
}

namespace {

// At most count characters of source into dest, always terminated; the
// narrow and wide copies are the same.
template <class Char>
HRESULT CopyBounded(Char* dest, size_t size, const Char* source, size_t count) {
    if (dest == nullptr || size == 0 || size > kMaxCch) return kInvalid;
    if (source == nullptr) {
        dest[0] = 0;
        return kInvalid;
    }
    size_t i = 0;
    for (; i < count && source[i] != 0; ++i) {
        if (i + 1 >= size) {
            dest[i] = 0;
            return STRSAFE_E_INSUFFICIENT_BUFFER;
        }
        dest[i] = source[i];
    }
    dest[i] = 0;
    return S_OK;
}

}  // namespace

HRESULT StringCchCopyNW(wchar_t* dest, size_t size, const wchar_t* source, size_t count) {
    return CopyBounded(dest, size, source, count);
}

HRESULT StringCchCopyW(wchar_t* dest, size_t size, const wchar_t* source) {
    return StringCchCopyNW(dest, size, source, kMaxCch);
}

HRESULT StringCchCatW(wchar_t* dest, size_t size, const wchar_t* source) {
    if (dest == nullptr || size == 0 || size > kMaxCch) return kInvalid;
    size_t len = 0;
    while (len < size && dest[len] != 0) ++len;
    if (len == size) return kInvalid;  // not terminated within its size
    return StringCchCopyW(dest + len, size - len, source);
}

HRESULT StringCchLengthW(const wchar_t* text, size_t max, size_t* length) {
    if (length != nullptr) *length = 0;
    if (text == nullptr || max == 0 || max > kMaxCch) return kInvalid;
    size_t n = 0;
    while (n < max && text[n] != 0) ++n;
    if (n == max) return kInvalid;
    if (length != nullptr) *length = n;
    return S_OK;
}

HRESULT StringCchCopyA(char* dest, size_t size, const char* source) {
    return CopyBounded(dest, size, source, static_cast<size_t>(-1));
}

int wcsnicmp_portable(const wchar_t* a, const wchar_t* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        wint_t cb = std::towlower(static_cast<wint_t>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
    return 0;
}

int wcsicmp_portable(const wchar_t* a, const wchar_t* b) { return wcsnicmp_portable(a, b, static_cast<size_t>(-1)); }
