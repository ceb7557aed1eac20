// Helpers of the package tests: running a tool, and the files below a folder.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace package_test {

// Runs a shell command; its exit status and what it wrote to standard output and error.
inline std::pair<int, std::string> RunTool(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The regular files below `root`, as sorted paths relative to it.
inline std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file()) files.push_back(std::filesystem::relative(it->path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every distinct long option ("--name") that a text mentions, in order of first mention.
inline std::vector<std::string> LongOptions(const std::string& text) {
    std::vector<std::string> options;
    for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        size_t end = at + 2;
        while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
        std::string option = text.substr(at, end - at);
        if (option.size() > 2 && option.back() != '-' &&
            std::find(options.begin(), options.end(), option) == options.end())
            options.push_back(option);
        at = end - 2;
    }
    return options;
}

}  // namespace package_test
