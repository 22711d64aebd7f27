#include "sceneread/text_parser.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "common/ase_signature.h"
#include "common/c_number.h"
#include "common/input_error.h"
#include "common/text_encoding.h"

namespace sceneread {

using common::isDigit;
using common::reportError;

namespace {

// First CR or LF in [p, end), or end. Sixteen bytes at a time: this search is
// most of the cost of skipping the lines no lookup wants.
const char* findLineEnd(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (p != end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// The first line feed in [p, end) followed by `prefix` inside it. The
// prefix's first byte right after a line feed is rare in an export (its lines
// are indented), so the pairs are found sixteen bytes at a time.
const char* findLineFeedBefore(const char* p, const char* end, std::string_view prefix) {
    const auto matchesAt = [&](const char* at) {
        return static_cast<size_t>(end - at) > prefix.size() && std::memcmp(at + 1, prefix.data(), prefix.size()) == 0;
    };
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i next = _mm_set1_epi8(prefix[0]);
    for (; end - p >= 17; p += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lf), _mm_cmpeq_epi8(after, next))));
        for (; mask != 0; mask &= mask - 1)
            if (const char* at = p + __builtin_ctz(mask); matchesAt(at)) return at;
    }
#endif
    for (; p != end; ++p)
        if (*p == '\n' && matchesAt(p)) return p;
    return nullptr;
}

bool hasBlank(std::string_view keyword) { return keyword.find_first_of(" \t\"") != std::string_view::npos; }

size_t skipBlanks(std::string_view line, size_t from) {
    while (from < line.size() && line[from] == ' ') ++from;
    return from;
}

// The keywords and labels compared per line are a few bytes long: plain
// loops, where the library would make a call for each comparison.
bool holdsAt(std::string_view line, size_t at, std::string_view word) {
    if (at > line.size() || line.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (line[at + i] != word[i]) return false;
    return true;
}

size_t findFrom(std::string_view line, std::string_view word, size_t from) {
    if (word.empty()) return from <= line.size() ? from : std::string_view::npos;
    for (size_t at = from; at + word.size() <= line.size(); ++at) {
        const void* hit = std::memchr(line.data() + at, word[0], line.size() - word.size() + 1 - at);
        if (hit == nullptr) break;
        at = static_cast<size_t>(static_cast<const char*>(hit) - line.data());
        if (holdsAt(line, at, word)) return at;
    }
    return std::string_view::npos;
}

}  // namespace

long keywordPosition(std::string_view line, std::string_view keyword) {
    if (keyword.size() > line.size()) return -1;
    if (equalsIgnoreCase(line, keyword)) return 0;
    const size_t at = line.find(keyword);
    return at == std::string_view::npos ? -1 : static_cast<long>(at);
}

namespace {

constexpr std::array<std::string_view, 6> kLabels = {"A:", "B:", "C:", "AB:", "BC:", "CA:"};

// The layout exporters write, "<n>: A: <i> B: <i> C: <i> AB: <i> BC: <i>
// CA: <i>", read in one walk. Its only colons are the face number's and the
// labels', in order, so each label's first occurrence is the one met here.
// Returns where the walk ended, or 0 when the line has any other shape.
size_t canonicalLabelWords(std::string_view line, std::array<std::optional<std::string_view>, 6>& words) {
    const size_t size = line.size();
    size_t i = 0;
    while (i < size && isDigit(line[i])) ++i;
    if (i == 0 || i == size || line[i] != ':') return 0;
    ++i;
    for (size_t k = 0; k < kLabels.size(); ++k) {
        const size_t label = skipBlanks(line, i);
        if (label == i || !holdsAt(line, label, kLabels[k])) return 0;
        const size_t start = skipBlanks(line, label + kLabels[k].size());
        size_t end = start + (start < size && line[start] == '-' ? 1 : 0);
        const size_t digits = end;
        while (end < size && isDigit(line[end])) ++end;
        if (end == digits || (end < size && line[end] != ' ')) return 0;
        words[k] = line.substr(start, end - start);
        i = end;
    }
    return i;
}

}  // namespace

