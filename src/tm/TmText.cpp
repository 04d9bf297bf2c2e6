#include "TmText.h"

#include <algorithm>
#include <cstdint>

namespace qb::tm {

namespace {

// Decodes one UTF-8 character at `i`; false (and len 1) for a byte that does not start a
// well-formed character: a stray trail byte, an overlong form, a surrogate, a cut sequence.
bool Decode(std::string_view s, std::size_t i, char32_t& cp, std::size_t& len) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    len = 1;
    if (c < 0x80) {
        cp = c;
        return true;
    }
    std::size_t n;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    len = n;
    return true;
}

std::size_t EncodeTo(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = char(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = char(0xC0 | (cp >> 6));
        out[1] = char(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = char(0xE0 | (cp >> 12));
        out[1] = char(0x80 | ((cp >> 6) & 0x3F));
        out[2] = char(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (cp >> 18));
    out[1] = char(0x80 | ((cp >> 12) & 0x3F));
    out[2] = char(0x80 | ((cp >> 6) & 0x3F));
    out[3] = char(0x80 | (cp & 0x3F));
    return 4;
}

void Encode(char32_t cp, std::string& out) {
    char buf[4];
    out.append(buf, EncodeTo(cp, buf));
}

bool IsSpace(char32_t cp) {
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200B) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000 || cp == 0xFEFF;
}

enum class Kind { Space, Letter, Ideograph, Symbol };

// Ideographs, kana and hangul stand alone: Chinese has no spaces, so a character is the unit
// that a search for 翻译 (two characters in a row) can find inside 翻译记忆.
bool IsIdeograph(char32_t cp) {
    return (cp >= 0x2E80 && cp <= 0x2FDF) || cp == 0x3005 || cp == 0x3007 ||
           (cp >= 0x3021 && cp <= 0x3029) || (cp >= 0x3040 && cp <= 0x30FF) ||
           (cp >= 0x3100 && cp <= 0x312F) || (cp >= 0x31A0 && cp <= 0x31FF) ||
           (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
           (cp >= 0xA960 && cp <= 0xA97F) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF66 && cp <= 0xFF9F) ||
           (cp >= 0x20000 && cp <= 0x3FFFF);
}

bool IsSymbol(char32_t cp) {
    if (cp < 0x80)
        return !((cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z'));
    return (cp >= 0x80 && cp <= 0xBF) || cp == 0xD7 || cp == 0xF7 ||
           (cp >= 0x2010 && cp <= 0x2BFF) || (cp >= 0x3001 && cp <= 0x303F) ||
           (cp >= 0xFE10 && cp <= 0xFE6F) || (cp >= 0xFF5F && cp <= 0xFF65) ||
           (cp >= 0xFFE0 && cp <= 0xFFFD) || (cp >= 0x1F000 && cp <= 0x1FAFF);
}

// Full-width ASCII (U+FF01..U+FF5E) -> ASCII; capitals of ASCII and Latin-1 -> small letters.
char32_t Fold(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    return cp;
}

Kind Classify(char32_t folded) {
    if (IsSpace(folded) || folded < 0x20 || folded == 0x7F) return Kind::Space;
    if (IsIdeograph(folded)) return Kind::Ideograph;
    if (IsSymbol(folded)) return Kind::Symbol;
    return Kind::Letter;
}

bool SameText(const Token& a, const Token& b) { return a.text == b.text; }

// The alignment table of Difference is kept whole for the walk back: 4 million cells (16 MB)
// at most, e.g. two texts of 2,000 tokens each.
constexpr std::size_t kMaxAlignCells = 4'000'000;

} // namespace

void ForEachToken(std::string_view s, const TokenSink& sink) {
    // One buffer for the folded text of the token being read: the index tokenizes every pair
    // of an import through here, so nothing is allocated per token.
    std::string folded;
    std::size_t wordBegin = 0;
    bool inWord = false;
    auto closeWord = [&](std::size_t at) {
        if (!inWord) return;
        sink(folded, wordBegin, at, true);
        folded.clear();
        inWord = false;
    };
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t len;
        if (!Decode(s, i, cp, len)) {
            closeWord(i);
            sink(s.substr(i, 1), i, i + 1, false);
            i += 1;
            continue;
        }
        const char32_t f = Fold(cp);
        const Kind kind = Classify(f);
        if (kind == Kind::Letter) {
            if (!inWord) {
                inWord = true;
                wordBegin = i;
            }
            Encode(f, folded);
        } else {
            closeWord(i);
            if (kind != Kind::Space) {
                char one[4];
                const std::size_t n = EncodeTo(f, one);
                sink(std::string_view(one, n), i, i + len, kind == Kind::Ideograph);
            }
        }
        i += len;
    }
    closeWord(s.size());
}

std::vector<Token> Tokenize(std::string_view s) {
    std::vector<Token> out;
    ForEachToken(s, [&](std::string_view text, std::size_t begin, std::size_t end, bool word) {
        out.push_back(Token{std::string(text), begin, end, word});
    });
    return out;
}

bool IsCleanUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t len;
        if (!Decode(s, i, cp, len) || cp == 0) return false;
        i += len;
    }
    return true;
}

