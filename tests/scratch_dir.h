// What a test sets around itself for one scope: a fresh directory under the system's temporary
// folder (the place where tests write real files), removed with its contents at the end, and
// environment variables, put back as they were.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The number of the first line of a source file that holds the comment "// site: MARKER"; 0 if none.
inline int64_t SiteLine(const std::string& path, const std::string& marker) {
    const std::string text = ReadBytes(path);
    const size_t at = text.find("// site: " + marker);
    return at == std::string::npos ? 0 : 1 + std::count(text.begin(), text.begin() + at, '\n');
}

// The variable set to `value` (unset for nullptr) until the end of the scope.
struct EnvScope {
    EnvScope(const char* name, const char* value) : name(name) {
        if (const char* old = getenv(name)) saved = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    EnvScope(const char* name, const std::string& value) : EnvScope(name, value.c_str()) {}
    ~EnvScope() { saved ? setenv(name, saved->c_str(), 1) : unsetenv(name); }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

    const char* name;
    std::optional<std::string> saved;
};

struct ScratchDir {
    std::string path = (std::filesystem::temp_directory_path() / "quolk-test-XXXXXX").string();

    ScratchDir() {
        if (!mkdtemp(path.data())) path.clear();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return path + "/" + name; }
    // Writes the bytes as they are and returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }
    std::string Read(const std::string& name) const { return ReadBytes(File(name)); }
};