size_t cornerLabelWords(std::string_view line, std::array<std::optional<std::string_view>, 6>& words) {
    if (const size_t end = canonicalLabelWords(line, words); end != 0) return end;
    auto wordFrom = [&](size_t at) {
        const size_t start = skipBlanks(line, at);
        size_t end = start;
        while (end < line.size() && line[end] != ' ') ++end;
        return line.substr(start, end - start);
    };
    unsigned missing = 0x3f;
    for (size_t k = 0; k < kLabels.size(); ++k) {
        words[k].reset();
        // A line that is the label alone, in any case, holds it at 0.
        if (kLabels[k].size() == line.size() && equalsIgnoreCase(line, kLabels[k])) {
            words[k] = wordFrom(line.size());
            missing &= ~(1u << k);
        }
    }
    // Every label ends in a colon: the first occurrence of each is found at
    // the first colon that ends it.
    auto atColon = [&](size_t i) {
        auto take = [&](size_t k, size_t at) {
            if ((missing & (1u << k)) == 0) return;
            words[k] = wordFrom(at + kLabels[k].size());
            missing &= ~(1u << k);
        };
        if (i < 1) return;
        const char last = line[i - 1];
        if (last == 'A' || last == 'B' || last == 'C') take(static_cast<size_t>(last - 'A'), i - 1);
        if (i < 2) return;
        const char first = line[i - 2];
        if (first == 'A' && last == 'B') take(3, i - 2);
        if (first == 'B' && last == 'C') take(4, i - 2);
        if (first == 'C' && last == 'A') take(5, i - 2);
    };
    size_t i = 0;
#ifdef __SSE2__
    const __m128i colon = _mm_set1_epi8(':');
    for (; missing != 0 && i + 16 <= line.size(); i += 16) {
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i)), colon)));
        for (; mask != 0; mask &= mask - 1) atColon(i + static_cast<size_t>(__builtin_ctz(mask)));
    }
#endif
    for (; missing != 0 && i < line.size(); ++i)
        if (line[i] == ':') atColon(i);
    return 0;
}

std::optional<std::string_view> restAfter(std::string_view line, std::string_view keyword) {
    const long at = keywordPosition(line, keyword);
    if (at < 0) return std::nullopt;
    return line.substr(skipBlanks(line, static_cast<size_t>(at) + keyword.size()));
}

std::optional<std::string_view> wordAfter(std::string_view line, std::string_view keyword, size_t from) {
    if (from == 0) return wordAfter(line, keyword);
    const size_t at = findFrom(line, keyword, from);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view rest = line.substr(skipBlanks(line, at + keyword.size()));
    return rest.substr(0, rest.find(' '));
}

std::optional<std::string_view> wordAfter(std::string_view line, std::string_view keyword) {
    auto rest = restAfter(line, keyword);
    if (!rest) return std::nullopt;
    return rest->substr(0, rest->find(' '));
}

std::string_view wordAt(std::string_view line, size_t n) {
    std::string_view word;
    wordsFrom(line, n, std::span(&word, 1));
    return word;
}

void wordsFrom(std::string_view line, size_t first, std::span<std::string_view> words) {
    // Words are a few bytes long: a plain loop beats a library search call.
    size_t i = 0, taken = 0;
    for (size_t word = 1; taken < words.size(); ++word) {
        i = skipBlanks(line, i);
        if (i == line.size()) {
            while (taken < words.size()) words[taken++] = {};
            return;
        }
        size_t end = i;
        while (end < line.size() && line[end] != ' ') ++end;
        if (word >= first) words[taken++] = line.substr(i, end - i);
        i = end;
    }
}

size_t countWords(std::string_view line) {
    size_t words = 0;
    for (size_t i = skipBlanks(line, 0); i < line.size(); i = skipBlanks(line, i)) {
        ++words;
        while (i < line.size() && line[i] != ' ') ++i;
    }
    return words;
}

bool closesBlock(std::string_view line) { return line.find('}') != std::string_view::npos; }

std::string_view stripDirectory(std::string_view path) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos) return path;
    if (!path.empty() && path.back() == '"') path.remove_suffix(1);
    return path.substr(slash + 1);
}

