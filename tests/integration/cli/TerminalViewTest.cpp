// Widths, rows and in-place rewriting of the terminal view.
#include <gtest/gtest.h>

#include <cstdio>

#include "main/cli/TerminalView.h"

namespace veska::cli {

TEST(TerminalView, WidthsAndRowsFollowWhatTheTerminalShows) {
    struct Row {
        std::string text;
        int columns;
        int width;  // of the first line
        int rows;
    };
    const std::vector<Row> rows = {
        {"", 10, 0, 1},
        {"abc", 10, 3, 1},
        {"0123456789", 10, 10, 1},  // exactly full: the cursor stays on the row
        {"0123456789x", 10, 11, 2},
        {"a\nb\n", 10, 1, 3},
        {"Tiếng Việt", 10, 10, 1},           // precomposed letters are one column each
        {"Vie\xCC\x82\xCC\x81t", 10, 4, 1},  // combining marks take none
        {"日本語", 5, 6, 2},                 // wide characters take two
        {"a\tb", 20, 9, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(displayWidth(row.text.substr(0, row.text.find('\n'))), row.width) << row.text;
        EXPECT_EQ(rowsOf(row.text, row.columns), row.rows) << row.text;
    }
}

TEST(TerminalView, ControlCharactersAreMadeVisibleAndLongTextsShowTheirEnd) {
    EXPECT_EQ(printable("a\x1b[2Jb\r\nc\td\x07"), "a\xEF\xBF\xBD[2Jb\nc\td\xEF\xBF\xBD");
    EXPECT_EQ(printable("bad \xC3 byte"), "bad \xEF\xBF\xBD byte");
    EXPECT_EQ(lastRows("1\n2\n3\n4", 10, 2), "3\n4");
    EXPECT_EQ(lastRows("short\n0123456789abcdefghij", 10, 2), "0123456789abcdefghij");
    EXPECT_EQ(lastRows("0123456789abcdefghijXYZ", 10, 2), "0123456789abcdefghijXYZ")
        << "one line is never cut";
}

TEST(TerminalView, EachShowErasesExactlyTheRowsShownBefore) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    {
        TerminalView view(out, 10, 24);
        view.show("Xin");
        view.show("Xin chào\nthế giới bạn ơi");  // 1 + 2 rows
        view.finish("Done");
    }
    std::fclose(out);
    const std::string written(buffer, size);
    std::free(buffer);
    EXPECT_EQ(written, "Xin\r\x1b[JXin chào\nthế giới bạn ơi\r\x1b[2A\x1b[JDone\n");
}

}  // namespace veska::cli
