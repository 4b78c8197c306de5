// Terminal widths, safe text and in-place rewriting.
#include "main/cli/TerminalView.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <vector>

namespace veska::cli {

namespace {

constexpr int kTabStop = 8;

int charWidth(UChar32 c) {
    if (c < 0) return 1;
    const auto type = static_cast<UCharCategory>(u_charType(c));
    if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR) return 0;
    const int east = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    return east == U_EA_WIDE || east == U_EA_FULLWIDTH ? 2 : 1;
}

bool isControl(UChar32 c) {
    return (c >= 0 && c < 0x20) || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return lines;
        start = end + 1;
    }
}

int lineRows(std::string_view line, int columns) {
    const int width = displayWidth(line);
    return width == 0 ? 1 : (width + columns - 1) / columns;
}

}  // namespace

int displayWidth(std::string_view line) {
    int width = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
    const auto length = static_cast<int32_t>(line.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c == '\t') {
            width = (width / kTabStop + 1) * kTabStop;
            continue;
        }
        width += charWidth(c);
    }
    return width;
}

int rowsOf(std::string_view text, int columns) {
    columns = std::max(columns, 1);
    int rows = 0;
    for (auto line : linesOf(text)) rows += lineRows(line, columns);
    return rows;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c == '\r') continue;
        if (c < 0 || (isControl(c) && c != '\n' && c != '\t')) {
            out += "\xEF\xBF\xBD";
            continue;
        }
        out.append(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
    return out;
}

std::string lastRows(std::string_view text, int columns, int maxRows) {
    columns = std::max(columns, 1);
    const auto lines = linesOf(text);
    int rows = 0;
    std::size_t first = lines.size();
    while (first > 0) {
        const int need = lineRows(lines[first - 1], columns);
        if (rows + need > maxRows && first < lines.size()) break;
        rows += need;
        --first;
    }
    std::string out;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (i > first) out += '\n';
        out += lines[i];
    }
    return out;
}

TerminalView::TerminalView(std::FILE* out, int columns, int rows)
    : out_(out), columns_(std::max(columns, 1)), rows_(std::max(rows, 2)) {}

void TerminalView::clear() {
    if (shownRows_ == 0) return;
    // Back to the first column of the first row shown, and erase from there down.
    std::fputs("\r", out_);
    if (shownRows_ > 1) std::fprintf(out_, "\x1b[%dA", shownRows_ - 1);
    std::fputs("\x1b[J", out_);
    shownRows_ = 0;
}

void TerminalView::show(std::string_view text) {
    // Only what fits on the screen can be rewritten in place.
    const std::string shown = lastRows(printable(text), columns_, rows_ - 1);
    clear();
    std::fputs(shown.c_str(), out_);
    std::fflush(out_);
    shownRows_ = rowsOf(shown, columns_);
}

void TerminalView::finish(std::string_view text) {
    clear();
    std::string shown = printable(text);
    if (shown.empty() || shown.back() != '\n') shown += '\n';
    std::fputs(shown.c_str(), out_);
    std::fflush(out_);
}

}  // namespace veska::cli
