// ASCII text helpers shared by the parsers and the device enumeration.
#pragma once

#include <string>
#include <string_view>

// True when a and b hold the same bytes, with the letters A-Z and a-z compared
// without case. Every other byte (UTF-8 included) must match exactly.
constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A token for an error message: in single quotes, cut after 40 bytes with
// "..." ("'abc'", "'0123...'").
inline std::string QuotedExcerpt(std::string_view text) {
    constexpr size_t kMax = 40;
    std::string out = "'";
    out.append(text.substr(0, kMax));
    if (text.size() > kMax) out += "...";
    return out + "'";
}
