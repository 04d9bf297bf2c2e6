// Text utilities of the lexicon engine: GBK-aware searching, the text order, the word and
// key operations, keyed merging, the line layer and whole-file access.
#include "MyUtils.h"
#include "FileSync.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <set>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

[[noreturn]] void ThrowCannotOpen(const std::string& path) {
    throw FileError("Cannot open file " + path);
}
[[noreturn]] void ThrowNotReadWhole(const std::string& path) {
    throw FileError("词库" + path + "没有完整读出，不能覆盖原文件。");
}
[[noreturn]] void ThrowCannotCreate(const std::string& path) {
    throw FileError("Cannot create file " + path);
}
[[noreturn]] void ThrowIndexOutOfBounds(long long index) {
    throw FileError("List index out of bounds (" + std::to_string(index) + ")");
}

// ---- bytes and characters ----

std::size_t FindText(std::string_view text, std::string_view pattern, std::size_t from) {
    const std::size_t n = text.size();
    if (pattern.empty() || from >= n || pattern.size() > n - from) return std::string_view::npos;
    // `pos` is always a character boundary at or before the next candidate. A candidate found
    // by the plain byte search is accepted only when the boundary walk lands on it exactly:
    // in 乑 (81 5A) the 'Z' is a trail byte, so searching "Z" in it finds nothing.
    std::size_t pos = from;
    std::size_t at = from;
    for (;;) {
        const std::size_t cand = text.find(pattern, at);
        if (cand == std::string_view::npos) return cand;
        // Eight bytes without a high bit are eight single-byte characters: skip them at once.
        while (pos + 8 <= cand) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + pos, 8);
            if (word & 0x8080808080808080ull) break;
            pos += 8;
        }
        while (pos < cand) pos += IsLeadByte(static_cast<unsigned char>(text[pos])) ? 2 : 1;
        if (pos == cand) return cand;
        at = cand + 1; // cand was a trail byte; pos == cand + 1 is the next boundary
    }
}

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view with) {
    std::string out;
    if (pattern.empty()) return std::string(text);
    std::size_t start = 0;
    std::size_t hit = FindText(text, pattern, 0);
    if (hit == std::string_view::npos) return std::string(text);
    out.reserve(text.size());
    while (hit != std::string_view::npos) {
        out.append(text.substr(start, hit - start));
        out.append(with);
        start = hit + pattern.size();
        // The search goes on in the rest of the text as a text of its own (its first byte is
        // taken as a boundary), as a one-pass replace does.
        hit = start < text.size() ? FindText(text, pattern, start) : std::string_view::npos;
    }
    out.append(text.substr(start));
    return out;
}

static inline bool IsTrimByte(char c) { return static_cast<unsigned char>(c) <= 0x20; }

static std::string_view TrimView(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsTrimByte(text[b])) ++b;
    while (e > b && IsTrimByte(text[e - 1])) --e;
    return text.substr(b, e - b);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    const std::size_t n = out.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            i += 2;
        } else {
            if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
            ++i;
        }
    }
    return out;
}

// ---- text order ----

static inline unsigned char FoldSingle(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

int TextCompare(std::string_view a, std::string_view b) {
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a.data());
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    std::size_t boundary = 0; // a known character boundary <= i, equal in both texts
    for (;;) {
        // Skip the common raw prefix eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t x, y;
            std::memcpy(&x, pa + i, 8);
            std::memcpy(&y, pb + i, 8);
            if (x != y) break;
            i += 8;
        }
        while (i < n && pa[i] == pb[i]) ++i;
        if (i >= n) break;
        // First raw difference at i. Both texts agree (after folding) before i, and folding never
        // changes whether a byte is a lead byte, so both have the same character boundaries.
        // Count the lead-range bytes just before i: the byte after any other byte is a boundary.
        std::size_t k = 0;
        std::size_t j = i;
        while (j > boundary && IsLeadByte(pa[j - 1])) {
            --j;
            ++k;
        }
        if (k & 1) return int(pa[i]) - int(pb[i]); // i is a trail byte: never folded
        const unsigned char ca = FoldSingle(pa[i]);
        const unsigned char cb = FoldSingle(pb[i]);
        if (ca != cb) return int(ca) - int(cb);
        // 'A' against 'a' (single-byte characters): equal in text order; go on after them.
        ++i;
        boundary = i;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SortedFind(const StringList& list, std::string_view text, std::size_t& index) {
    std::size_t lo = 0, hi = list.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const int c = TextCompare(list[mid], text);
        if (c < 0) {
            lo = mid + 1;
        } else if (c > 0) {
            hi = mid;
        } else {
            index = mid;
            return true;
        }
    }
    index = lo;
    return false;
}

