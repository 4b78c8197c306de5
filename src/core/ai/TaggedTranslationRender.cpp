// render, indented, paragraphs and split.
#include "core/ai/TaggedTranslationRender.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <map>
#include <vector>

#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

std::string joined(std::span<const std::string> parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

// Builds one line from its segments; false when a segment has no result yet.
bool buildLine(std::span<const std::size_t> indexes, std::span<const Segment> segments,
               const Results& results, std::string_view join, std::string& text) {
    for (std::size_t index : indexes) {
        auto entry = results.find(index);
        if (entry == results.end()) return false;
        if (entry->second.empty()) continue;
        if (!text.empty()) text += segments[index].glue ? std::string_view(*segments[index].glue) : join;
        text += entry->second;
    }
    return true;
}

bool startsUnbroken(std::string_view line) {
    std::string_view rest = line.substr(text::leadingBlanks(line).size());
    if (rest.starts_with("- ") || rest.starts_with("#")) return true;
    if (rest.empty()) return false;
    int32_t at = 0;
    UChar32 c = 0;
    U8_NEXT(rest.data(), at, static_cast<int32_t>(rest.size()), c);
    return c >= 0 && u_getNumericValue(c) != U_NO_NUMERIC_VALUE;
}

// Full-width stops end a sentence even when no space follows.
bool isWideStop(std::string_view character) {
    return character == "。" || character == "！" || character == "？";
}

bool isStop(std::string_view character) {
    return character == "." || character == "!" || character == "?" || isWideStop(character);
}

}  // namespace

std::string indented(std::string_view line, std::string_view text) {
    std::string out(text::leadingBlanks(line));
    out += text;
    if (text.find('\n') == std::string_view::npos) out += text::trailingBlanks(line);
    return out;
}

std::string render(std::span<const std::string> lines, std::span<const Segment> segments,
                   const Results& results, std::string_view join, std::optional<std::string_view> loose,
                   const Tag& mark) {
    std::map<std::size_t, std::vector<std::size_t>> byLine;
    for (std::size_t index = 0; index < segments.size(); ++index)
        byLine[segments[index].line].push_back(index);
    std::vector<std::string> out;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        auto group = byLine.find(line);
        if (group == byLine.end()) {
            out.push_back(lines[line]);
            continue;
        }
        std::string text;
        bool complete = buildLine(group->second, segments, results, join, text);
        if (!complete) {
            if (!text.empty()) out.push_back(indented(lines[line], text));
            break;
        }
        out.push_back(text.empty() ? std::string() : indented(lines[line], text));
    }
    bool nothing = std::all_of(out.begin(), out.end(), [](const std::string& l) { return l.empty(); });
    if (loose && nothing) return std::string(text::trimmedOf(text::trimmed(mark.stripped(*loose)), "\r\n"));
    return std::string(text::trimmedOf(joined(out, "\n"), "\r\n"));
}

std::string paragraphs(std::string_view text) {
    std::vector<std::string> out;
    for (std::string_view line : text::splitAt(text, "\n")) {
        if (line.find(paragraphMark) == std::string_view::npos) {
            out.push_back(split(line));
            continue;
        }
        std::vector<std::string> parts;
        for (std::string_view part : text::splitAt(line, paragraphMark))
            parts.emplace_back(text::trimmedBlanks(part));
        out.push_back(joined(parts, "\n\n"));
    }
    return joined(out, "\n");
}

namespace {

// True when `text` begins with a mark that a space before it would carry (the two would make
// one character); only the first code point decides.
bool joinsSpace(std::string_view text) {
    if (text.empty()) return false;
    int32_t end = 0;
    UChar32 first = 0;
    U8_NEXT(text.data(), end, static_cast<int32_t>(text.size()), first);
    return text::characterCount(" " + std::string(text.substr(0, static_cast<std::size_t>(end)))) == 1;
}

std::vector<std::string> sentencesOf(std::string_view line) {
    std::vector<std::size_t> bounds = text::characterBounds(line);
    std::vector<std::string> out;
    std::string buffer;
    for (std::size_t i = 1; i < bounds.size(); ++i) {
        std::string_view character = line.substr(bounds[i - 1], bounds[i] - bounds[i - 1]);
        buffer += character;
        bool atEnd = i + 1 == bounds.size();
        bool spaceFollows = !atEnd && (line[bounds[i]] == ' ' || line[bounds[i]] == '\t');
        if (isWideStop(character) || (isStop(character) && (atEnd || spaceFollows))) {
            out.emplace_back(text::trimmedBlanks(buffer));
            buffer.clear();
        }
    }
    if (!text::trimmedBlanks(buffer).empty()) out.emplace_back(text::trimmedBlanks(buffer));
    return out;
}

}  // namespace

std::string split(std::string_view line, std::size_t over, std::size_t target) {
    // A line of at most `over` bytes cannot hold more characters than that: no need to count.
    if (line.size() <= over || text::characterCount(line) <= over || startsUnbroken(line))
        return std::string(line);
    std::vector<std::string> found = sentencesOf(line);
    if (found.size() <= 2) return std::string(line);
    std::vector<std::string> groups;
    std::string current;
    // Counted as the group grows (a text never joins the character before a space), so that a
    // long line costs one pass rather than one per sentence.
    std::size_t currentCount = 0;
    for (const std::string& sentence : found) {
        const std::size_t sentenceCount = text::characterCount(sentence);
        if (!current.empty() && currentCount + sentenceCount > target) {
            groups.push_back(std::move(current));
            current.clear();
            currentCount = 0;
        }
        if (current.empty()) {
            currentCount = sentenceCount;
        } else {
            current += ' ';
            currentCount += sentenceCount + (joinsSpace(sentence) ? 0 : 1);
        }
        current += sentence;
    }
    if (!current.empty()) groups.push_back(std::move(current));
    return joined(groups, "\n\n");
}

}  // namespace veska::Translator
