#include "core/ui/AppStringsDictation.h"

#include "core/ui/AppStrings.h"

namespace veska::AppStrings {

std::string micPermission() { return "Mic permission"; }
std::string micError() { return "Mic error"; }
std::string missingPermissions() { return "Thiếu quyền · xem menu AL"; }
std::string emptyTranscript() { return "Empty"; }
std::string enableInputMonitoring() { return "Bật Input Monitoring"; }
std::string microphoneUnavailable() { return pick("Không mở được mic", "Microphone unavailable"); }

std::string serviceDisconnected(std::string_view service) {
    std::string s(service);
    return pick(s + " mất kết nối", s + " disconnected");
}

std::string signInTo(std::string_view service) {
    std::string s(service);
    return pick("Đăng nhập " + s, "Sign in to " + s);
}

std::string copiedPasteHint() { return pick("Đã chép · ⌘V để dán", "Copied · ⌘V to paste"); }

std::string writtenLongContext() {
    return pick("Đã viết · ngữ cảnh dài, AI chỉ đọc 15.000 ký tự đầu",
                "Written · long context, AI read the first 15,000 characters");
}

std::string composeKeptAsSpoken() {
    return pick("AI chưa viết được · chèn nguyên lời nói", "AI could not write it · kept as spoken");
}

std::string fixKeptAsSpoken() {
    return pick("AI chưa sửa được · chèn nguyên lời nói", "AI could not fix it · kept as spoken");
}

std::string translateKeptAsSpoken() {
    return pick("Chưa dịch được · chèn bản gốc", "Not translated · kept as spoken");
}

std::string outputNotice(std::string_view nativeName) {
    std::string n(nativeName);
    return pick("Chữ ra: " + n, "Output: " + n);
}

std::string outputAsSpokenNotice() { return pick("Chữ ra: Như lời nói", "Output: As spoken"); }

std::string modeNotice(std::string_view modeName) {
    std::string m(modeName);
    return pick("Chế độ: " + m, "Mode: " + m);
}

std::string loginItemFailed(std::string_view description) { return "Login item: " + std::string(description); }

}  // namespace veska::AppStrings
