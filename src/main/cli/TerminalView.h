// Showing a text that grows on a terminal, rewritten in place as it changes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace veska::cli {

/// Columns a UTF-8 text takes on a terminal: wide and full-width characters take two, combining
/// marks and zero-width characters none, a tab moves to the next multiple of eight.
[[nodiscard]] int displayWidth(std::string_view line);

/// Terminal rows `text` fills in `columns` columns (at least one). A line exactly as wide as the
/// terminal leaves the cursor on its own row.
[[nodiscard]] int rowsOf(std::string_view text, int columns);

/// The text as it may go to a terminal: control characters other than line feed and tab
/// (escape sequences of a hostile answer included) become U+FFFD, and carriage returns go.
[[nodiscard]] std::string printable(std::string_view text);

/// The end of `text` that fits in `maxRows` rows of `columns` columns, cut at a line start.
[[nodiscard]] std::string lastRows(std::string_view text, int columns, int maxRows);

/// Owns the rows below the cursor's starting point: `show` replaces what it showed before with
/// a new text, `finish` leaves the final text and a new line. Writes nothing else.
class TerminalView {
public:
    TerminalView(std::FILE* out, int columns, int rows);

    void show(std::string_view text);
    void finish(std::string_view text);

private:
    void clear();

    std::FILE* out_;
    int columns_;
    int rows_;
    int shownRows_ = 0;
};

}  // namespace veska::cli