// ---- the operations of the text utilities ----

int WordCount(std::string_view text) {
    return static_cast<int>(std::count(text.begin(), text.end(), ' ')) + 1;
}

static inline bool IsSeparateWordSymbol(unsigned char c) {
    return c == ' ' || c == '#' || c == '$' || c == '%' || c == '&' || c == '*' || c == '-' ||
           c == '.' || c == '/' || (c >= '0' && c <= '9') || c == '@' || (c >= 'A' && c <= 'Z') ||
           c == '\\' || c == '_' || (c >= 'a' && c <= 'z') || c == '|' ||
           c == static_cast<unsigned char>(kNoGbkLetter);
}

static inline bool IsNormalizeWordSymbol(unsigned char c) {
    return c == ' ' || (c >= 'a' && c <= 'z') || c == static_cast<unsigned char>(kNoGbkLetter);
}

// Copies the characters of words and writes every other character with a space on each side:
// "Take-Off" with the letters as word symbols gives "Take - Off". A two-byte character is one
// character: a letter of the pinyin row stays inside its word ("Café" -> "Café", é A8 A6), any
// other one is one symbol ("中" D6 D0 -> " 中 "), so its trail byte never stands alone. A lead
// byte cut off by the end of the text is a symbol of its own.
template <class IsWordSymbol>
static std::string SpaceOutSplitSymbols(std::string_view t, IsWordSymbol isWord) {
    std::string s;
    s.reserve(t.size() + 16);
    const std::size_t n = t.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (IsLeadByte(c) && i + 1 < n) {
            const bool letter = IsPinyinRowLetter(c, static_cast<unsigned char>(t[i + 1]));
            if (!letter) s.push_back(' ');
            s.append(t.substr(i, 2));
            if (!letter) s.push_back(' ');
            i += 2;
        } else if (isWord(c)) {
            s.push_back(t[i++]);
        } else {
            s.push_back(' ');
            s.push_back(t[i++]);
            s.push_back(' ');
        }
    }
    return s;
}

std::string SeparateSymbols(std::string_view text) {
    const std::string_view t = TrimView(text);
    std::string s = SpaceOutSplitSymbols(t, IsSeparateWordSymbol);
    s = ReplaceAll(s, "\r", " ");
    s = ReplaceAll(s, "\n", " ");
    s = ReplaceAll(s, "  ", " ");
    return Trim(s);
}

// True when `text` is already in lookup form made of letters and single spaces only, so that
// NormalizeKey gives it back unchanged (the common case for the keys of a text lexicon).
static bool IsPlainLookupForm(std::string_view text) {
    if (text.empty()) return true;
    if (text.front() == ' ' || text.back() == ' ') return false;
    char prev = 'a';
    for (char ch : text) {
        if (ch == ' ') {
            if (prev == ' ') return false;
        } else if (ch < 'a' || ch > 'z') {
            return false;
        }
        prev = ch;
    }
    return true;
}

std::string NormalizeKey(std::string_view text) {
    if (IsPlainLookupForm(text)) return std::string(text);
    // The pinyin row of GBK has small letters only (é, ü, à; there is no É), so lower-casing
    // the ASCII letters lower-cases the whole word: "Café" -> "café".
    const std::string lower = LowerAscii(text);
    const std::string_view t = TrimView(lower);
    std::string s = SpaceOutSplitSymbols(t, IsNormalizeWordSymbol);
    s = ReplaceAll(s, "\r", " ");
    s = ReplaceAll(s, "\n", " ");
    while (FindText(s, "  ") != std::string::npos) s = ReplaceAll(s, "  ", " ");
    return Trim(s);
}

void SplitString(std::string_view text, std::string_view separator, StringList& list) {
    list.clear();
    if (separator.empty()) return; // no separator can be found: nothing is added
    std::string buf;
    buf.reserve(text.size() + separator.size());
    buf.append(text);
    buf.append(separator);
    std::string_view t = buf;
    while (!t.empty()) {
        const std::size_t p = FindText(t, separator);
        if (p == std::string_view::npos) break;
        if (p > 0) list.emplace_back(t.substr(0, p));
        t = Head(t.substr(p + separator.size()));
    }
}

