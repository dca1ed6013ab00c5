// Paths, command line, text conversion, the settings file and the system
// switches.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

std::wstring Cwd() {
    wchar_t buf[MAX_PATH];
    EXPECT_GT(GetCurrentDirectoryW(MAX_PATH, buf), 0u);
    return buf;
}

// --- paths --------------------------------------------------------------------------

TEST(Paths, FullPathResolvesDotsAndSeparatorsLexically) {
    const std::wstring cwd = Cwd();
    struct Case {
        const wchar_t* in;
        std::wstring out;
        const wchar_t* last;  // null: no last component
    };
    const Case cases[] = {
        {L"\\Data\\c111.x", L"\\Data\\c111.x", L"c111.x"},
        {L"/Data//c111.x", L"\\Data\\c111.x", L"c111.x"},
        {L"\\\\Data\\\\\\Vexaloid.fx", L"\\Data\\Vexaloid.fx", L"Vexaloid.fx"},
        {L"\\a\\b\\..\\c\\.\\d", L"\\a\\c\\d", L"d"},
        {L"\\a\\b\\", L"\\a\\b", L"b"},
        {L"\\", L"\\", nullptr},
        {L"\\..\\..", L"\\", nullptr},
        {L"x\\y", cwd + L"\\x\\y", L"y"},
        {L".", cwd, nullptr /* checked below */},
    };
    for (const Case& c : cases) {
        wchar_t out[MAX_PATH];
        wchar_t* last = reinterpret_cast<wchar_t*>(1);
        uint32_t n = GetFullPathNameW(c.in, MAX_PATH, out, &last);
        EXPECT_EQ(std::wstring(out), c.out) << WideToUtf8(c.in);
        EXPECT_EQ(n, c.out.size());
        if (std::wstring(c.in) == L".") continue;
        if (c.last == nullptr) EXPECT_EQ(last, nullptr);
        else EXPECT_EQ(std::wstring(last), c.last);
    }
}

TEST(Paths, WalkingUpWithDotDotEndsAtTheRoot) {
    // What the media search does: full path of "<path>\.." until there is no
    // last component.
    wchar_t path[MAX_PATH];
    wchar_t* last = nullptr;
    ASSERT_GT(GetFullPathNameW(L"\\usr\\share\\doc", MAX_PATH, path, &last), 0u);
    int steps = 0;
    while (last != nullptr && steps < 10) {
        std::wstring up = std::wstring(path) + L"\\..";
        GetFullPathNameW(up.c_str(), MAX_PATH, path, &last);
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(std::wstring(path), L"\\");
}

TEST(Paths, SmallBufferGetsTheSizeNeededAndStaysUntouched) {
    wchar_t out[4] = L"abc";
    wchar_t* last = nullptr;
    EXPECT_EQ(GetFullPathNameW(L"\\Data\\c111.x", 4, out, &last), 13u);
    EXPECT_EQ(std::wstring(out), L"abc");
    EXPECT_EQ(last, nullptr);
    EXPECT_EQ(GetFullPathNameW(L"", MAX_PATH, out, &last), 0u);
}

TEST(Paths, NativeFormAndJoining) {
    EXPECT_EQ(PlatformNativePath(L"\\Data\\\\c111.x"), "/Data/c111.x");
    EXPECT_EQ(PlatformNativePath(L"..\\..\\Data/Bild1.bmp"), "../../Data/Bild1.bmp");
    EXPECT_EQ(PlatformNativePath(L"media\\\u00e9t\u00e9"), "media/\xC3\xA9t\xC3\xA9");
    // ".." is resolved as text: the folder before it need not exist.
    EXPECT_EQ(PlatformNativePath(L"/opt/app\\media\\..\\../Data/Bild1.bmp"), "/opt/Data/Bild1.bmp");
    EXPECT_EQ(PlatformNativePath(L"a\\.\\b\\..\\..\\..\\c"), "../c");
    EXPECT_EQ(PlatformNativePath(L"\\..\\x"), "/x");
    EXPECT_EQ(PathJoin(L"\\a\\b\\", L"\\c"), L"\\a\\b\\c");
    EXPECT_EQ(PathJoin(L"a", L"b"), L"a\\b");
    EXPECT_EQ(PathJoin(L"", L"b"), L"b");
    EXPECT_EQ(PathJoin(L"a", L""), L"a");
}

TEST(Paths, ExistenceWithEitherSeparator) {
    fs::path dir = fs::temp_directory_path() / ("trevolia_paths_" + std::to_string(getpid()));
    fs::create_directories(dir / "Data");
    std::ofstream(dir / "Data" / "c111.x") << "xof 0303txt 0032\n";
    std::wstring base = Utf8ToWide(dir.string());
    EXPECT_TRUE(FileExists((base + L"\\Data\\c111.x").c_str()));
    EXPECT_TRUE(FileExists((base + L"/Data//c111.x").c_str()));
    EXPECT_TRUE(FileExists((base + L"\\Data").c_str()));
    EXPECT_TRUE(DirectoryExists((base + L"\\Data\\").c_str()));
    EXPECT_FALSE(DirectoryExists((base + L"\\Data\\c111.x").c_str()));
    EXPECT_FALSE(FileExists((base + L"\\Data\\c112.x").c_str()));
    EXPECT_FALSE(FileExists(L""));
    // A folder named before ".." need not exist (the media search relies on it).
    EXPECT_TRUE(FileExists((base + L"\\media\\..\\Data\\c111.x").c_str()));

    const std::wstring before = Cwd();
    ASSERT_TRUE(SetCurrentDirectoryW((base + L"\\Data").c_str()));
    EXPECT_TRUE(FileExists(L"c111.x"));
    EXPECT_TRUE(FileExists(L"..\\Data\\c111.x"));
    std::wstring expected = base + L"\\Data";
    for (auto& c : expected) {
        if (c == L'/') c = L'\\';
    }
    EXPECT_EQ(Cwd(), expected);  // reported with '\'
    ASSERT_TRUE(SetCurrentDirectoryW(before.c_str()));
    fs::remove_all(dir);
}

TEST(Paths, ProgramFileAndCurrentDirectory) {
    wchar_t path[MAX_PATH];
    uint32_t n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring p(path);
    EXPECT_EQ(p[0], L'\\');
    EXPECT_NE(p.find(L"platform_tests"), std::wstring::npos);
    EXPECT_TRUE(FileExists(path));
    wchar_t small[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 0u);  // never a cut path
    wchar_t cwd[2];
    uint32_t needed = GetCurrentDirectoryW(2, cwd);
    EXPECT_EQ(needed, Cwd().size() + 1);
}

// --- command line and text ------------------------------------------------------------

TEST(CommandLine, ArgumentsFromMainBecomeWide) {
    const char* argv[] = {"trevolia", "-windowed", "-width:800", "\xC3\xA9t\xC3\xA9"};
    PlatformSetCommandLine(4, argv);
    auto args = GetCommandLineArguments();
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[1], L"-windowed");
    EXPECT_EQ(args[3], L"\u00e9t\u00e9");
    PlatformSetCommandLine({L"x", L"/fullscreen"});
    EXPECT_EQ(GetCommandLineArguments().back(), L"/fullscreen");
}

