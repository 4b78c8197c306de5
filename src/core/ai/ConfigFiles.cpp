// Configuration directory and bounded file reading.
#include "core/ai/ConfigFiles.h"

#include <fstream>
#include <iterator>

namespace veska::ConfigFiles {

std::string configDirectory(const ports::Environment& env) {
    return env.homeDirectory() + "/.config/veska-voice";
}

std::optional<std::string> readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text;
    char buffer[8192];
    while (file) {
        file.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxFileBytes) return std::nullopt;
    }
    // Stopping for any reason but the end of the file (a directory, an I/O error) is unreadable.
    if (!file.eof() || file.bad()) return std::nullopt;
    return text;
}

}  // namespace veska::ConfigFiles