namespace {

constexpr size_t kWindowBytes = size_t{1} << 20;
constexpr size_t kReleaseBytes = size_t{8} << 20;

}  // namespace

TextParser TextParser::overText(std::string_view text) {
    TextParser parser;
    parser.data_ = text.data();
    parser.fileSize_ = text.size();
    parser.end_ = text.size();
    parser.atEnd_ = true;
    parser.loaded_ = !text.empty();
    parser.head_ = text.substr(0, common::kSignatureBytes);
    parser.line_.reserve(kMaxLineBytes + 1);
    return parser;
}

TextParser TextParser::readFile(const std::string& fileName) {
    common::LoadedFile loaded = common::loadTextFile(fileName);
    if (!loaded.ok()) {
        TextParser missing;
        missing.fileName_ = fileName;
        return missing;
    }
    auto text = std::make_unique<std::string>(std::move(loaded.bytes));
    TextParser parser = overText(*text);
    parser.fileName_ = fileName;
    parser.decoded_ = std::move(text);
    return parser;
}

TextParser TextParser::openFile(const std::string& fileName) {
    TextParser parser;
    parser.fileName_ = fileName;
    parser.file_ = common::InputFile(fileName);
    if (!parser.file_.ok() || parser.file_.size() == 0) return parser;
    std::string head(common::kSignatureBytes, '\0');
    const ssize_t got = ::pread(parser.file_.descriptor(), head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<size_t>(got) : 0);
    if (common::detectEncoding(head) != common::TextEncoding::EightBit) {
        // UTF-16 exports are rare and small: decoded whole, then read from memory.
        common::LoadedFile loaded = common::loadTextFile(fileName);
        if (!loaded.ok()) reportError(-1, "Can't read %s!", fileName.c_str());
        auto text = std::make_unique<std::string>(std::move(loaded.bytes));
        TextParser decoded = overText(*text);
        decoded.fileName_ = fileName;
        decoded.decoded_ = std::move(text);
        return decoded;
    }
    parser.fileSize_ = parser.file_.size();
    // A small file (a script, most scenes) gets a window of its own size.
    parser.windowBytes_ =
        static_cast<size_t>(std::min<std::uint64_t>(parser.fileSize_, kWindowBytes)) + kMaxLineBytes + 2;
    parser.window_ = std::make_unique_for_overwrite<char[]>(parser.windowBytes_);
    parser.data_ = parser.window_.get();
    parser.head_ = std::move(head);
    parser.loaded_ = true;
    parser.line_.reserve(kMaxLineBytes + 1);
    return parser;
}

TextParser TextParser::openFileReadingAhead(const std::string& fileName) {
    TextParser parser = openFile(fileName);
    // Below a few windows neither a mapping nor a second thread pays.
    if (parser.window_ == nullptr || parser.fileSize_ <= 4 * kWindowBytes) return parser;
    if (auto mapping = common::MappedFile::map(parser.file_)) {
        TextParser mapped = overText(mapping->bytes());
        mapped.fileName_ = fileName;
        mapped.mapping_ = std::move(mapping);
        return mapped;
    }
    parser.ahead_ = std::make_unique<common::ReadAhead>(std::move(parser.file_));
    return parser;
}

void TextParser::releaseRead() {
    if (mapping_ == nullptr || begin_ <= released_) return;
    mapping_->release(consumed_ + released_, begin_ - released_);
    released_ = begin_;
}

bool TextParser::nextLineStartsWith(std::string_view prefix) {
    if (!loaded_) return false;
    fill(prefix.size());
    return end_ - begin_ >= prefix.size() && std::memcmp(data_ + begin_, prefix.data(), prefix.size()) == 0;
}

TextParser TextParser::openAt(std::uint64_t offset) const {
    assert(hasRanges() && offset >= consumed_);
    TextParser parser;
    const size_t at = static_cast<size_t>(std::min<std::uint64_t>(offset - consumed_, end_));
    parser.data_ = data_ + at;
    parser.end_ = end_ - at;
    parser.atEnd_ = true;
    parser.fileName_ = fileName_;
    parser.mapping_ = mapping_;
    parser.head_ = head_;
    parser.fileSize_ = fileSize_;
    parser.consumed_ = offset;
    parser.loaded_ = true;
    parser.quotesAsBlanks_ = quotesAsBlanks_;
    parser.line_.reserve(kMaxLineBytes + 1);
    return parser;
}