TEST(Text, Utf8ConversionReplacesInvalidSequences) {
    EXPECT_EQ(Utf8ToWide("a\xF0\x9F\x99\x82" "b"), std::wstring(L"a") + wchar_t(0x1F642) + L"b");
    EXPECT_EQ(WideToUtf8(Utf8ToWide("a\xF0\x9F\x99\x82" "b")), "a\xF0\x9F\x99\x82" "b");
    EXPECT_EQ(Utf8ToWide("\xFF" "x"), L"\uFFFDx");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD");      // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD");  // surrogate
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), L"\uFFFD");      // cut short
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

// --- settings store ------------------------------------------------------------------

const wchar_t* kKey = L"Software\\Trevolia\\Framework";
const wchar_t* kValue = L"Skip Warning On REF";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("trevolia_settings_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        const char* old = std::getenv("XDG_CONFIG_HOME");
        saved = old ? old : "";
        hadSaved = old != nullptr;
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    }
    void TearDown() override {
        if (hadSaved) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(root);
    }
    void WriteFile(const std::string& content) {
        fs::create_directories(root / "trevolia");
        std::ofstream(root / "trevolia" / "settings.txt", std::ios::binary) << content;
    }
    size_t FilesIn(const fs::path& dir) {
        size_t n = 0;
        for (auto& e : fs::directory_iterator(dir)) {
            (void)e;
            ++n;
        }
        return n;
    }

    fs::path root;
    std::string saved;
    bool hadSaved = false;
};

