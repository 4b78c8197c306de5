// The adapter side of an HTTP transfer: head outcomes, cancellation, flow control, checks.
#include <gtest/gtest.h>

#include "ports/HttpClient.h"
#include "runtime/VirtualLoop.h"

namespace veska::ports {
namespace {

rt::Task<int> headStatus(std::shared_ptr<HttpTransfer> transfer) {
    HttpHead head = co_await transfer->head().wait();
    co_return head.status;
}

rt::Task<std::size_t> drain(HttpBody* body) {
    std::size_t total = 0;
    while (true) {
        std::optional<std::string> chunk = co_await body->nextChunk();
        if (!chunk) co_return total;
        total += chunk->size();
    }
}

TEST(HttpTransfer, HowTheHeadEnds) {
    struct Row {
        const char* name;
        std::function<void(HttpTransfer&)> act;
        std::optional<HttpErrorKind> failure;
    };
    const std::vector<Row> rows = {
        {"head", [](HttpTransfer& t) { t.deliverHead({204, {}, "u"}); }, std::nullopt},
        {"error", [](HttpTransfer& t) { t.deliverError(HttpErrorKind::tls); }, HttpErrorKind::tls},
        {"end before head", [](HttpTransfer& t) { t.deliverEnd(); }, HttpErrorKind::badResponse},
        {"cancel", [](HttpTransfer& t) { t.cancel(); }, HttpErrorKind::cancelled},
        {"head after error",
         [](HttpTransfer& t) {
             t.deliverError(HttpErrorKind::network);
             t.deliverHead({200, {}, "u"});
         },
         HttpErrorKind::network},
    };
    for (const auto& row : rows) {
        rt::VirtualLoop loop;
        auto transfer = std::make_shared<HttpTransfer>();
        row.act(*transfer);
        auto handle = rt::spawn(loop.main(), headStatus(transfer));
        loop.runUntilIdle();
        ASSERT_TRUE(handle.done()) << row.name;
        if (!row.failure) {
            EXPECT_EQ(handle.take(), 204) << row.name;
            continue;
        }
        try {
            handle.take();
            ADD_FAILURE() << row.name << " gave a head";
        } catch (const HttpError& error) {
            EXPECT_EQ(error.kind(), *row.failure) << row.name;
        }
    }
}

TEST(HttpTransfer, AbortRunsOnceEvenWhenRegisteredLate) {
    auto early = std::make_shared<HttpTransfer>();
    int earlyAborts = 0;
    early->onAbort([&] { ++earlyAborts; });
    early->cancel();
    early->cancel();
    EXPECT_EQ(earlyAborts, 1);

    auto late = std::make_shared<HttpTransfer>();
    late->cancel();
    int lateAborts = 0;
    late->onAbort([&] { ++lateAborts; });
    EXPECT_EQ(lateAborts, 1) << "an adapter that registers after the cancel still hears of it";
    EXPECT_TRUE(late->cancelled());
}

TEST(HttpTransfer, AReaderThatFallsBehindPausesAndThenResumesTheAdapter) {
    rt::VirtualLoop loop;
    auto transfer = std::make_shared<HttpTransfer>();
    int resumes = 0;
    transfer->onDrained([&] { ++resumes; });
    transfer->deliverHead({200, {}, "u"});
    const std::string megabyte(1024 * 1024, 'x');
    for (int i = 0; i < 5; ++i) transfer->deliverChunk(megabyte);
    EXPECT_GT(transfer->bufferedBytes(), kPauseBufferedBytes);
    transfer->deliverEnd();
    HttpBody body(transfer);
    EXPECT_EQ(loop.run(drain(&body)), 5u * megabyte.size());
    EXPECT_EQ(transfer->bufferedBytes(), 0u);
    EXPECT_EQ(resumes, 1) << "one resume once the buffer fell to the low mark";
}

TEST(HttpTransfer, ContentLengthIsReadOnlyWhenWellFormed) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> rows = {
        {"0", 0}, {"5000", 5000}, {"18446744073709551", 18446744073709551ULL}, {"", std::nullopt},
        {"12a", std::nullopt}, {"-1", std::nullopt}, {" 12", std::nullopt}, {"99999999999999999999", std::nullopt},
    };
    for (const auto& [text, expected] : rows) {
        HttpResponse response;
        response.headers.add("content-length", text);
        EXPECT_EQ(response.contentLength(), expected) << "\"" << text << "\"";
    }
    EXPECT_EQ(HttpResponse{}.contentLength(), std::nullopt);
}

TEST(HttpTransfer, HeaderFieldsThatCouldSplitARequestAreInvalid) {
    const std::vector<std::tuple<std::string, std::string, bool>> rows = {
        {"Authorization", "Bearer abc", true}, {"x-goog-api-key", "k", true}, {"Cookie", "a=1; b=2", true},
        {"Empty-Value", "", true},             {"", "v", false},            {"Bad Name", "v", false},
        {"Bad:Name", "v", false},              {"X", "a\r\nY: 1", false},   {"X", "a\nb", false},
        {"X", std::string("a\0b", 3), false},  {"Ünicode", "v", false},     {"X", "tiếng Việt", true},
    };
    for (const auto& [name, value, valid] : rows) EXPECT_EQ(isValidHeaderField(name, value), valid) << name;
}

}  // namespace
}  // namespace veska::ports
