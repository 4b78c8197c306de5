// Environment variables and home directory of this process.
#include "platform/linux/ProcessEnvironment.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

#include <vector>

namespace veska::platform {

namespace {

constexpr std::size_t kPasswdBufferLimit = 1 << 20;

std::optional<std::string> passwordHome() {
    std::vector<char> buffer(4096);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < kPasswdBufferLimit) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_dir == nullptr) return std::nullopt;
        return std::string(found->pw_dir);
    }
}

}  // namespace

std::optional<std::string> ProcessEnvironment::variable(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string ProcessEnvironment::homeDirectory() const {
    std::string home = variable("HOME").value_or("");
    if (home.empty()) home = passwordHome().value_or("");
    while (!home.empty() && home.back() == '/') home.pop_back();
    return home;
}

}  // namespace veska::platform