TEST_F(SettingsStore, RoundTripAndMissingFile) {
    EXPECT_EQ(SettingsFilePath(), (root / "trevolia" / "settings.txt").string());
    DWORD v = 99;
    EXPECT_FALSE(SettingsReadDword(kKey, kValue, &v));
    EXPECT_EQ(v, 99u);
    ASSERT_TRUE(SettingsWriteDword(kKey, kValue, 1));
    ASSERT_TRUE(SettingsReadDword(kKey, kValue, &v));
    EXPECT_EQ(v, 1u);
    ASSERT_TRUE(SettingsWriteDword(kKey, L"Other", 0xFFFFFFFFu));
    ASSERT_TRUE(SettingsWriteDword(kKey, kValue, 0));
    ASSERT_TRUE(SettingsReadDword(L"software\\TREVOLIA\\framework", L"skip warning on ref", &v));
    EXPECT_EQ(v, 0u);
    ASSERT_TRUE(SettingsReadDword(kKey, L"Other", &v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_FALSE(SettingsReadDword(L"Software\\Elsewhere", kValue, &v));
    EXPECT_EQ(FilesIn(root / "trevolia"), 1u);  // no temporary files left
}

TEST_F(SettingsStore, CorruptFilesReadAsNotSet) {
    const char* corrupt[] = {
        "",
        "garbage\n",
        "trevolia-settings 2\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\t1\n",
        "trevolia-settings 1\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\t1",  // cut short
        "trevolia-settings 1\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\tyes\n",
        "trevolia-settings 1\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\t4294967296\n",
        "trevolia-settings 1\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\t1\textra\n",
        "trevolia-settings 1\nSoftware\\Trevolia\\Framework\tSkip Warning On REF\t1\n\xFF\xFE\n",
        "\0\0\0\0",
    };
    for (const char* content : corrupt) {
        WriteFile(content);
        DWORD v = 42;
        EXPECT_FALSE(SettingsReadDword(kKey, kValue, &v)) << content;
        EXPECT_EQ(v, 42u);
    }
    // A write replaces a corrupt file with a sound one.
    ASSERT_TRUE(SettingsWriteDword(kKey, kValue, 1));
    DWORD v = 0;
    EXPECT_TRUE(SettingsReadDword(kKey, kValue, &v));
    EXPECT_EQ(v, 1u);
}

TEST_F(SettingsStore, UnwritableFolderFailsCleanly) {
    // A file where the folder should be: no process can create it.
    std::ofstream(root / "blocker") << "x";
    setenv("XDG_CONFIG_HOME", (root / "blocker").c_str(), 1);
    EXPECT_FALSE(SettingsWriteDword(kKey, kValue, 1));
    DWORD v = 0;
    EXPECT_FALSE(SettingsReadDword(kKey, kValue, &v));
    EXPECT_TRUE(fs::is_regular_file(root / "blocker"));
}

TEST_F(SettingsStore, FailedReplaceKeepsNoPartialFile) {
    // The settings file's name is taken by a folder: the new file cannot be
    // renamed into place.
    fs::create_directories(root / "trevolia" / "settings.txt" / "inner");
    EXPECT_FALSE(SettingsWriteDword(kKey, kValue, 1));
    EXPECT_EQ(FilesIn(root / "trevolia"), 1u);
    DWORD v = 0;
    EXPECT_FALSE(SettingsReadDword(kKey, kValue, &v));
}

TEST_F(SettingsStore, RelativeConfigHomeIsIgnored) {
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(SettingsFilePath().find("relative"), std::string::npos);
    EXPECT_EQ(SettingsFilePath().front(), '/');
}

TEST_F(SettingsStore, NamesThatCannotBeStoredAreRefused) {
    EXPECT_FALSE(SettingsWriteDword(L"Key\twith tab", kValue, 1));
    EXPECT_FALSE(SettingsWriteDword(kKey, L"line\nbreak", 1));
    EXPECT_FALSE(fs::exists(root / "trevolia" / "settings.txt"));
}

// --- switches ---------------------------------------------------------------------

TEST(SystemSwitches, AccessibilityRecordsRoundTrip) {
    ACCESSIBILITYKEYS startup = {};
    ASSERT_TRUE(GetAccessibilityKeys(AccessibilityFeature::StickyKeys, &startup));
    ACCESSIBILITYKEYS changed = startup;
    changed.dwFlags &= ~(SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY);
    ASSERT_TRUE(SetAccessibilityKeys(AccessibilityFeature::StickyKeys, &changed));
    ACCESSIBILITYKEYS now = {};
    GetAccessibilityKeys(AccessibilityFeature::StickyKeys, &now);
    EXPECT_EQ(now.dwFlags, changed.dwFlags);
    GetAccessibilityKeys(AccessibilityFeature::FilterKeys, &now);
    EXPECT_EQ(now.dwFlags, startup.dwFlags);  // each feature has its own record
    SetAccessibilityKeys(AccessibilityFeature::StickyKeys, &startup);
    GetAccessibilityKeys(AccessibilityFeature::StickyKeys, &now);
    EXPECT_EQ(now.dwFlags, startup.dwFlags);
}

TEST(SystemSwitches, ExecutionStateReturnsThePreviousOne) {
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
}

TEST(SystemSwitches, DebugBreakWithoutADebuggerReturns) {
    if (IsDebuggerPresent()) GTEST_SKIP() << "running under a debugger";
    DebugBreak();  // would end the process with SIGTRAP if it broke
    SUCCEED();
}

TEST(SystemSwitches, KeyboardHookPairsInstallAndRemove) {
    HHOOK hook = InstallLowLevelKeyboardHook([](UINT) { return true; });
    ASSERT_NE(hook, nullptr);
    EXPECT_TRUE(RemoveKeyboardHook(hook));
    EXPECT_FALSE(RemoveKeyboardHook(nullptr));
}

}  // namespace
