// SCENE2HXM's own ASE line reader. It is deliberately not DKS2VKM's parser:
// lines arrive in pieces of at most 254 bytes (line break included), as C's
// line input with a 255-byte buffer gives them, so line numbers in messages
// and the keyword matches are those of the original tool.
//
// Per piece: a piece that is only a line break is skipped (but counted); the
// text ends at the line break or a NUL byte; a tab becomes a space; a double
// quote ends the text when a line break follows it and is a space otherwise;
// the text is cut at its first ';', and a piece starting with ';' is skipped
// (but counted). CR LF is read as LF before any of these rules, so files from
// either platform give the same lines and the same line numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace collision {

// Longest piece of a line the reader hands out, line break included.
inline constexpr size_t kMaxPieceBytes = 254;

class AseLineReader {
public:
    // Reads from `text` (a whole file, read once, so both passes of a run, mesh
    // count and meshes, see the same text). The reader owns it.
    explicit AseLineReader(std::string text);

    // Reads the next line that is not skipped into line(); false at the end.
    bool readLine();
    // The last line read; valid until the next call on this reader.
    std::string_view line() const { return line_; }
    // Pieces read since the start or the last rewind, skipped ones included.
    long lineNumber() const { return lineNumber_; }

    // The lookups read forward, consuming every line they pass, to the next
    // line that contains `keyword` (case-sensitive, anywhere in the line, also
    // inside longer words), and return a view valid until the next call on
    // this reader, or nullopt at the end of the text. Spaces after the keyword
    // are skipped; findWord returns the characters up to the next space,
    // findValue the rest of the line.
    std::optional<std::string_view> findWord(std::string_view keyword);
    std::optional<std::string_view> findValue(std::string_view keyword);

    // With `on`, the lookups stop at a line that starts another top-level
    // object (its first word a keyword ending in OBJECT), unanswered, and a
    // lookup that finds nothing reads nothing: the next starts where it did.
    void setObjectBounded(bool on) { bounded_ = on; }
    // Reads on to the next line holding `keyword`; false at the end of the text.
    bool seek(std::string_view keyword) { return findKeyword(keyword).has_value(); }

    // The whole text the reader reads.
    std::string_view text() const { return text_; }
    // Back to the first line; the line counter restarts at 0.
    void rewind();

private:
    bool nextPiece();
    bool startsObject() const;
    std::optional<size_t> findKeyword(std::string_view keyword);

    std::string text_;
    size_t position_ = 0;
    long lineNumber_ = 0;
    bool bounded_ = false;
    std::string piece_;
    std::string line_;
    std::string result_;
};

}  // namespace collision
