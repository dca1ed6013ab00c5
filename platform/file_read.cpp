#include "platform/file_read.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

HRESULT ReadFileBytes(const std::string& path, std::vector<uint8_t>* out, std::string* error, size_t maxBytes) {
    std::string ignored;
    std::string& err = error ? *error : ignored;
    out->clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        err = "cannot open \"" + path + "\": " + std::strerror(errno);
        return D3DXERR_INVALIDDATA;
    }
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        err = "\"" + path + "\" is not a regular file";
        return D3DXERR_INVALIDDATA;
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes) {
        std::fclose(f);
        err = "\"" + path + "\" is too large (" + std::to_string(st.st_size) + " bytes)";
        return D3DXERR_INVALIDDATA;
    }
    try {
        out->resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        err = "out of memory reading \"" + path + "\"";
        return E_OUTOFMEMORY;
    }
    size_t got = out->empty() ? 0 : std::fread(out->data(), 1, out->size(), f);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || got != out->size()) {
        out->clear();
        err = "cannot read \"" + path + "\"";
        return D3DXERR_INVALIDDATA;
    }
    return S_OK;
}
