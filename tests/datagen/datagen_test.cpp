#include "tools/datagen/datagen.h"
#include "tools/datagen/effects.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        m_path = fs::temp_directory_path() /
                 ("trevolia_datagen_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder() { fs::remove_all(m_path); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::set<std::string> ExpectedNames() {
    std::set<std::string> names = {"shadowmap.fx", "Vexaloid.fx"};
    for (int x = 1; x <= 3; ++x)
        for (int y = 1; y <= 3; ++y)
            for (int z = 1; z <= 3; ++z)
                if (x * 100 + y * 10 + z != 222) names.insert("c" + std::to_string(x * 100 + y * 10 + z) + ".x");
    for (int n = 1; n <= 10; ++n) names.insert("Bild" + std::to_string(n) + ".bmp");
    return names;
}

TEST(DataFiles, TheWholeSetTwiceByteForByte) {
    std::vector<datagen::DataFile> first = datagen::BuildDataFiles(), second = datagen::BuildDataFiles();
    std::set<std::string> names;
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        names.insert(first[i].name);
        EXPECT_EQ(first[i].name, second[i].name);
        EXPECT_EQ(first[i].bytes, second[i].bytes) << first[i].name;
        EXPECT_FALSE(first[i].bytes.empty());
    }
    EXPECT_EQ(names, ExpectedNames());
    EXPECT_EQ(first.size(), 38u);
}

TEST(DataFiles, WritingAFolderTwiceGivesTheSameFiles) {
    TempFolder temp;
    const fs::path folder = temp.Path() / "Data";
    std::string error;
    ASSERT_TRUE(datagen::WriteDataFolder(folder.string(), &error)) << error;
    std::map<std::string, std::vector<uint8_t>> firstRun;
    for (const auto& entry : fs::directory_iterator(folder)) firstRun[entry.path().filename()] = ReadFile(entry.path());
    ASSERT_TRUE(datagen::WriteDataFolder(folder.string(), &error)) << error;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename();
        names.insert(name);
        EXPECT_EQ(ReadFile(entry.path()), firstRun[name]) << name;
    }
    EXPECT_EQ(names, ExpectedNames()) << "no temporary files left behind";
}

TEST(DataFiles, AnUnwritableFolderIsAnErrorWithAMessage) {
    TempFolder temp;
    const fs::path blocker = temp.Path() / "file";
    std::ofstream(blocker) << "not a folder";
    std::string error;
    EXPECT_FALSE(datagen::WriteDataFolder((blocker / "Data").string(), &error));
    EXPECT_NE(error.find("Data"), std::string::npos) << error;
    EXPECT_FALSE(datagen::WriteEmbeddedImageSource((blocker / "image.cpp").string(), &error));
    EXPECT_EQ(ReadFile(blocker), (std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'l', 'd', 'e', 'r'}));
}

TEST(DataFiles, TheBuildPlacedTheCurrentDataBesideTheProgram) {
    const fs::path folder = TREVOLIA_DATA_DIR;
    for (const datagen::DataFile& file : datagen::BuildDataFiles())
        EXPECT_EQ(ReadFile(folder / file.name), file.bytes) << (folder / file.name);
}

// The effects: every parameter the program sets is a uniform that the code
// uses beyond its declaration (unused uniforms are dropped by the compiler,
// and setting them by name would fail), and the technique's passes name
// existing code blocks.
struct EffectCase {
    const char* name;
    std::string (*text)();
    const std::vector<std::string>& (*parameters)();
};
void PrintTo(const EffectCase& effect, std::ostream* os) { *os << effect.name; }

class Effect : public ::testing::TestWithParam<EffectCase> {};

TEST_P(Effect, DeclaresAndUsesEveryParameterInTechniqueRenderScene) {
    const std::string text = GetParam().text();
    const std::string code = std::regex_replace(text, std::regex("//[^\n]*"), "");
    EXPECT_NE(text.find("\ntechnique RenderScene\n"), std::string::npos);
    for (const std::string& p : GetParam().parameters()) {
        std::regex declaration("\nuniform (mat4|vec4|sampler2D) " + p + ";");
        EXPECT_TRUE(std::regex_search(text, declaration)) << p;
        std::regex use("[^a-zA-Z_]" + p + "[^a-zA-Z_0-9]");
        auto uses = std::distance(std::sregex_iterator(code.begin(), code.end(), use), std::sregex_iterator());
        EXPECT_GE(uses, 2) << p << ": declared and used";
    }
    std::regex pass(R"((vertex|fragment) = (\w+);)");
    int stages = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pass); it != std::sregex_iterator(); ++it, ++stages)
        EXPECT_NE(text.find("\n" + (*it)[1].str() + " " + (*it)[2].str() + " <<\n"), std::string::npos) << it->str();
    EXPECT_EQ(stages, 2);
    EXPECT_NE(text.find("out vec4 out_Color;"), std::string::npos);
    EXPECT_EQ(text.find("#version"), std::string::npos) << "the loader adds the version line";
}

INSTANTIATE_TEST_SUITE_P(BothEffects, Effect,
                         ::testing::Values(EffectCase{"shadowmap", datagen::ShadowmapEffect,
                                                      datagen::ShadowmapParameters},
                                           EffectCase{"Vexaloid", datagen::VexaloidEffect,
                                                      datagen::VexaloidParameters}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