std::optional<std::uint64_t> TextParser::findLineStarting(std::string_view prefix, std::uint64_t from,
                                                          std::uint64_t to) const {
    assert(hasRanges() && from > consumed_ && !prefix.empty());
    to = std::min(to, consumed_ + end_);
    // A megabyte at a time, so that a mapped file's pages go back as they are
    // searched. Each chunk starts at the line feed before its first candidate
    // and ends with the whole prefix of its last.
    for (std::uint64_t at = from; at < to;) {
        const std::uint64_t first = at - 1;
        const size_t want = static_cast<size_t>(std::min<std::uint64_t>(kWindowBytes, to - at) + 1 + prefix.size());
        const auto start = static_cast<size_t>(first - consumed_);
        const std::string_view bytes(data_ + start, std::min(want, end_ - start));
        // Line feeds whose prefix lies wholly in the chunk and that start a
        // line before `to`; the next chunk starts at the last one checked.
        const size_t checked = std::min<size_t>(bytes.size() > prefix.size() ? bytes.size() - prefix.size() : 0,
                                                static_cast<size_t>(to - first));
        if (checked != 0) {
            const size_t searchable = std::min(bytes.size(), checked + 1 + prefix.size());
            const char* hit = findLineFeedBefore(bytes.data(), bytes.data() + searchable, prefix);
            if (hit != nullptr) {
                const auto i = static_cast<size_t>(hit - bytes.data());
                if (mapping_ != nullptr) mapping_->release(first, i);
                if (first + i + 1 < to) return first + i + 1;
                return std::nullopt;
            }
        }
        if (mapping_ != nullptr) mapping_->release(first, checked);
        if (bytes.size() < want || checked == 0) break;
        at = first + checked;
    }
    return std::nullopt;
}

std::uint64_t TextParser::remainingBytes() const {
    const std::uint64_t at = consumed_ + begin_;
    return at < fileSize_ ? fileSize_ - at : 0;
}

void TextParser::fill(size_t bytes) {
    if (end_ - begin_ >= bytes || atEnd_) return;
    std::memmove(window_.get(), window_.get() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    begin_ = 0;
    while (end_ < bytes && !atEnd_) {
        const long got = ahead_ ? ahead_->read(window_.get() + end_, windowBytes_ - end_)
                                : file_.read(window_.get() + end_, windowBytes_ - end_);
        if (got < 0) reportError(-1, "Can't read %s!", fileName_.c_str());
        if (got == 0) atEnd_ = true;
        end_ += static_cast<size_t>(got);
    }
}

bool startsObject(std::string_view line) {
    // Asked of every line inside an object: plain loops, no library calls.
    const size_t start = skipBlanks(line, 0);
    if (start == line.size() || line[start] != '*') return false;
    size_t end = start + 1;
    while (end < line.size() && line[end] != ' ') ++end;
    if (end - start <= 7) return false;
    const char* tail = line.data() + end - 6;
    return tail[0] == 'O' && tail[1] == 'B' && tail[2] == 'J' && tail[3] == 'E' && tail[4] == 'C' && tail[5] == 'T';
}

void TextParser::beginObject(bool stopAtNextObject) {
    // Going back needs the whole text at hand: a streamed file forgets.
    assert(!stopAtNextObject || window_ == nullptr);
    watching_ = true;
    stopAtNextObject_ = stopAtNextObject;
    crossing_ = {};
}

std::optional<TextParser::Crossing> TextParser::endObject() {
    watching_ = false;
    std::optional<Crossing> crossing;
    if (crossing_.line >= 0) crossing = std::move(crossing_);
    crossing_ = {};
    return crossing;
}

bool TextParser::passLine(std::string_view keyword) {
    if (!watching_) return true;
    if (crossing_.line < 0) {
        if (!startsObject(line_)) return true;
        if (stopAtNextObject_) return false;
        crossing_.line = lineNumber_;
        crossing_.keyword = keyword;
    }
    // Past the object's end: collect the names of the objects being passed.
    if (auto name = wordAfter(line_, "*NODE_NAME"); name && !name->empty())
        if (crossing_.passedNames.empty() || crossing_.passedNames.back().name != *name)
            crossing_.passedNames.push_back({std::string(*name), lineNumber_});
    return true;
}

int TextParser::readLine() {
    if (!loaded_) return -1;
    line_.clear();
    // Enough for the longest line, its line end and the byte after it.
    fill(kMaxLineBytes + 2);
    if (begin_ == end_) return 1;

    const char* start = data_ + begin_;
    const char* limit = data_ + std::min(end_, begin_ + kMaxLineBytes + 1);
    size_t length = static_cast<size_t>(findLineEnd(start, limit) - start);
    ++lineNumber_;
    if (length > kMaxLineBytes)
        reportError(lineNumber_, "Line too long (more than %zu bytes)!", kMaxLineBytes);
    size_t next = begin_ + length;
    if (next < end_) {
        ++next;  // CR or LF
        if (next < end_ && data_[next] == '\n') ++next;  // CR LF, LF LF: one line end
    }
    begin_ = next;
    // A mapped file's pages go back several megabytes at a time: each time
    // costs every core a flush of its address cache.
    if (mapping_ != nullptr && begin_ >= released_ + kReleaseBytes) releaseRead();

    const void* nul = std::memchr(start, '\0', length);
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - start);
    line_.resize(length);
    char* out = line_.data();
    const char quote = quotesAsBlanks_ ? '"' : '\t';
    for (size_t i = 0; i < length; ++i) {
        const char c = start[i];
        out[i] = (c == '\t' || c == quote) ? ' ' : c;
    }
    return 0;
}