namespace {

// Splits into (is-space, byte range) runs, white space as the tokenizer sees it.
template <class F>
void ForEachChar(std::string_view s, F&& f) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t len;
        const bool ok = Decode(s, i, cp, len);
        f(i, len, ok && IsSpace(cp));
        i += len;
    }
}

} // namespace

std::string NormalizeSource(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool pendingSpace = false;
    ForEachChar(s, [&](std::size_t i, std::size_t len, bool space) {
        if (space) {
            pendingSpace = !out.empty();
            return;
        }
        if (pendingSpace) out.push_back(' ');
        pendingSpace = false;
        out.append(s.substr(i, len));
    });
    return out;
}

std::string NormalizeTarget(std::string_view s) {
    std::size_t first = s.size(), last = 0;
    ForEachChar(s, [&](std::size_t i, std::size_t len, bool space) {
        if (space) return;
        first = std::min(first, i);
        last = i + len;
    });
    if (first >= last) return {};
    const std::string_view core = s.substr(first, last - first);
    std::string out;
    out.reserve(core.size());
    for (std::size_t i = 0; i < core.size(); ++i) {
        if (core[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < core.size() && core[i + 1] == '\n') ++i;
        } else {
            out.push_back(core[i]);
        }
    }
    return out;
}

namespace {

// The edit distance between two token lists (a token inserted, removed or replaced by another
// costs 1), or -1 when it exceeds maxDistance.
long BoundedEditDistance(const std::vector<Token>& a, const std::vector<Token>& b, long maxDistance) {
    const std::size_t n = a.size(), m = b.size();
    // Two rows of the edit-distance table; a row whose smallest cell already exceeds the
    // allowed distance cannot lead to a good enough score, so the search stops there.
    std::vector<long> prev(m + 1), cur(m + 1);
    for (std::size_t j = 0; j <= m; ++j) prev[j] = long(j);
    for (std::size_t i = 1; i <= n; ++i) {
        cur[0] = long(i);
        long rowMin = cur[0];
        for (std::size_t j = 1; j <= m; ++j) {
            const long sub = prev[j - 1] + (SameText(a[i - 1], b[j - 1]) ? 0 : 1);
            cur[j] = std::min({sub, prev[j] + 1, cur[j - 1] + 1});
            rowMin = std::min(rowMin, cur[j]);
        }
        if (rowMin > maxDistance) return -1;
        std::swap(prev, cur);
    }
    return prev[m] > maxDistance ? -1 : prev[m];
}

} // namespace

int Similarity(const std::vector<Token>& a, const std::vector<Token>& b, int minScore) {
    const std::size_t n = a.size(), m = b.size();
    const std::size_t longer = std::max(n, m);
    if (longer == 0) return 100;
    // The largest distance that still reaches minScore: 100 * (L - d) / L >= minScore.
    const long maxDistance = long(longer) - (long(minScore) * long(longer) + 99) / 100;
    if (maxDistance < 0 || long(longer - std::min(n, m)) > maxDistance) return -1;
    const long d = BoundedEditDistance(a, b, maxDistance);
    if (d < 0) return -1;
    return int(100 * (long(longer) - d) / long(longer));
}

std::vector<std::string> OldPieces(std::string_view stored, std::string_view sentence) {
    std::vector<std::string> out;
    for (DiffPiece& p : Difference(stored, sentence)) {
        if (p.kind != DiffPiece::Old) continue;
        const std::size_t a = p.text.find_first_not_of(" \t\r\n");
        if (a == std::string::npos) continue;
        out.push_back(p.text.substr(a, p.text.find_last_not_of(" \t\r\n") + 1 - a));
    }
    return out;
}

