#include "collision/ase_line_reader.h"


namespace collision {

AseLineReader::AseLineReader(std::string text) : text_(std::move(text)) {
    piece_.reserve(kMaxPieceBytes);
    line_.reserve(kMaxPieceBytes);
}


// One piece as C's line input hands it out, from a stream that reads CR LF as LF.
bool AseLineReader::nextPiece() {
    if (position_ >= text_.size()) return false;
    piece_.clear();
    const size_t size = text_.size();
    while (piece_.size() < kMaxPieceBytes && position_ < size) {
        const char c = text_[position_];
        if (c == '\r' && position_ + 1 < size && text_[position_ + 1] == '\n') {
            position_ += 2;
            piece_.push_back('\n');
            break;
        }
        ++position_;
        piece_.push_back(c);
        if (c == '\n') break;
    }
    // A CR that ends the file ends its last line too.
    if (position_ == size && !piece_.empty() && piece_.back() == '\r') piece_.back() = '\n';
    return true;
}

bool AseLineReader::readLine() {
    for (;;) {
        if (!nextPiece()) return false;
        ++lineNumber_;
        if (piece_ == "\n") continue;
        line_.clear();
        const size_t size = piece_.size();
        for (size_t i = 0; i < size; ++i) {
            char c = piece_[i];
            if (c == '\0' || c == '\n') break;
            if (c == '\t') c = ' ';
            if (c == '"') {
                const char next = i + 1 < size ? piece_[i + 1] : '\0';
                if (next == '\r' || next == '\n') break;
                c = ' ';
            }
            line_.push_back(c);
        }
        const size_t semicolon = line_.find(';');
        if (semicolon == 0) continue;
        if (semicolon != std::string::npos) line_.resize(semicolon);
        return true;
    }
}

std::optional<size_t> AseLineReader::findKeyword(std::string_view keyword) {
    const size_t startPosition = position_;
    const long startLine = lineNumber_;
    while (readLine()) {
        if (bounded_ && startsObject()) break;
        const size_t at = line_.find(keyword);
        if (at == std::string::npos) continue;
        size_t start = at + keyword.size();
        while (start < line_.size() && line_[start] == ' ') ++start;
        return start;
    }
    // Bounded, a lookup that finds nothing reads nothing.
    if (bounded_) {
        position_ = startPosition;
        lineNumber_ = startLine;
    }
    return std::nullopt;
}

std::optional<std::string_view> AseLineReader::findWord(std::string_view keyword) {
    const std::optional<size_t> start = findKeyword(keyword);
    if (!start) return std::nullopt;
    const size_t end = line_.find(' ', *start);
    result_.assign(line_, *start, end == std::string::npos ? std::string::npos : end - *start);
    return std::string_view(result_);
}

std::optional<std::string_view> AseLineReader::findValue(std::string_view keyword) {
    const std::optional<size_t> start = findKeyword(keyword);
    if (!start) return std::nullopt;
    result_.assign(line_, *start);
    return std::string_view(result_);
}

bool AseLineReader::startsObject() const {
    const size_t start = line_.find_first_not_of(' ');
    if (start == std::string::npos || line_[start] != '*') return false;
    const size_t end = line_.find(' ', start);
    const std::string_view word = std::string_view(line_).substr(start, end == std::string::npos ? end : end - start);
    return word.size() > 7 && word.ends_with("OBJECT");
}

void AseLineReader::rewind() {
    position_ = 0;
    lineNumber_ = 0;
}

}  // namespace collision
