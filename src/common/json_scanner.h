#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace twk {

// A validating reader for the common shape of JSON messages: objects, arrays,
// small integers, literals and strings that need no unescaping. Whatever lies
// outside that (escapes, non-ASCII, fractions, deep nesting) makes it fail,
// so callers hand such text to a full parser and never disagree with it.

// Bytes a string may hold without needing the full parser: printable ASCII
// and DEL, no quote, no backslash.
inline bool plainJsonChar(unsigned char c)
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

class JsonScanner {
public:
    static constexpr int maxDepth = 16;
    static constexpr size_t maxDigits = 15;

    explicit JsonScanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    void skipSpace()
    {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }

    bool consume(char c)
    {
        skipSpace();
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }

    bool peek(char c)
    {
        skipSpace();
        return p_ != end_ && *p_ == c;
    }

    const char* position() const { return p_; }

    bool atEnd()
    {
        skipSpace();
        return p_ == end_;
    }

    bool string(std::string_view& out)
    {
        if (!consume('"')) return false;
        const char* start = p_;
        while (p_ != end_ && plainJsonChar(static_cast<unsigned char>(*p_))) ++p_;
        if (p_ == end_ || *p_ != '"') return false;
        out = std::string_view(start, static_cast<size_t>(p_ - start));
        ++p_;
        return true;
    }

    // The raw contents up to the next quote; only trustworthy once checked
    // for backslashes (which Base64 text never contains).
    bool rawString(std::string_view& out)
    {
        if (!consume('"')) return false;
        const void* quote = std::memchr(p_, '"', static_cast<size_t>(end_ - p_));
        if (!quote) return false;
        const char* close = static_cast<const char*>(quote);
        out = std::string_view(p_, static_cast<size_t>(close - p_));
        p_ = close + 1;
        return true;
    }

    bool value(int depth)
    {
        skipSpace();
        if (p_ == end_ || depth > maxDepth) return false;
        std::string_view ignored;
        switch (*p_) {
        case '"': return string(ignored);
        case '{': return object(depth + 1);
        case '[': return array(depth + 1);
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return integer();
        }
    }

private:
    bool object(int depth)
    {
        ++p_;
        if (consume('}')) return true;
        do {
            std::string_view key;
            if (!string(key) || !consume(':') || !value(depth)) return false;
        } while (consume(','));
        return consume('}');
    }

    bool array(int depth)
    {
        ++p_;
        if (consume(']')) return true;
        do {
            if (!value(depth)) return false;
        } while (consume(','));
        return consume(']');
    }

    bool literal(std::string_view word)
    {
        if (static_cast<size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word) return false;
        p_ += word.size();
        return true;
    }

    // Small integers only; fractions and exponents fail the caller's next
    // expectation and so go to the full parser.
    bool integer()
    {
        if (*p_ == '-') ++p_;
        const char* digits = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        const auto count = static_cast<size_t>(p_ - digits);
        if (count == 0 || count > maxDigits) return false;
        return !(count > 1 && *digits == '0');
    }

    const char* p_;
    const char* end_;
};

} // namespace twk
