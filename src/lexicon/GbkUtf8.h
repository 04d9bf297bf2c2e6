// GBK <-> UTF-8 without Qt, for the engine code that hands text to a UTF-8 library: the
// whole-clause converter, whose pinyin library reads and answers UTF-8 ("我们" is CE D2 C3 C7 in
// GBK, E6 88 91 E4 BB AC in UTF-8). Everything the user sees converts through GbkText (Qt) at the
// windows' edge instead; the two agree on every character but those of GBK's user-defined
// areas, which Qt reads as private-use characters (AAA1 -> U+E000) and this converter refuses.
//
// Strict both ways: a byte sequence that is not GBK, or a character GBK cannot hold (😀),
// fails the whole text. One converter keeps conversion state between calls, so each thread
// converts with its own.
#pragma once

#include <string>
#include <string_view>

namespace qb {

class TGbkUtf8 {
public:
    enum class Direction { ToUtf8, ToGbk };
    explicit TGbkUtf8(Direction direction);
    ~TGbkUtf8();
    TGbkUtf8(const TGbkUtf8&) = delete;
    TGbkUtf8& operator=(const TGbkUtf8&) = delete;

    // False when the C library offers no GBK.
    bool Ok() const;
    // False when a character cannot be represented or the input is malformed; `out` is
    // unspecified then.
    bool Convert(std::string_view in, std::string& out);

private:
    void* cd_; // the iconv descriptor
};

} // namespace qb
