#include "MemoryJournal.h"

#include "MyUtils.h"

#include <cerrno>
#include <charconv>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb::tm {

namespace {

void Escape(std::string_view text, std::string& out) {
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out.push_back(c);
        }
    }
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\': out.push_back('\\'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        default: return false;
        }
    }
    return true;
}

} // namespace

std::string JournalLine(const KeptPair& pair) {
    std::string out = std::to_string(pair.when);
    out.push_back('\t');
    Escape(pair.source, out);
    out.push_back('\t');
    Escape(pair.target, out);
    out.push_back('\n');
    return out;
}

std::vector<KeptPair> ReadJournal(std::string_view bytes) {
    std::vector<KeptPair> out;
    std::size_t at = 0;
    for (std::size_t end; (end = bytes.find('\n', at)) != std::string_view::npos; at = end + 1) {
        const std::string_view line = bytes.substr(at, end - at);
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos)
            continue;
        KeptPair p;
        const auto [ptr, ec] = std::from_chars(line.data(), line.data() + tab1, p.when);
        if (ec != std::errc() || ptr != line.data() + tab1) continue;
        if (!Unescape(line.substr(tab1 + 1, tab2 - tab1 - 1), p.source) ||
            !Unescape(line.substr(tab2 + 1), p.target) || p.source.empty())
            continue;
        out.push_back(std::move(p));
    }
    return out;
}

std::string JournalPathFor(const std::string& memoryPath) {
    std::string base = memoryPath;
    if (base.size() > 3 && base.ends_with(".db")) base.resize(base.size() - 3);
    return base + "-unwritten.txt";
}

void AppendToJournal(const std::string& path, const std::vector<KeptPair>& pairs) {
    std::string bytes;
    for (const KeptPair& p : pairs) bytes += JournalLine(p);
    const bool existed = FileExists(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) ThrowCannotCreate(path);
    bool ok = true;
    std::string_view rest = bytes;
    while (ok && !rest.empty()) {
        const ssize_t put = ::write(fd, rest.data(), rest.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            ok = false;
            break;
        }
        rest.remove_prefix(std::size_t(put));
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (!ok) ThrowCannotCreate(path);
    if (!existed) {
        // The new file's name is on disk too.
        const std::size_t slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
}

std::vector<KeptPair> ReadJournalFile(const std::string& path) {
    if (!FileExists(path)) return {};
    return ReadJournal(ReadWholeFile(path));
}

} // namespace qb::tm