#ifdef __SSE2__
namespace {

// Whole lines at the start of [p, p + size) holding neither `keyword` (its
// first three bytes, in any letter case, stand for it) nor "OBJ", with the
// line ends readLine sees: CR or LF, one LF after either belonging to it.
struct Skipped {
    size_t bytes = 0;
    long lines = 0;
    bool ranOut = false;  // stopped for want of data, not before a line
};

Skipped skippableLines(const char* p, size_t size, std::string_view keyword) {
    Skipped skipped;
    const char* const start = p;
    const char* const end = p + size;
    const char* lineStart = p;
    const char* absorbed = p;  // line feeds before this belong to a line end
    auto endLines = [&](const char* base, unsigned mask) {
        for (; mask != 0; mask &= mask - 1) {
            const char* at = base + __builtin_ctz(mask);
            if (at < absorbed) continue;
            if (static_cast<size_t>(at - lineStart) > kMaxLineBytes) return false;
            ++skipped.lines;
            lineStart = at + (at[1] == '\n' ? 2 : 1);
            absorbed = lineStart;
        }
        return true;
    };
    const auto folded = [](char c, int bit) { return static_cast<char>(c ^ bit); };
    auto letterCases = [&](char c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return std::pair{_mm_set1_epi8(c), _mm_set1_epi8(letter ? folded(c, 0x20) : c)};
    };
    const auto [k0, k0x] = letterCases(keyword[0]);
    const auto [k1, k1x] = letterCases(keyword[1]);
    const auto [k2, k2x] = letterCases(keyword[2]);
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    const __m128i o = _mm_set1_epi8('O'), b = _mm_set1_epi8('B'), j = _mm_set1_epi8('J');
    // Each block is looked at with the two bytes after it.
    for (; end - p >= 18; p += 16) {
        const __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i c2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
        const __m128i key = _mm_and_si128(
            _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(c0, k0), _mm_cmpeq_epi8(c0, k0x)),
                          _mm_or_si128(_mm_cmpeq_epi8(c1, k1), _mm_cmpeq_epi8(c1, k1x))),
            _mm_or_si128(_mm_cmpeq_epi8(c2, k2), _mm_cmpeq_epi8(c2, k2x)));
        const __m128i object =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(c0, o), _mm_cmpeq_epi8(c1, b)), _mm_cmpeq_epi8(c2, j));
        const auto candidates = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(key, object)));
        auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(c0, lf), _mm_cmpeq_epi8(c0, cr))));
        if (candidates != 0) ends &= (1u << __builtin_ctz(candidates)) - 1;
        if (!endLines(p, ends) || candidates != 0) break;
        if (static_cast<size_t>(p + 16 - lineStart) > kMaxLineBytes) break;
    }
    skipped.ranOut = end - p < 18;
    skipped.bytes = static_cast<size_t>(lineStart - start);
    return skipped;
}

}  // namespace
#endif

