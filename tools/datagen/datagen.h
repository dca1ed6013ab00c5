// The program's data, generated: 26 cubelet meshes, two effects, ten
// pictures (the "Data" folder) and the default control image that the
// framework carries inside itself. Every output is a pure function of this
// code, so two runs write the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct DataFile {
    std::string name;  // file name inside the Data folder
    std::vector<uint8_t> bytes;
};

// Every file of the Data folder: "c111.x" … "c333.x", "shadowmap.fx",
// "Vexaloid.fx", "Bild1.bmp" … "Bild10.bmp".
std::vector<DataFile> BuildDataFiles();

// Writes `bytes` to `path` (through a temporary file and a rename, so a
// reader never sees half a file). False with a message in `error` on failure.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// Creates the folder if needed and writes every data file into it.
bool WriteDataFolder(const std::string& folder, std::string* error);

// Writes the C++ source that embeds the default control image.
bool WriteEmbeddedImageSource(const std::string& path, std::string* error);

}  // namespace datagen
