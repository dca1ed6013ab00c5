// The settings store: 32-bit values under key paths, in one small text file.
//
//   trevolia-settings 1
//   <key path> TAB <value name> TAB <decimal value>
//
// Names are UTF-8 and compared without regard to case. A file that does not
// follow this form in every line is corrupt and reads as "not set" as a whole
// (a half-understood file is not trusted). Writes go to a temporary file in
// the same folder, which is flushed to disk and then renamed over the old
// file, so a crash leaves either the old or the new file, never a mix.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system.h"

namespace {

constexpr const char* kHeader = "trevolia-settings 1";
constexpr size_t kMaxFileSize = 1 << 20;

struct Value {
    std::wstring key;
    std::wstring name;
    DWORD value;
};

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/trevolia";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* pw = getpwuid(getuid());
        home = (pw != nullptr) ? pw->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') return std::string();
    return std::string(home) + "/.config/trevolia";
}

bool ValidName(const wchar_t* s) {
    if (s == nullptr) return false;
    for (; *s; ++s) {
        if (*s == L'\t' || *s == L'\n' || *s == L'\r') return false;
    }
    return true;
}

bool SameName(const std::wstring& a, const wchar_t* b) { return wcsicmp_portable(a.c_str(), b) == 0; }

bool ParseValue(const std::string& text, DWORD* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull) return false;
    *value = static_cast<DWORD>(v);
    return true;
}

// Reads every value; false when the file is missing, unreadable or corrupt.
bool ReadAll(std::vector<Value>* values) {
    values->clear();
    std::string path = SettingsFilePath();
    if (path.empty()) return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string content;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
        if (content.size() > kMaxFileSize) {
            close(fd);
            return false;
        }
    }
    close(fd);

    size_t pos = 0;
    bool first = true;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) return false;  // every line ends with a newline
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != kHeader) return false;
            first = false;
            continue;
        }
        size_t t1 = line.find('\t');
        size_t t2 = (t1 == std::string::npos) ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string::npos || line.find('\t', t2 + 1) != std::string::npos) return false;
        Value v;
        v.key = Utf8ToWide(line.substr(0, t1));
        v.name = Utf8ToWide(line.substr(t1 + 1, t2 - t1 - 1));
        if (v.key.empty() || v.key.find(L'\uFFFD') != std::wstring::npos || v.name.find(L'\uFFFD') != std::wstring::npos) {
            return false;
        }
        if (!ParseValue(line.substr(t2 + 1), &v.value)) return false;
        values->push_back(v);
    }
    return !first;
}

bool MakeDirectories(const std::string& dir) {
    std::string partial;
    size_t i = 0;
    while (i <= dir.size()) {
        size_t next = dir.find('/', i);
        if (next == std::string::npos) next = dir.size();
        partial = dir.substr(0, next);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        i = next + 1;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFully(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Fail(const std::string& what, const std::string& path, int err) {
    std::string line = "Settings: cannot " + what + " \"" + path + "\": " + std::strerror(err) + "\n";
    OutputDebugStringA(line.c_str());
    return false;
}

}  // namespace

std::string SettingsFilePath() {
    std::string dir = ConfigDirectory();
    return dir.empty() ? std::string() : dir + "/settings.txt";
}

bool SettingsReadDword(const wchar_t* keyPath, const wchar_t* valueName, DWORD* value) {
    if (keyPath == nullptr || valueName == nullptr || value == nullptr) return false;
    std::vector<Value> values;
    if (!ReadAll(&values)) return false;
    for (const Value& v : values) {
        if (SameName(v.key, keyPath) && SameName(v.name, valueName)) {
            *value = v.value;
            return true;
        }
    }
    return false;
}

bool SettingsWriteDword(const wchar_t* keyPath, const wchar_t* valueName, DWORD value) {
    if (!ValidName(keyPath) || !ValidName(valueName) || keyPath[0] == 0) return false;
    std::string dir = ConfigDirectory();
    if (dir.empty()) return Fail("find the settings folder", "$HOME", ENOENT);
    if (!MakeDirectories(dir)) return Fail("create the settings folder", dir, errno);

    std::vector<Value> values;
    ReadAll(&values);  // a missing or corrupt file starts afresh
    bool replaced = false;
    for (Value& v : values) {
        if (SameName(v.key, keyPath) && SameName(v.name, valueName)) {
            v.value = value;
            replaced = true;
        }
    }
    if (!replaced) values.push_back({keyPath, valueName, value});

    std::string content = std::string(kHeader) + "\n";
    for (const Value& v : values) {
        content += WideToUtf8(v.key) + "\t" + WideToUtf8(v.name) + "\t" + std::to_string(v.value) + "\n";
    }

    std::string path = dir + "/settings.txt";
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return Fail("write to the settings folder", dir, errno);
    fchmod(fd, 0600);
    if (!WriteFully(fd, content) || fsync(fd) != 0) {
        int err = errno;
        close(fd);
        unlink(name.data());
        return Fail("write", name.data(), err);
    }
    if (close(fd) != 0) {
        int err = errno;
        unlink(name.data());
        return Fail("write", name.data(), err);
    }
    if (rename(name.data(), path.c_str()) != 0) {
        int err = errno;
        unlink(name.data());
        return Fail("replace", path, err);
    }
    // Make the rename itself durable.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}