std::pair<std::string, std::string> SplitAtFirst(std::string_view text, char separator) {
    const std::size_t p = FindText(text, std::string_view(&separator, 1));
    if (p == std::string_view::npos) return {};
    return {std::string(text.substr(0, p)), std::string(Head(text.substr(p + 1)))};
}

std::string JoinDistinct(std::string_view text, std::string_view separator) {
    StringList pieces;
    SplitString(text, separator, pieces);
    std::unordered_set<std::string_view> seen;
    std::string out;
    std::size_t lastSeparator = std::string::npos; // where the separator before the last piece starts
    for (const std::string& piece : pieces) {
        if (!seen.insert(piece).second) continue;
        if (seen.size() > 1) {
            lastSeparator = out.size();
            out.append(separator);
        }
        out.append(piece);
        if (out.size() >= kMaxTextBytes) break; // the rest is cut off anyway
    }
    if (out.size() > kMaxTextBytes) {
        // The cut keeps whole characters and never leaves a separator, nor a part of one, at
        // the end: kept pieces of 4999 bytes and then "；" would otherwise end in 0xA3, the
        // first half of the separator, which every later join carries along.
        std::size_t cut = 0;
        while (cut < kMaxTextBytes) {
            const std::size_t next = cut + (IsLeadByte(static_cast<unsigned char>(out[cut])) ? 2 : 1);
            if (next > kMaxTextBytes) break;
            cut = next;
        }
        if (lastSeparator != std::string::npos && cut > lastSeparator &&
            cut <= lastSeparator + separator.size())
            cut = lastSeparator;
        out.resize(cut);
    }
    return out;
}

void MergeKeyedValue(std::string_view key, std::string_view value, StringList& keys,
                     StringList& values, std::string_view separator) {
    std::size_t i = 0;
    if (SortedFind(keys, key, i)) {
        std::string joined;
        joined.reserve(values[i].size() + separator.size() + value.size());
        joined.append(values[i]);
        joined.append(separator);
        joined.append(value);
        values[i] = JoinDistinct(joined, separator);
    } else {
        keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(i), std::string(key));
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(i), std::string(value));
    }
}

void MergeKeyedLines(StringList& target, const StringList& source, char keySeparator,
                     std::string_view valueSeparator) {
    StringList keys;
    StringList values;
    auto mergeLine = [&](const std::string& line) {
        auto [key, value] = SplitAtFirst(line, keySeparator);
        MergeKeyedValue(key, value, keys, values, valueSeparator);
    };
    for (const std::string& line : target) mergeLine(line);
    for (const std::string& line : source) mergeLine(line);
    target.clear();
    target.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string line;
        line.reserve(keys[i].size() + 1 + values[i].size());
        line.append(keys[i]);
        line.push_back(keySeparator);
        line.append(values[i]);
        target.push_back(std::move(line));
    }
}

void AppendDistinct(StringList& target, StringList& source) {
    for (std::string& item : source) target.push_back(std::move(item));
    source.clear();
    struct Less {
        bool operator()(std::string_view a, std::string_view b) const { return TextLess(a, b); }
    };
    std::set<std::string_view, Less> seen;
    for (const std::string& item : target) {
        if (seen.insert(item).second) source.push_back(item);
    }
    target = source;
}

// ---- line layer ----

std::string ScrambleLine(std::string_view line) {
    std::string out(line);
    const std::size_t n = out.size();
    // Positions are 1-based in the format: byte k and byte n+1-k swap for odd k <= n div 2.
    for (std::size_t k = 1; k <= n / 2; k += 2) std::swap(out[k - 1], out[n - k]);
    return out;
}

void ScrambleLines(StringList& lines) {
    for (std::string& line : lines) line = ScrambleLine(line);
}

StringList SplitLines(std::string_view bytes) {
    StringList lines;
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    const std::size_t n = bytes.size();
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < n) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
            ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string JoinLinesCrLf(const StringList& lines) {
    std::size_t total = 0;
    for (const std::string& line : lines) total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const std::string& line : lines) {
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

// ---- files ----

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return !S_ISDIR(st.st_mode);
}

namespace {
// Opens a file for reading only when it is a regular file. A lexicon path may name a FIFO
// (open would wait for a writer forever) or a device (/dev/zero never ends, /dev/urandom fills
// the memory): those are refused at once with "Cannot open file <path>". O_NONBLOCK only keeps
// the open of a FIFO from waiting; a regular file reads the same with or without it.
int OpenRegularForReading(const std::string& path) {
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) ThrowCannotOpen(path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ThrowCannotOpen(path);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}
} // namespace

