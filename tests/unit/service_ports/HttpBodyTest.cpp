// The HTTP body reader: lines however the pieces cut them, limits, failures after data.
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include "ports/HttpBody.h"
#include "runtime/VirtualLoop.h"

namespace veska::ports {
namespace {

rt::Task<std::vector<std::string>> allLines(HttpBody* body) {
    std::vector<std::string> lines;
    while (true) {
        std::optional<std::string> line = co_await body->nextLine();
        if (!line) co_return lines;
        lines.push_back(*line);
    }
}

/// A transfer that has delivered `pieces` and, unless `open`, its end.
std::shared_ptr<HttpTransfer> delivered(const std::vector<std::string>& pieces, bool open = false) {
    auto transfer = std::make_shared<HttpTransfer>();
    transfer->deliverHead(HttpHead{200, {}, "http://x.test/"});
    for (const auto& piece : pieces) transfer->deliverChunk(piece);
    if (!open) transfer->deliverEnd();
    return transfer;
}

/// Lines as the port defines them: ended by LF, CRLF or CR; a last unended line counts.
std::vector<std::string> referenceLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            current += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(current);
        current.clear();
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

TEST(HttpBody, LinesDoNotDependOnWhereThePiecesAreCut) {
    rc::check([](const std::vector<int>& symbols, const std::vector<unsigned>& cuts) {
        static const std::string kAlphabet[] = {"a", "b", "\r", "\n", "\xc3\xa9", " "};
        std::string text;
        for (int s : symbols) text += kAlphabet[static_cast<unsigned>(s) % 6];
        std::vector<std::string> pieces;
        std::size_t at = 0;
        for (unsigned cut : cuts) {
            if (at >= text.size()) break;
            const std::size_t size = 1 + cut % (text.size() - at);
            pieces.push_back(text.substr(at, size));
            at += size;
        }
        if (at < text.size()) pieces.push_back(text.substr(at));
        rt::VirtualLoop loop;
        HttpBody body(delivered(pieces));
        RC_ASSERT(loop.run(allLines(&body)) == referenceLines(text));
    });
}

rt::Task<void> collect(HttpBody* body, std::vector<std::string>* lines) {
    while (true) {
        std::optional<std::string> line = co_await body->nextLine();
        if (!line) co_return;
        lines->push_back(*line);
    }
}

TEST(HttpBody, EachLineIsHandedOutAsSoonAsItIsComplete) {
    rt::VirtualLoop loop;
    auto transfer = delivered({"first line\nsecond "}, true);
    HttpBody body(transfer);
    std::vector<std::string> lines;
    auto reading = rt::spawn(loop.main(), collect(&body, &lines));
    rt::Timer one = loop.main().postAfter(1.0, [transfer] { transfer->deliverChunk("half\r"); });
    rt::Timer two = loop.main().postAfter(2.0, [transfer] { transfer->deliverChunk("\nlast"); });
    rt::Timer three = loop.main().postAfter(3.0, [transfer] { transfer->deliverEnd(); });
    loop.runFor(0.5);
    EXPECT_EQ(lines, (std::vector<std::string>{"first line"}));
    loop.runFor(1.0);
    EXPECT_EQ(lines.size(), 1u) << "a CR at the end of a piece may be the first half of a CRLF";
    loop.runFor(1.0);
    EXPECT_EQ(lines, (std::vector<std::string>{"first line", "second half"}));
    EXPECT_FALSE(reading.done());
    loop.runFor(1.0);
    EXPECT_TRUE(reading.done());
    EXPECT_EQ(lines, (std::vector<std::string>{"first line", "second half", "last"}));
}

rt::Task<std::pair<std::vector<std::string>, std::optional<HttpErrorKind>>> chunksUntilError(HttpBody* body) {
    std::vector<std::string> chunks;
    try {
        while (true) {
            std::optional<std::string> chunk = co_await body->nextChunk();
            if (!chunk) break;
            chunks.push_back(*chunk);
        }
    } catch (const HttpError& error) {
        co_return std::make_pair(chunks, std::optional<HttpErrorKind>(error.kind()));
    }
    co_return std::make_pair(chunks, std::optional<HttpErrorKind>());
}

rt::Task<std::string> lineThenRest(HttpBody* body) {
    std::optional<std::string> line = co_await body->nextLine();
    std::optional<std::string> rest = co_await body->nextChunk();
    co_return *line + "|" + rest.value_or("<end>");
}

TEST(HttpBody, DataBeforeAFailureIsHandedOutBeforeTheFailure) {
    rt::VirtualLoop loop;
    auto transfer = delivered({"abc", "def"}, true);
    transfer->deliverError(HttpErrorKind::network);
    HttpBody body(transfer);
    auto [chunks, failure] = loop.run(chunksUntilError(&body));
    EXPECT_EQ(chunks, (std::vector<std::string>{"abc", "def"}));
    EXPECT_EQ(failure, HttpErrorKind::network);
    auto again = loop.run(chunksUntilError(&body));
    EXPECT_TRUE(again.first.empty());
    EXPECT_EQ(again.second, HttpErrorKind::network) << "every read after a failure fails the same way";
}

TEST(HttpBody, AChunkAfterALineIsTheRestOfItsPiece) {
    rt::VirtualLoop loop;
    HttpBody body(delivered({"one\ntwo", "three"}));
    EXPECT_EQ(loop.run(lineThenRest(&body)), "one|two");
    HttpBody whole(delivered({"only\n"}));
    EXPECT_EQ(loop.run(lineThenRest(&whole)), "only|<end>");
}

rt::Task<HttpBodyText> readAll(HttpBody* body, std::size_t limit) {
    HttpBodyText text = co_await body->readAll(limit);
    co_return text;
}

TEST(HttpBody, ReadAllLimitBoundaries) {
    struct Row {
        std::vector<std::string> pieces;
        std::size_t limit;
        std::string bytes;
        bool truncated;
    };
    const std::vector<Row> rows = {
        {{"4000"}, 4, "4000", false},     {{"40001"}, 4, "4000", true},  {{"ab", "cd", "e"}, 5, "abcde", false},
        {{"ab", "cd", "ef"}, 5, "abcde", true}, {{}, 0, "", false},        {{"x"}, 0, "", true},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rt::VirtualLoop loop;
        auto transfer = delivered(rows[i].pieces, rows[i].truncated);  // a long body may still be arriving
        int aborts = 0;
        transfer->onAbort([&] { ++aborts; });
        HttpBody body(transfer);
        HttpBodyText text = loop.run(readAll(&body, rows[i].limit));
        EXPECT_EQ(text.bytes, rows[i].bytes) << "row " << i;
        EXPECT_EQ(text.truncated, rows[i].truncated) << "row " << i;
        EXPECT_EQ(aborts, rows[i].truncated ? 1 : 0) << "row " << i << ": a cut body stops its transfer";
    }
}

TEST(HttpBody, DroppingAnUnfinishedBodyAbortsItsTransferOnce) {
    struct Row {
        bool ended;
        int aborts;
    };
    for (const Row row : {Row{false, 1}, Row{true, 0}}) {
        auto transfer = delivered({"partial"}, !row.ended);
        int aborts = 0;
        transfer->onAbort([&] { ++aborts; });
        {
            HttpBody body(transfer);
            HttpBody moved(std::move(body));
        }
        EXPECT_EQ(aborts, row.aborts) << (row.ended ? "ended" : "open");
        EXPECT_FALSE(transfer->deliverChunk("late")) << "nothing is accepted after the reader let go";
    }
}

}  // namespace
}  // namespace veska::ports
