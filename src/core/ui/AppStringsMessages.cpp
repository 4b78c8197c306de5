// The shared bilingual messages: errors of AI actions, tool-tips, status and update lines.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "core/ui/AppStrings.h"

namespace veska::AppStrings {

namespace {

constexpr std::string_view kChatGPTProvider = "chatgpt_web";

// One decimal, locale-independent ("%.1f" in the C locale).
std::string oneDecimal(double value) {
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    if (ec != std::errc()) return "?";
    return std::string(buffer, end);
}

std::string sourceMessage(const TranslateError& error) {
    std::string n = sourceName(error.source().value_or(AISource::grok));
    using Kind = TranslateError::Kind;
    switch (error.kind()) {
        case Kind::noKey:
            return pick("Chưa có API key " + n + ". Thêm trong Cài đặt → Nguồn AI.",
                        "No " + n + " key yet. Add it in Settings → AI source.");
        case Kind::badKey:
            return pick("API key " + n + " bị từ chối. Kiểm tra lại trong Cài đặt.",
                        n + " rejected the key. Check it in Settings.");
        case Kind::apiFailed:
            return pick(n + " lỗi: " + error.detail(), n + " error: " + error.detail());
        case Kind::needLogin:
            return pick("Chưa đăng nhập " + n + ". Đăng nhập trong Cài đặt → Nguồn AI.",
                        "Not signed in to " + n + ". Sign in under Settings → AI source.");
        default:
            return {};
    }
}

}  // namespace

std::string translateMessage(const TranslateError& error) {
    using Kind = TranslateError::Kind;
    std::string domain = serviceNames().xaiDomain;
    switch (error.kind()) {
        case Kind::noKey:
        case Kind::badKey:
        case Kind::apiFailed:
        case Kind::needLogin:
            return sourceMessage(error);
        case Kind::signedOut:
            return pick(
                "Dịch dùng tài khoản Grok (" + domain +
                    ") của bạn, như phần nghe. Đăng nhập một lần là dùng được.",
                "Translation uses your Grok (" + domain + ") account, like read-aloud. Sign in once.");
        case Kind::unreachable:
            return pick("Không kết nối được dịch vụ AI — thử lại", "Can't reach the AI service — try again");
        case Kind::tooLong:
            return pick("Đoạn quá dài (tối đa 15.000 ký tự)", "Too long (15,000 characters max)");
        case Kind::failed:
            break;
    }
    return pick("Không dịch được đoạn này", "Couldn't translate this");
}

std::string translateMessage(const std::exception_ptr& error) {
    if (!error) return translateMessage(TranslateError::failed());
    try {
        std::rethrow_exception(error);
    } catch (const TranslateError& translateError) {
        return translateMessage(translateError);
    } catch (...) {
        return translateMessage(TranslateError::failed());
    }
}

std::string menuTooltipUpdate(std::string_view version) {
    std::string v(version);
    return pick("Veska — có bản mới " + v + ", bấm để cập nhật",
                "Veska — " + v + " available, click to update");
}

std::string menuTooltipNeedsSetup(int missing) {
    std::string k = std::to_string(missing);
    return pick("Thiếu " + k + " quyền — mở để thiết lập", k + " permission(s) missing — open to set up");
}

std::string menuTooltipSignIn(std::string_view provider) {
    if (provider == kChatGPTProvider) {
        return pick("Veska — chưa đăng nhập ChatGPT", "Veska — not signed in to ChatGPT");
    }
    std::string claude = serviceNames().claudeDisplayName;
    return pick("Veska — chưa đăng nhập " + claude, "Veska — not signed in to " + claude);
}

std::string modeName(Translator::WriteMode mode) {
    switch (mode) {
        case Translator::WriteMode::normal:
            return pick("Thường", "Normal");
        case Translator::WriteMode::prompt:
            return pick("Viết prompt", "Prompt");
        case Translator::WriteMode::email:
            return pick("Viết email", "Email");
    }
    return pick("Thường", "Normal");
}

std::string permsProgress(int done, int total) {
    std::string d = std::to_string(done);
    std::string t = std::to_string(total);
    return pick(d + " / " + t + " hoàn tất", d + " of " + t + " done");
}

std::string menuTooltipDefault() {
    return pick("Veska — nhấn hoặc giữ fn để nói · Esc huỷ", "Veska — tap or hold fn to dictate · Esc cancels");
}

std::string dashboardTitle() { return pick("Veska · Cài đặt", "Veska · Settings"); }

std::string saveTokenFailed() { return "Save token failed"; }

std::string chatgptLoginNote() {
    return pick("Phiên được lấy tự động và làm mới định kỳ.", "Your session is captured and refreshed automatically.");
}

std::string chatgptLoginHelp() {
    return pick("Chưa xong — thử lại hoặc kiểm tra mạng.", "Not finished — try again or check your network.");
}

std::string cancelButton() { return pick("Huỷ", "Cancel"); }

std::string permsSummary(int missing) {
    if (missing == 0) return pick("Đã sẵn sàng — nhấn fn để nói", "Ready — tap fn to speak");
    std::string k = std::to_string(missing);
    return pick("Còn thiếu " + k + " quyền", k + " still missing");
}

std::string translateEngine(AISource source, std::optional<std::string_view> model, double seconds) {
    if (!model) return translateEngine();
    std::string formatted = oneDecimal(seconds);
    if (locale() == Locale::vi) std::replace(formatted.begin(), formatted.end(), '.', ',');
    return sourceName(source) + " · " + std::string(*model) + " · " + formatted + " s";
}

std::string voiceSample(std::string_view name) {
    std::string n(name);
    return pick("Xin chào, mình là " + n + ". Bôi đen đoạn bất kỳ rồi chạm đôi Option để nghe.",
                "Hi, I'm " + n + ". Highlight any text and double-tap Option to listen.");
}

std::string updateNoticeTitle(std::string_view version) {
    std::string v(version);
    return pick("Veska " + v + " đã có", "Veska " + v + " is available");
}

std::string statusLine(bool sttReady, std::string_view provider, std::optional<std::string_view> email,
                       int missingPerms) {
    bool chatgpt = provider == kChatGPTProvider;
    std::string name = chatgpt ? std::string("ChatGPT") : serviceNames().claudeDisplayName;
    if (!sttReady) return pick("Chưa đăng nhập " + name, "Not signed in to " + name);
    if (missingPerms > 0) {
        std::string k = std::to_string(missingPerms);
        return pick("Thiếu " + k + " quyền macOS", k + " macOS permission(s) missing");
    }
    if (email && !email->empty()) return name + " · " + std::string(*email);
    return name;
}

std::string popoverFooter(std::string_view version) {
    std::string v(version);
    return pick("Veska " + v + " · miễn phí", "Veska " + v + " · free");
}

std::string updateAvailable(std::string_view version) {
    std::string v(version);
    return pick("Có bản mới " + v, "Update " + v + " available");
}

std::string hudInsertedInto(std::string_view app) {
    std::string a(app);
    return pick("Đã chèn vào " + a, "Inserted into " + a);
}

std::string popoverReadDetail(std::string_view voice) {
    std::string v(voice);
    return pick("Chạm đôi Option · giọng " + v + " · Grok", "Double-tap Option · " + v + " voice · Grok");
}

std::string popoverTranslateDetail() {
    std::string engine = translateEngineName();
    return pick("Chạm đôi Control · dịch bằng AI (" + engine + ")",
                "Double-tap Control · AI translation (" + engine + ")");
}

std::string hudFixing(Translator::WriteMode currentMode) {
    if (currentMode == Translator::WriteMode::normal) return pick("AI đang sửa…", "AI is fixing…");
    return pick("AI đang viết…", "AI is writing…");
}

std::string updateDownloading(std::optional<double> fraction) {
    if (!fraction || !(*fraction > 0)) return pick("Đang tải…", "Downloading…");
    // A fraction past the end (or infinite) counts as complete.
    double clamped = std::min(*fraction, 1.0);
    std::string p = std::to_string(static_cast<int>(std::trunc(clamped * 100.0)));
    return pick("Đang tải… " + p + "%", "Downloading… " + p + "%");
}

}  // namespace veska::AppStrings
