// Every shared message in both interface languages, against the exact product texts.
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>

#include "AppStringsFixture.h"

namespace veska {
namespace {

using AppStrings::Locale;
using Translator::WriteMode;

struct Row {
    const char* name;
    std::function<std::string()> build;
    std::string vi;
    std::string en;
};

class AppStringsMessages : public testing::AppStringsTest {
protected:
    void check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            useLocale(Locale::vi);
            EXPECT_EQ(row.build(), row.vi) << row.name << " (vi)";
            useLocale(Locale::en);
            EXPECT_EQ(row.build(), row.en) << row.name << " (en)";
        }
    }
    void useConfiguredNames() { AppStrings::setServiceNames({"Claude Web", "x.test"}); }
};

TEST_F(AppStringsMessages, TranslateErrors) {
    useConfiguredNames();
    auto msg = [](TranslateError e) { return [e] { return AppStrings::translateMessage(e); }; };
    check({
        {"noKey gemini", msg(TranslateError::noKey(AISource::gemini)),
         "Chưa có API key Gemini API. Thêm trong Cài đặt → Nguồn AI.",
         "No Gemini API key yet. Add it in Settings → AI source."},
        {"noKey grok", msg(TranslateError::noKey(AISource::grok)),
         "Chưa có API key Grok (x.test). Thêm trong Cài đặt → Nguồn AI.",
         "No Grok (x.test) key yet. Add it in Settings → AI source."},
        {"badKey deepseek", msg(TranslateError::badKey(AISource::deepseek)),
         "API key DeepSeek API bị từ chối. Kiểm tra lại trong Cài đặt.",
         "DeepSeek API rejected the key. Check it in Settings."},
        {"apiFailed gemini", msg(TranslateError::apiFailed(AISource::gemini, "429 · quota")),
         "Gemini API lỗi: 429 · quota", "Gemini API error: 429 · quota"},
        {"apiFailed chatgpt", msg(TranslateError::apiFailed(AISource::chatgpt, "")),
         "ChatGPT lỗi: ", "ChatGPT error: "},
        {"needLogin chatgpt", msg(TranslateError::needLogin(AISource::chatgpt)),
         "Chưa đăng nhập ChatGPT. Đăng nhập trong Cài đặt → Nguồn AI.",
         "Not signed in to ChatGPT. Sign in under Settings → AI source."},
        {"needLogin grok", msg(TranslateError::needLogin(AISource::grok)),
         "Chưa đăng nhập Grok (x.test). Đăng nhập trong Cài đặt → Nguồn AI.",
         "Not signed in to Grok (x.test). Sign in under Settings → AI source."},
        {"signedOut", msg(TranslateError::signedOut()),
         "Dịch dùng tài khoản Grok (x.test) của bạn, như phần nghe. Đăng nhập một lần là dùng được.",
         "Translation uses your Grok (x.test) account, like read-aloud. Sign in once."},
        {"unreachable", msg(TranslateError::unreachable()), "Không kết nối được dịch vụ AI — thử lại",
         "Can't reach the AI service — try again"},
        {"tooLong", msg(TranslateError::tooLong()), "Đoạn quá dài (tối đa 15.000 ký tự)",
         "Too long (15,000 characters max)"},
        {"failed", msg(TranslateError::failed()), "Không dịch được đoạn này", "Couldn't translate this"},
    });
}

TEST_F(AppStringsMessages, ThrownErrors) {
    auto thrown = [](std::exception_ptr e) { return [e] { return AppStrings::translateMessage(e); }; };
    check({
        {"thrown TranslateError", thrown(std::make_exception_ptr(TranslateError::tooLong())),
         "Đoạn quá dài (tối đa 15.000 ký tự)", "Too long (15,000 characters max)"},
        {"other exception", thrown(std::make_exception_ptr(std::runtime_error("cancelled"))),
         "Không dịch được đoạn này", "Couldn't translate this"},
        {"not an exception", thrown(std::make_exception_ptr(42)), "Không dịch được đoạn này",
         "Couldn't translate this"},
        {"nothing", thrown(nullptr), "Không dịch được đoạn này", "Couldn't translate this"},
    });
}

TEST_F(AppStringsMessages, MenuTooltips) {
    useConfiguredNames();
    check({
        {"update", [] { return AppStrings::menuTooltipUpdate("2.1.0"); },
         "Veska — có bản mới 2.1.0, bấm để cập nhật", "Veska — 2.1.0 available, click to update"},
        {"needs setup", [] { return AppStrings::menuTooltipNeedsSetup(3); },
         "Thiếu 3 quyền — mở để thiết lập", "3 permission(s) missing — open to set up"},
        {"sign in chatgpt", [] { return AppStrings::menuTooltipSignIn("chatgpt_web"); },
         "Veska — chưa đăng nhập ChatGPT", "Veska — not signed in to ChatGPT"},
        {"sign in claude", [] { return AppStrings::menuTooltipSignIn("claude_web"); },
         "Veska — chưa đăng nhập Claude Web", "Veska — not signed in to Claude Web"},
        {"sign in unknown provider", [] { return AppStrings::menuTooltipSignIn("ChatGPT_web"); },
         "Veska — chưa đăng nhập Claude Web", "Veska — not signed in to Claude Web"},
    });
}