void TextParser::skipLinesWithout(std::string_view keyword) {
#ifdef __SSE2__
    // Once a lookup has crossed into the next object, passLine collects the
    // names it passes: every line counts.
    if (!fastSkipping_ || !loaded_ || keyword.size() < 3 || hasBlank(keyword) || (watching_ && crossing_.line >= 0))
        return;
    fill(kMaxLineBytes + 2);
    for (;;) {
        const Skipped skipped = skippableLines(data_ + begin_, end_ - begin_, keyword);
        begin_ += skipped.bytes;
        lineNumber_ += skipped.lines;
        if (mapping_ != nullptr && begin_ >= released_ + kReleaseBytes) releaseRead();
        if (!skipped.ranOut || atEnd_ || (skipped.bytes == 0 && end_ - begin_ >= windowBytes_ / 2)) return;
        // A streamed file: the rest of the window moves to its front, and more comes.
        fill(windowBytes_);
    }
#else
    (void)keyword;
#endif
}

template <typename Match>
std::optional<std::string_view> TextParser::lookup(std::string_view keyword, Match match) {
    const size_t startBegin = begin_;
    const long startLine = lineNumber_;
    // The next line usually answers (a list's items); after one that does
    // not, the lines that cannot are passed in bulk. A line that starts with
    // the keyword holds its first occurrence there and starts no object
    // (unless the keyword could be an object's): it needs no search and no
    // object test.
    const bool objectKeyword = keyword.size() > 7 && keyword.ends_with("OBJECT");
    const bool canLead = fastSkipping_ && !keyword.empty() && keyword[0] != ' ' && !objectKeyword;
    for (;;) {
        if (readLine() != 0) break;
        const std::string_view line(line_);
        size_t leading = std::string_view::npos;
        if (canLead && (!watching_ || crossing_.line < 0)) {
            const size_t at = skipBlanks(line, 0);
            const size_t after = at + keyword.size();
            if (after <= line.size() && (after == line.size() || line[after] == ' ') && holdsAt(line, at, keyword))
                leading = at;
        }
        if (leading == std::string_view::npos && !passLine(keyword)) break;
        if (auto found = match(line, leading)) return found;
        skipLinesWithout(keyword);
    }
    // Stopping at the object's end, a lookup that finds nothing reads nothing.
    if (watching_ && stopAtNextObject_) {
        begin_ = startBegin;
        lineNumber_ = startLine;
    }
    return std::nullopt;
}

bool TextParser::readLineInObject() {
    const size_t startBegin = begin_;
    const long startLine = lineNumber_;
    if (readLine() == 0 && passLine({})) return true;
    if (watching_ && stopAtNextObject_) {
        begin_ = startBegin;
        lineNumber_ = startLine;
    }
    return false;
}

std::optional<std::string_view> TextParser::findValue(std::string_view keyword) {
    return lookup(keyword, [&](std::string_view line, size_t leading) -> std::optional<std::string_view> {
        if (leading != std::string_view::npos) return line.substr(skipBlanks(line, leading + keyword.size()));
        return restAfter(line, keyword);
    });
}

std::optional<std::string_view> TextParser::findWord(std::string_view keyword) {
    return lookup(keyword, [&](std::string_view line, size_t) { return wordAfter(line, keyword); });
}

std::optional<std::string_view> TextParser::findEntry(std::string_view keyword) {
    return lookup(keyword, [&](std::string_view line, size_t) -> std::optional<std::string_view> {
        const std::string_view first = wordAt(line, 1);
        if (first.size() == keyword.size() && equalsIgnoreCase(first, keyword)) {
            const std::string_view second = wordAt(line, 2);
            if (!second.empty()) return second;
        }
        return std::nullopt;
    });
}

}  // namespace sceneread
