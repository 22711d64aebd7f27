// The forward-only, line-oriented keyword parser that DKS2VKM reads both of its
// text formats with. There is no grammar: structure lives in the order in which
// readers ask for keywords, and every lookup reads forward to the next line that
// holds its keyword, consuming the lines it passes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "common/ascii.h"
#include "common/file_loader.h"
#include "common/mapped_file.h"
#include "common/read_ahead.h"

namespace sceneread {

// Longest line the parser accepts, in bytes (without its line end).
inline constexpr size_t kMaxLineBytes = 4095;

// Line functions. A blank is the space character only: readLine has already
// turned tabs (and, when asked, double quotes) into blanks. Returned views
// point into `line`.

// Position of `keyword` in `line`; -1 when absent. A line that equals the
// keyword ignoring ASCII case matches at 0; otherwise the match is a
// case-sensitive substring search, also inside longer words.
long keywordPosition(std::string_view line, std::string_view keyword);
// The word after the keyword (after skipping blanks); empty at the line's end.
std::optional<std::string_view> wordAfter(std::string_view line, std::string_view keyword);
// The same, for a keyword that cannot occur before `from` (a line long
// enough that it cannot equal the keyword).
std::optional<std::string_view> wordAfter(std::string_view line, std::string_view keyword, size_t from);
// wordAfter(line, label) for the corner labels of a face line, in the order
// A:, B:, C:, AB:, BC:, CA:, found in one pass over the line's colons
// rather than six searches from its start. Returns a position before which
// the line holds nothing but digits, blanks, minus signs, colons and the
// labels' letters (0 when it did not look).
size_t cornerLabelWords(std::string_view line, std::array<std::optional<std::string_view>, 6>& words);
// Everything after the keyword and the blanks behind it, trailing blanks kept.
std::optional<std::string_view> restAfter(std::string_view line, std::string_view keyword);
// The n-th blank-separated word (from 1); empty when there are fewer.
std::string_view wordAt(std::string_view line, size_t n);
// wordAt(line, first), wordAt(line, first + 1), ... into `words`, in one pass.
void wordsFrom(std::string_view line, size_t first, std::span<std::string_view> words);
size_t countWords(std::string_view line);
bool closesBlock(std::string_view line);
// True when the line starts a top-level object of an ASE file: its first word
// is a keyword ending in OBJECT (*GEOMOBJECT, *CAMERAOBJECT, *LIGHTOBJECT, ...).
bool startsObject(std::string_view line);
// The part after the last backslash (a trailing double quote dropped), or the
// whole path when it has no backslash.
std::string_view stripDirectory(std::string_view path);
using common::equalsIgnoreCase;

// Reads text held in memory, or streams a file through a window of about a
// megabyte: each byte is read once, and a large export never needs memory of
// its own size (fresh memory is the slowest thing to touch on the machines the
// tools run on).
class TextParser {
public:
    // Over `text`, which must outlive the parser. Empty text is not loaded,
    // as an empty file is not.
    static TextParser overText(std::string_view text);
    // Never fails by itself: check loaded(). A missing file, a directory or
    // device, or an empty file is not loaded. A UTF-16 file reads as its
    // Windows-1252 text (common::loadTextFile).
    static TextParser openFile(const std::string& fileName);
    // As openFile, but a large file is mapped (common/mapped_file.h), or,
    // where it cannot be, read ahead on a second thread while this one
    // parses (common/read_ahead.h): the same lines, sooner.
    static TextParser openFileReadingAhead(const std::string& fileName);
    // The same, with the whole file read into memory first.
    static TextParser readFile(const std::string& fileName);

    TextParser(TextParser&&) = default;
    TextParser& operator=(TextParser&&) = default;
    TextParser(const TextParser&) = delete;
    TextParser& operator=(const TextParser&) = delete;

    bool loaded() const { return loaded_; }
    // The first bytes of the text (see common/ase_signature.h).
    std::string_view head() const { return head_; }
    // Lines handed out so far.
    long lineNumber() const { return lineNumber_; }
    // When set, readLine turns double quotes into blanks (the ASE reader does).
    void setQuotesAsBlanks(bool on) { quotesAsBlanks_ = on; }
    // On (the default), a lookup passes runs of lines that cannot answer it
    // sixteen bytes at a time instead of reading each, and takes a line that
    // starts with its keyword without searching it; off, every line is read
    // and searched. The results are the same (the tests compare the two).
    void setFastSkipping(bool on) { fastSkipping_ = on; }

    // 0: a line is in currentLine(); 1: no data left; -1: nothing loaded.
    // Throws InputError for a line over kMaxLineBytes or a failing read.
    int readLine();
    // The last line handed out; valid until the next readLine on this parser.
    std::string_view currentLine() const { return line_; }
    // Bytes not yet handed out; a count of N lines that each hold a keyword of
    // k bytes cannot exceed remainingBytes() / k.
    std::uint64_t remainingBytes() const;