TEST_F(AppStringsMessages, ModesAndPermissions) {
    check({
        {"normal", [] { return AppStrings::modeName(WriteMode::normal); }, "Thường", "Normal"},
        {"prompt", [] { return AppStrings::modeName(WriteMode::prompt); }, "Viết prompt", "Prompt"},
        {"email", [] { return AppStrings::modeName(WriteMode::email); }, "Viết email", "Email"},
        {"progress", [] { return AppStrings::permsProgress(2, 4); }, "2 / 4 hoàn tất", "2 of 4 done"},
        {"progress large", [] { return AppStrings::permsProgress(1000, 12000); }, "1000 / 12000 hoàn tất",
         "1000 of 12000 done"},
        {"summary ready", [] { return AppStrings::permsSummary(0); }, "Đã sẵn sàng — nhấn fn để nói",
         "Ready — tap fn to speak"},
        {"summary one", [] { return AppStrings::permsSummary(1); }, "Còn thiếu 1 quyền", "1 still missing"},
        {"fixing normal", [] { return AppStrings::hudFixing(WriteMode::normal); }, "AI đang sửa…",
         "AI is fixing…"},
        {"fixing prompt", [] { return AppStrings::hudFixing(WriteMode::prompt); }, "AI đang viết…",
         "AI is writing…"},
        {"fixing email", [] { return AppStrings::hudFixing(WriteMode::email); }, "AI đang viết…",
         "AI is writing…"},
    });
}

TEST_F(AppStringsMessages, PopoverHudAndUpdates) {
    check({
        {"voice sample", [] { return AppStrings::voiceSample("Ara"); },
         "Xin chào, mình là Ara. Bôi đen đoạn bất kỳ rồi chạm đôi Option để nghe.",
         "Hi, I'm Ara. Highlight any text and double-tap Option to listen."},
        {"notice title", [] { return AppStrings::updateNoticeTitle("2.1.0"); }, "Veska 2.1.0 đã có",
         "Veska 2.1.0 is available"},
        {"footer", [] { return AppStrings::popoverFooter("2.0.3"); }, "Veska 2.0.3 · miễn phí",
         "Veska 2.0.3 · free"},
        {"update available", [] { return AppStrings::updateAvailable("2.1.0"); }, "Có bản mới 2.1.0",
         "Update 2.1.0 available"},
        {"inserted", [] { return AppStrings::hudInsertedInto("Ghi chú"); }, "Đã chèn vào Ghi chú",
         "Inserted into Ghi chú"},
        {"read detail", [] { return AppStrings::popoverReadDetail("Eve"); },
         "Chạm đôi Option · giọng Eve · Grok", "Double-tap Option · Eve voice · Grok"},
        {"translate detail", [] { return AppStrings::popoverTranslateDetail(); },
         "Chạm đôi Control · dịch bằng AI (Grok (x.ai))",
         "Double-tap Control · AI translation (Grok (x.ai))"},
    });
}

TEST_F(AppStringsMessages, UpdateDownloadingPercentIsTruncated) {
    auto downloading = [](std::optional<double> f) {
        return [f] { return AppStrings::updateDownloading(f); };
    };
    check({
        {"no fraction", downloading(std::nullopt), "Đang tải…", "Downloading…"},
        {"zero", downloading(0.0), "Đang tải…", "Downloading…"},
        {"negative", downloading(-0.5), "Đang tải…", "Downloading…"},
        {"not a number", downloading(std::nan("")), "Đang tải…", "Downloading…"},
        {"0.425", downloading(0.425), "Đang tải… 42%", "Downloading… 42%"},
        {"0.999", downloading(0.999), "Đang tải… 99%", "Downloading… 99%"},
        {"tiny", downloading(0.004), "Đang tải… 0%", "Downloading… 0%"},
        {"whole", downloading(1.0), "Đang tải… 100%", "Downloading… 100%"},
        {"past the end", downloading(std::numeric_limits<double>::infinity()), "Đang tải… 100%",
         "Downloading… 100%"},
    });
}

TEST_F(AppStringsMessages, StatusLine) {
    useConfiguredNames();
    auto line = [](bool ready, std::string provider, std::optional<std::string> email, int missing) {
        return [=] { return AppStrings::statusLine(ready, provider, email, missing); };
    };
    check({
        {"chatgpt not ready", line(false, "chatgpt_web", std::nullopt, 0), "Chưa đăng nhập ChatGPT",
         "Not signed in to ChatGPT"},
        {"claude not ready beats permissions", line(false, "claude_web", "a@b.vn", 2),
         "Chưa đăng nhập Claude Web", "Not signed in to Claude Web"},
        {"missing permissions", line(true, "claude_web", "a@b.vn", 2), "Thiếu 2 quyền macOS",
         "2 macOS permission(s) missing"},
        {"ready with email", line(true, "chatgpt_web", "me@x.vn", 0), "ChatGPT · me@x.vn",
         "ChatGPT · me@x.vn"},
        {"ready, empty email", line(true, "claude_web", "", 0), "Claude Web", "Claude Web"},
        {"ready, unknown provider", line(true, "", std::nullopt, 0), "Claude Web", "Claude Web"},
    });
}

TEST_F(AppStringsMessages, DefaultServiceNamesAppearInMessages) {
    useLocale(Locale::en);
    EXPECT_EQ(AppStrings::menuTooltipSignIn("claude_web"), "Veska — not signed in to claude.ai");
    EXPECT_EQ(AppStrings::translateMessage(TranslateError::signedOut()),
              "Translation uses your Grok (x.ai) account, like read-aloud. Sign in once.");
}

}  // namespace
}  // namespace veska
