// The HUD seen from outside: window, pictures, its words on the accessibility bus and by OCR.
#include "e2e/support/HudObserver.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace veska::e2e {

namespace {

/// Small interface text reads far better enlarged.
constexpr int kOcrScale = 3;
constexpr double kOcrSeconds = 30;
/// A drawing darker than this share (in tenths) of the kept one is a fade, not a new state.
constexpr int kKeepBrightnessTenths = 6;

Image enlargedGrey(const Image& image, int factor) {
    Image out;
    out.width = image.width * factor;
    out.height = image.height * factor;
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const std::size_t from = (static_cast<std::size_t>(y / factor) * static_cast<std::size_t>(image.width) +
                                      static_cast<std::size_t>(x / factor)) * 3;
            const auto grey = static_cast<std::uint8_t>((image.rgb[from] * 30 + image.rgb[from + 1] * 59 +
                                                         image.rgb[from + 2] * 11) / 100);
            const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) +
                                    static_cast<std::size_t>(x)) * 3;
            out.rgb[to] = out.rgb[to + 1] = out.rgb[to + 2] = grey;
        }
    }
    return out;
}

/// How many pixels are not dark: how much of a drawing is on screen.
int brightness(const Image& image) {
    int count = 0;
    for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
        if (image.rgb[i] + image.rgb[i + 1] + image.rgb[i + 2] > 3 * 64) ++count;
    }
    return count;
}

/// A floating panel, not a window of its own: the HUD, not the permission or dashboard windows.
bool isHudLike(const WindowInfo& info) {
    if (info.overrideRedirect) return true;
    for (const std::string& type : info.types) {
        if (type == "notification" || type == "tooltip" || type == "utility" || type == "dock") return true;
    }
    return false;
}

}  // namespace

std::string normalized(const std::string& text) {
    std::string out;
    bool space = true;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte) != 0) {
            if (!space) out.push_back(' ');
            space = true;
        } else {
            out.push_back(static_cast<char>(std::tolower(byte)));
            space = false;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool ocrAvailable() {
    return !findProgram("tesseract").empty() && shellOutput("tesseract --list-langs 2>&1").find("eng") != std::string::npos;
}

HudObserver::HudObserver(E2eDesktop& desktop, pid_t veska, std::filesystem::path outputDir)
    : desktop_(desktop),
      veska_(veska),
      outputDir_(std::move(outputDir)),
      x_(XOpenDisplay(desktop.display().c_str())),
      bus_(desktop.environment()["DBUS_SESSION_BUS_ADDRESS"]) {}

HudObserver::~HudObserver() {
    if (x_ != nullptr) XCloseDisplay(x_);
}

std::optional<WindowInfo> HudObserver::window() {
    if (x_ == nullptr) return std::nullopt;
    std::optional<WindowInfo> best;
    for (const WindowInfo& info : windowsOf(x_, veska_)) {
        if (!info.viewable || info.width < 8 || info.height < 8) continue;
        if (desktop_.trayPid() > 0 && isInsideWindowOf(x_, info.id, desktop_.trayPid())) continue;
        if (!isHudLike(info)) continue;
        if (!best || info.width * info.height > best->width * best->height) best = info;
    }
    return best;
}

Image HudObserver::picture() {
    const std::optional<WindowInfo> hud = window();
    if (!hud) return {};
    return capture(x_, hud->id);
}

std::string HudObserver::says() {
    const testing::AccessibleWindow hud = bus_.showing(veska_, "notification");
    if (hud.role.empty()) return {};
    return normalized(hud.name + " " + hud.description);
}

std::string HudObserver::read(const Image& picture, const std::string& name) {
    if (picture.empty()) return {};
    const std::filesystem::path shown = outputDir_ / (name + ".png");
    const std::filesystem::path enlarged = outputDir_ / "ocr" / (name + ".png");
    writePng(picture, shown);
    if (!writePng(enlargedGrey(picture, kOcrScale), enlarged)) return {};
    Environment env = desktop_.environment();
    env["OMP_THREAD_LIMIT"] = "1";  // OpenMP on two cores makes it several times slower
    // Sparse text finds the words of a pill beside its icon; a block reads the listening card's
    // lines in order: both are read and kept.
    std::string words;
    for (const char* mode : {"11", "6"}) {
        const std::filesystem::path text = outputDir_ / "ocr" / (name + "-psm" + mode);
        Launched tesseract({.argv = {"tesseract", enlarged.string(), text.string(), "-l", "eng", "--psm", mode},
                            .environment = env});
        E2eDesktop::waitFor([&] { return !tesseract.running(); }, kOcrSeconds, 20);
        std::ifstream in(text.string() + ".txt");
        words += std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) + "\n";
    }
    return normalized(words);
}

HudRecording::HudRecording(E2eDesktop& desktop, pid_t veska, std::filesystem::path outputDir)
    : observer_(desktop, veska, outputDir), outputDir_(std::move(outputDir)), thread_([this] { run(); }) {}

HudRecording::~HudRecording() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void HudRecording::run() {
    const auto start = std::chrono::steady_clock::now();
    while (!stop_) {
        std::string words = observer_.says();
        Image shot = observer_.picture();
        if (frames_.empty() || words != frames_.back().words) {
            const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            frames_.push_back({at, std::move(shot), std::move(words)});
        } else if (!shot.empty() && (frames_.back().picture.empty() ||
                                     brightness(shot) * 10 >= brightness(frames_.back().picture) * kKeepBrightnessTenths)) {
            // Drawn again in the same state: the latest drawing stands for it (the first one may
            // still show the last state's content), unless it is fading out, which without a
            // compositor shows as black.
            frames_.back().picture = std::move(shot);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<std::string> HudRecording::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::vector<std::string> said;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        const HudFrame& frame = frames_[i];
        if (!frame.picture.empty()) writePng(frame.picture, outputDir_ / ("frame-" + std::to_string(i) + ".png"));
        if (!frame.words.empty() && (said.empty() || said.back() != frame.words)) said.push_back(frame.words);
    }
    return said;
}

bool saidInOrder(const std::vector<std::string>& said, const std::vector<std::string>& phrases) {
    std::size_t at = 0;
    for (const std::string& phrase : phrases) {
        while (at < said.size() && said[at].find(phrase) == std::string::npos) ++at;
        if (at == said.size()) return false;
        ++at;
    }
    return true;
}

}  // namespace veska::e2e
