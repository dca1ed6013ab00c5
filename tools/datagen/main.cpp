// trevolia_datagen: writes the program's data.
//   trevolia_datagen data <folder>    the Data folder (meshes, effects, pictures)
//   trevolia_datagen embed <file>     the C++ source holding the default control image
#include "tools/datagen/datagen.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "data") != 0 && std::strcmp(argv[1], "embed") != 0)) {
        std::fprintf(stderr, "usage: %s data <folder> | embed <file.cpp>\n", argc > 0 ? argv[0] : "trevolia_datagen");
        return 2;
    }
    std::string error;
    bool ok = std::strcmp(argv[1], "data") == 0 ? datagen::WriteDataFolder(argv[2], &error)
                                                : datagen::WriteEmbeddedImageSource(argv[2], &error);
    if (!ok) {
        std::fprintf(stderr, "trevolia_datagen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
