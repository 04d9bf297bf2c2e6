#include "GbkUtf8.h"

#include <iconv.h>

#include <cerrno>

namespace qb {

namespace {
iconv_t Descriptor(void* cd) { return static_cast<iconv_t>(cd); }
const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
} // namespace

TGbkUtf8::TGbkUtf8(Direction direction)
    : cd_(direction == Direction::ToUtf8 ? iconv_open("UTF-8", "GBK") : iconv_open("GBK", "UTF-8")) {}

TGbkUtf8::~TGbkUtf8() {
    if (Descriptor(cd_) != kNone) iconv_close(Descriptor(cd_));
}

bool TGbkUtf8::Ok() const { return Descriptor(cd_) != kNone; }

bool TGbkUtf8::Convert(std::string_view in, std::string& out) {
    out.clear();
    if (!Ok()) return false;
    const iconv_t cd = Descriptor(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
        if (errno != E2BIG) return false;
        const std::size_t used = out.size() - dstLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        dstLeft = out.size() - used;
    }
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
    out.resize(out.size() - dstLeft);
    return true;
}

} // namespace qb