std::vector<DiffPiece> Difference(std::string_view stored, std::string_view sentence) {
    const std::vector<Token> a = Tokenize(stored), b = Tokenize(sentence);
    const std::size_t n = a.size(), m = b.size();
    if ((n + 1) * (m + 1) > kMaxAlignCells) {
        std::vector<DiffPiece> whole;
        if (!stored.empty()) whole.push_back(DiffPiece{DiffPiece::Old, std::string(stored)});
        if (!sentence.empty()) whole.push_back(DiffPiece{DiffPiece::New, std::string(sentence)});
        return whole;
    }
    std::vector<std::uint32_t> d((n + 1) * (m + 1));
    auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return d[i * (m + 1) + j]; };
    for (std::size_t i = 0; i <= n; ++i) at(i, 0) = std::uint32_t(i);
    for (std::size_t j = 0; j <= m; ++j) at(0, j) = std::uint32_t(j);
    for (std::size_t i = 1; i <= n; ++i)
        for (std::size_t j = 1; j <= m; ++j)
            at(i, j) = std::min({at(i - 1, j - 1) + (SameText(a[i - 1], b[j - 1]) ? 0u : 1u),
                                 at(i - 1, j) + 1, at(i, j - 1) + 1});
    // Walk back from the end; 'S' same, 'O' only stored, 'N' only sentence, 'R' replaced.
    std::vector<char> ops;
    for (std::size_t i = n, j = m; i > 0 || j > 0;) {
        if (i > 0 && j > 0 && SameText(a[i - 1], b[j - 1]) && at(i, j) == at(i - 1, j - 1)) {
            ops.push_back('S'), --i, --j;
        } else if (i > 0 && j > 0 && at(i, j) == at(i - 1, j - 1) + 1) {
            ops.push_back('R'), --i, --j;
        } else if (i > 0 && at(i, j) == at(i - 1, j) + 1) {
            ops.push_back('O'), --i;
        } else {
            ops.push_back('N'), --j;
        }
    }
    std::reverse(ops.begin(), ops.end());

    std::vector<DiffPiece> out;
    auto add = [&](DiffPiece::Kind kind, std::string_view text) {
        if (text.empty()) return;
        if (!out.empty() && out.back().kind == kind) {
            out.back().text += text;
        } else {
            out.push_back(DiffPiece{kind, std::string(text)});
        }
    };
    std::size_t ia = 0, ib = 0, endA = 0, endB = 0;
    for (std::size_t k = 0; k < ops.size();) {
        if (ops[k] == 'S') {
            add(DiffPiece::Same, stored.substr(endA, a[ia].end - endA));
            endA = a[ia++].end;
            endB = b[ib++].end;
            ++k;
            continue;
        }
        // A run of changes: everything it drops from the stored source, then everything the
        // sentence has in its place.
        const std::size_t oldFrom = endA, newFrom = endB;
        for (; k < ops.size() && ops[k] != 'S'; ++k) {
            if (ops[k] != 'N') endA = a[ia++].end;
            if (ops[k] != 'O') endB = b[ib++].end;
        }
        add(DiffPiece::Old, stored.substr(oldFrom, endA - oldFrom));
        add(DiffPiece::New, sentence.substr(newFrom, endB - newFrom));
    }
    return out;
}

std::vector<Span> FindWords(std::string_view text, const std::vector<std::string>& query,
                            bool lastIsPrefix) {
    std::vector<Span> out;
    if (query.empty()) return out;
    std::vector<Token> words = Tokenize(text);
    std::erase_if(words, [](const Token& t) { return !t.word; });
    const std::size_t q = query.size();
    for (std::size_t i = 0; i + q <= words.size();) {
        bool match = true;
        for (std::size_t k = 0; k < q && match; ++k) {
            const std::string& w = words[i + k].text;
            match = (k + 1 == q && lastIsPrefix) ? w.starts_with(query[k]) : w == query[k];
        }
        if (match) {
            out.push_back(Span{words[i].begin, words[i + q - 1].end});
            i += q;
        } else {
            ++i;
        }
    }
    return out;
}

} // namespace qb::tm
