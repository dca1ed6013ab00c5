#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace {

struct CaseFoldCase {
    const char* a;
    const char* b;
    bool equal;
};

// Only A-Z fold onto a-z: the neighbours of the letters ('@' '[' '`' '{'),
// which a bitwise fold would pair, and UTF-8 letters stay distinct.
TEST(EqualIgnoringAsciiCase, FoldsOnlyAsciiLetters) {
    const CaseFoldCase cases[] = {
        {"TextureFilename", "texturefilename", true},
        {"CULLMODE", "CullMode", true},
        {"", "", true},
        {"abc", "abcd", false},
        {"abc", "abd", false},
        {"@", "`", false},
        {"[", "{", false},
        {"\xC3\x89", "\xC3\xA9", false},  // É, é
        {"\xC3\x89t\xC3\xA9", "\xC3\x89T\xC3\xA9", true},
    };
    for (const CaseFoldCase& c : cases) {
        EXPECT_EQ(EqualIgnoringAsciiCase(c.a, c.b), c.equal) << '"' << c.a << "\" vs \"" << c.b << '"';
        EXPECT_EQ(EqualIgnoringAsciiCase(c.b, c.a), c.equal) << "reversed: \"" << c.b << "\" vs \"" << c.a << '"';
    }
}

TEST(EqualIgnoringAsciiCase, ComparesTheWholeViewIncludingNulBytes) {
    EXPECT_FALSE(EqualIgnoringAsciiCase(std::string_view("ab\0c", 4), std::string_view("ab\0d", 4)));
    EXPECT_TRUE(EqualIgnoringAsciiCase(std::string_view("AB\0c", 4), std::string_view("ab\0C", 4)));
}

TEST(QuotedExcerpt, QuotesAndCutsAfterFortyBytes) {
    const std::string forty(40, 'x');
    EXPECT_EQ(QuotedExcerpt("abc"), "'abc'");
    EXPECT_EQ(QuotedExcerpt(""), "''");
    EXPECT_EQ(QuotedExcerpt(forty), "'" + forty + "'");
    EXPECT_EQ(QuotedExcerpt(forty + "yz"), "'" + forty + "...'");
}

}  // namespace
