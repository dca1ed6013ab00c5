#include "tools/datagen/datagen.h"

#include "tools/datagen/control_image.h"
#include "tools/datagen/cubelet.h"
#include "tools/datagen/effects.h"
#include "tools/datagen/pictures.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace datagen {

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

std::vector<DataFile> BuildDataFiles() {
    std::vector<DataFile> files;
    for (int code : CubeletCodes()) files.push_back({CubeletFileName(code), Bytes(WriteXFile(BuildCubelet(code)))});
    files.push_back({"shadowmap.fx", Bytes(ShadowmapEffect())});
    files.push_back({"Vexaloid.fx", Bytes(VexaloidEffect())});
    for (int n = 1; n <= kPictureCount; ++n)
        files.push_back({PictureFileName(n), MakeBmp24(kPictureSize, kPictureSize, BuildPicture(n))});
    return files;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        *error = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        *error = "cannot write " + temporary + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        *error = "cannot rename " + temporary + " to " + path + ": " + ec.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteDataFolder(const std::string& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        *error = "cannot create the folder " + folder + ": " + ec.message();
        return false;
    }
    for (const DataFile& file : BuildDataFiles())
        if (!WriteFileAtomically((std::filesystem::path(folder) / file.name).string(), file.bytes, error)) return false;
    return true;
}

bool WriteEmbeddedImageSource(const std::string& path, std::string* error) {
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    if (ec) {
        *error = "cannot create the folder " + parent.string() + ": " + ec.message();
        return false;
    }
    return WriteFileAtomically(path, Bytes(EmbeddedImageSource(BuildDefaultControlImageDds())), error);
}

}  // namespace datagen