    // Ranges, for reading one text on several threads. Offsets count bytes
    // from the start of the text.
    // Where the next line starts.
    std::uint64_t position() const { return consumed_ + begin_; }
    // Makes the next line count as line n + 1.
    void setLineNumber(long n) { lineNumber_ = n; }
    // True when the next line's bytes start with `prefix` (before readLine
    // turns any of them into blanks).
    bool nextLineStartsWith(std::string_view prefix);
    // Whether openAt can work: the whole text is in memory (held, or a
    // mapped file), not streamed through a window.
    bool hasRanges() const { return loaded_ && window_ == nullptr; }
    // Another parser over this text from `offset` (a line start) to its end,
    // with lines counted from 0 and this parser's settings; independent of
    // this one, so each thread may have its own. Needs hasRanges().
    TextParser openAt(std::uint64_t offset) const;
    // The first offset in [from, to) that starts a line whose bytes begin
    // with `prefix` and follows a line feed. Safe to call from several
    // threads at once. Needs hasRanges() and from > 0.
    std::optional<std::uint64_t> findLineStarting(std::string_view prefix, std::uint64_t from,
                                                  std::uint64_t to) const;
    // A mapped file gives back the memory of the lines read so far (it does
    // so by itself now and then).
    void releaseRead();
    // The same for the bytes [from, to) of the text, read by any parser.
    void release(std::uint64_t from, std::uint64_t to) const {
        if (mapping_ != nullptr && to > from) mapping_->release(from, to - from);
    }
    // True when the file shrank while it was read: what was read of it is
    // wrong, and the read must fail.
    bool sourceChanged() const { return mapping_ != nullptr && mapping_->changed(); }

    // The lookups: each returns a view into currentLine(), valid until the next
    // call on this parser, or nullopt once the data is exhausted.
    // restAfter of the next line that holds the keyword.
    std::optional<std::string_view> findValue(std::string_view keyword);
    // wordAfter of the next line that holds the keyword.
    std::optional<std::string_view> findWord(std::string_view keyword);
    // Word 2 of the next line whose word 1 equals the keyword ignoring case.
    std::optional<std::string_view> findEntry(std::string_view keyword);

    // Object boundaries. Between beginObject and endObject the lookups watch
    // for a line that starts another top-level object (its first word is a
    // keyword ending in OBJECT: *GEOMOBJECT, *CAMERAOBJECT, ...). With
    // `stopAtNextObject` a lookup ends there, unanswered, and the next
    // readLine hands out that line again; otherwise the lookup reads on, as
    // the format always has, and endObject tells where it crossed. A lookup
    // that stops unanswered reads nothing: the next one starts where it did.
    // Stopping needs the whole text in memory (overText, readFile).
    struct PassedName {
        std::string name;
        long line = -1;
    };
    struct Crossing {
        long line = -1;                       // the line that starts the next object
        std::string keyword;                  // what the lookup that crossed was looking for
        std::vector<PassedName> passedNames;  // *NODE_NAME lines read past the crossing
    };
    void beginObject(bool stopAtNextObject);
    std::optional<Crossing> endObject();
    // readLine within the object: false at the end of the data, or (when
    // stopping at the next object) at the line that starts it.
    bool readLineInObject();

private:
    TextParser() = default;
    // False when a lookup must stop at the current line (see beginObject).
    bool passLine(std::string_view keyword);
    template <typename Match>
    std::optional<std::string_view> lookup(std::string_view keyword, Match match);
    // Passes whole lines in which neither the keyword's first three bytes (in
    // any letter case) nor OBJ occur: no lookup for the keyword can stop at
    // one, nor can one start an object. Stops before anything else readLine
    // must see.
    void skipLinesWithout(std::string_view keyword);
    // Makes at least `bytes` bytes available from begin_, unless the file ends.
    void fill(size_t bytes);

    std::string fileName_;
    std::string head_;
    common::InputFile file_;  // closed for text in memory, and when read ahead
    std::shared_ptr<common::MappedFile> mapping_;  // the text in memory, when mapped
    size_t released_ = 0;                          // data_ up to here was given back
    std::unique_ptr<common::ReadAhead> ahead_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t consumed_ = 0;  // file offset of data_[0]
    std::unique_ptr<char[]> window_;  // never zero-filled: only read bytes are used
    std::unique_ptr<std::string> decoded_;  // a file read whole (a UTF-16 one in 8 bits)
    const char* data_ = nullptr;  // the window, or the text in memory
    size_t windowBytes_ = 0;
    size_t begin_ = 0, end_ = 0;
    bool atEnd_ = false;
    long lineNumber_ = 0;
    bool loaded_ = false;
    bool quotesAsBlanks_ = false;
    bool fastSkipping_ = true;
    bool watching_ = false, stopAtNextObject_ = false;
    Crossing crossing_;
    std::string line_;
};

// Where a reader gets the text of a file it is asked for by name (the ASE
// files a script names): the file system, or texts held in memory.
using TextOpener = std::function<TextParser(const std::string& fileName)>;

// Opens the texts of `files` by name (a name not among them is a file that
// cannot be opened). The map must outlive the opener's parsers.
inline TextOpener textsInMemory(const std::map<std::string, std::string>& files) {
    return [&files](const std::string& fileName) {
        const auto found = files.find(fileName);
        return TextParser::overText(found == files.end() ? std::string_view() : std::string_view(found->second));
    };
}

}  // namespace sceneread