std::string ReadWholeFile(const std::string& path) {
    const int fd = OpenRegularForReading(path);
    std::string out;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        out.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buf[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            ThrowCannotOpen(path);
        }
        if (got == 0) break;
        out.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return out;
}

std::size_t FileSizeOf(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::size_t>(st.st_size);
}

void ForEachFileLine(const std::string& path, const std::function<void(std::string_view)>& sink) {
    const int fd = OpenRegularForReading(path);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    LineSplitter splitter;
    std::string buf(std::size_t(1) << 20, '\0');
    for (;;) {
        const ssize_t got = ::read(fd, buf.data(), buf.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowCannotOpen(path);
        }
        if (got == 0) break;
        splitter.Feed(std::string_view(buf.data(), static_cast<std::size_t>(got)), sink);
    }
    splitter.Finish(sink);
}

namespace {
std::atomic<FileSyncObserver> g_fileSyncObserver{nullptr};
std::atomic<FileWriter> g_fileWriter{nullptr};

bool WriteAll(int fd, std::string_view bytes) {
    const FileWriter writer = g_fileWriter.load();
    while (!bytes.empty()) {
        const ssize_t put = writer ? ssize_t(writer(fd, bytes.data(), bytes.size()))
                                   : ::write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// A temporary file of an earlier write of `target` that was killed half-way: 'law.qbs' leaves
// 'law.qbs.tmpA1b2C3' (mkstemp's six letters or digits) beside it, 11 of 75 kills of a convert.
// Such a file is removed only when it is this user's, untouched for a minute and unlocked: a
// write in progress holds a lock on its temporary file from the moment it is made until it is
// closed, and the minute covers the instants before the lock is taken and after it is let go
// (then the rename follows at once). Another file, 'law.qbs.tmp1' or 'law.qbs.bak', is left.
void RemoveStaleTemporaries(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const time_t now = ::time(nullptr);
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        if (!std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            }))
            continue;
        const std::string path = (dir == "/" ? "" : dir) + "/" + std::string(name);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            now - st.st_mtime >= 60 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(d);
}

[[noreturn]] void ThrowCannotWrite(const std::string& path, int error, bool hadOld) {
    // A full disk (or a full quota) is the user's to fix, and the plain "Cannot create file"
    // hid it.
    if (error == ENOSPC || error == EDQUOT)
        throw FileError("磁盘已满，不能写入文件" + path + (hadOld ? "；原来的文件保持不变。" : "。"));
    ThrowCannotCreate(path);
}

int SyncToDisk(int fd) {
    if (FileSyncObserver observe = g_fileSyncObserver.load()) observe();
    return ::fsync(fd);
}
} // namespace

void SetFileSyncObserver(FileSyncObserver observer) { g_fileSyncObserver.store(observer); }
void SetFileWriter(FileWriter writer) { g_fileWriter.store(writer); }

void WriteWholeFileSafely(const std::string& path, std::string_view bytes, int mode) {
    if (path.empty()) ThrowCannotCreate(path);
    // Write through a symbolic link to the file it names, so the link survives the rename.
    std::string target = path;
    {
        struct stat lst;
        if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                target = real;
                std::free(real);
            }
        }
    }
    struct stat old;
    const bool hadOld = ::stat(target.c_str(), &old) == 0 && !S_ISDIR(old.st_mode);
    RemoveStaleTemporaries(target);

    std::string tmp = target + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) ThrowCannotWrite(path, errno, hadOld);
    // Held until the close: RemoveStaleTemporaries of another write leaves this file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    bool ok = true;
    int error = 0;
    // mkstemp creates the file 0600; give it the mode asked for, the old file's mode, or the
    // usual mode of a new one.
    mode_t finalMode;
    if (mode >= 0) {
        finalMode = mode_t(mode) & 07777;
    } else if (hadOld) {
        finalMode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        finalMode = 0666 & ~mask;
    }
    const auto failed = [&] {
        if (ok) error = errno;
        ok = false;
    };
    if (::fchmod(fd, finalMode) != 0) failed();
    if (ok && !WriteAll(fd, bytes)) failed();
    if (ok && SyncToDisk(fd) != 0) failed();
    if (::close(fd) != 0) failed();
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) failed();
    if (!ok) {
        ::unlink(tmp.c_str());
        ThrowCannotWrite(path, error, hadOld);
    }
    // Make the rename itself durable.
    std::string dir = target;
    const std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : dir.substr(0, slash));
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        SyncToDisk(dfd);
        ::close(dfd);
    }
}

} // namespace qb
