#include "platform/linux/autostart/XdgAutostartLoginItem.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <system_error>

#include "core/ui/AppStrings.h"
#include "platform/linux/AtomicFile.h"

namespace veska::platform {

namespace {

constexpr mode_t kEntryMode = 0644;
constexpr mode_t kDirectoryMode = 0700;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

bool isFalse(const std::string& value) {
    return value == "false" || value == "False" || value == "0";
}
bool isTrue(const std::string& value) {
    return value == "true" || value == "True" || value == "1";
}

ports::LoginItemError failure(std::string_view viAction, std::string_view enAction,
                              const std::filesystem::path& path, int error) {
    const std::string reason = std::strerror(error);
    return ports::LoginItemError(AppStrings::pick(viAction, enAction) + " " + path.string() + ": " + reason);
}

}  // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(const ports::Environment& env, std::string executable)
    : env_(env), executable_(std::move(executable)) {}

std::filesystem::path XdgAutostartLoginItem::entryPath() const {
    const std::optional<std::string> configHome = env_.variable("XDG_CONFIG_HOME");
    // Relative values are invalid by the base directory rules and are ignored.
    std::filesystem::path base = configHome && configHome->starts_with('/')
                                     ? std::filesystem::path(*configHome)
                                     : std::filesystem::path(env_.homeDirectory()) / ".config";
    return base / "autostart" / kFileName;
}

std::string XdgAutostartLoginItem::quoteExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        // Inside quotes the Exec rules reserve these four, each escaped with a backslash, and
        // the key-value rules then double every backslash; a percent sign is a field code.
        if (c == '"' || c == '`' || c == '$') {
            out += "\\\\";
            out += c;
        } else if (c == '\\') {
            out += "\\\\\\\\";
        } else if (c == '%') {
            out += "%%";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string XdgAutostartLoginItem::entryText(const std::string& executable) {
    std::ostringstream text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=Veska\n"
         << "Comment=Speech to text, translation and read-aloud in any application\n"
         << "Exec=" << quoteExec(executable) << "\n"
         << "Terminal=false\n"
         << "NoDisplay=true\n"
         << "X-GNOME-Autostart-enabled=true\n";
    return text.str();
}

bool XdgAutostartLoginItem::entryEnabled(const std::string& text) {
    bool inMainGroup = false;
    bool sawMainGroup = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string entry = trimmed(line);
        if (entry.empty() || entry.starts_with('#')) continue;
        if (entry.starts_with('[')) {
            inMainGroup = entry == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) continue;
        const auto equals = entry.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(std::string_view(entry).substr(0, equals));
        const std::string value = trimmed(std::string_view(entry).substr(equals + 1));
        if (key == "Hidden" && isTrue(value)) return false;
        if (key == "X-GNOME-Autostart-enabled" && isFalse(value)) return false;
    }
    return sawMainGroup;
}

ports::LoginItemStatus XdgAutostartLoginItem::status() const {
    const AtomicFile::ReadResult read = AtomicFile::read(entryPath(), kMaxEntryBytes);
    if (read.status != AtomicFile::ReadStatus::ok) return ports::LoginItemStatus::notRegistered;
    return entryEnabled(read.bytes) ? ports::LoginItemStatus::enabled : ports::LoginItemStatus::notRegistered;
}

void XdgAutostartLoginItem::registerItem() {
    const std::filesystem::path path = entryPath();
    errno = 0;
    if (!AtomicFile::ensureDirectory(path.parent_path(), kDirectoryMode)) {
        throw failure("Không tạo được thư mục", "Could not create the folder", path.parent_path(),
                      errno != 0 ? errno : EACCES);
    }
    errno = 0;
    if (!AtomicFile::write(path, entryText(executable_), kEntryMode)) {
        throw failure("Không ghi được", "Could not write", path, errno != 0 ? errno : EIO);
    }
}

void XdgAutostartLoginItem::unregisterItem() {
    const std::filesystem::path path = entryPath();
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) throw failure("Không xoá được", "Could not remove", path, error.value());
}

}  // namespace veska::platform
