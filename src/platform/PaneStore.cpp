#include "PaneStore.h"

#include <QStringDecoder>

namespace qb {

namespace {
constexpr QByteArrayView kHead = "quillbridge-panes 1\n";

// Reads "<word> <number>[ <number>]\n" at `pos`; false when the line is not exactly that.
bool ReadLine(QByteArrayView bytes, qsizetype& pos, QByteArrayView word, long long* a, long long* b) {
    const qsizetype end = bytes.indexOf('\n', pos);
    if (end < 0) return false;
    const QByteArrayView line = bytes.sliced(pos, end - pos);
    pos = end + 1;
    if (!line.startsWith(word) || line.size() <= word.size() || line[word.size()] != ' ')
        return false;
    const QByteArrayView rest = line.sliced(word.size() + 1);
    const qsizetype space = rest.indexOf(' ');
    if ((space >= 0) != (b != nullptr)) return false;
    // Digits only: toLongLong would also take "+5" or " 5".
    auto number = [](QByteArrayView digits, long long* out) {
        if (digits.isEmpty() || digits.size() > 12) return false;
        long long v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        *out = v;
        return true;
    };
    if (!b) return number(rest, a);
    return number(rest.first(space), a) && number(rest.sliced(space + 1), b);
}

bool ReadText(QByteArrayView bytes, qsizetype& pos, QByteArrayView word, QString& out) {
    long long n = 0;
    if (!ReadLine(bytes, pos, word, &n, nullptr)) return false;
    if (n > bytes.size() - pos - 1 || bytes[pos + qsizetype(n)] != '\n') return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = utf8(bytes.sliced(pos, qsizetype(n)));
    if (utf8.hasError()) return false;
    pos += qsizetype(n) + 1;
    return true;
}
} // namespace

QByteArray PaneStateToBytes(const TPaneState& state, const QString& document) {
    const QByteArray source = state.source.toUtf8();
    const QByteArray target = state.target.toUtf8();
    QByteArray out;
    out.reserve(source.size() + target.size() + 80);
    out += kHead;
    out += "selection " + QByteArray::number(state.selStart) + ' ' +
           QByteArray::number(state.selLength) + '\n';
    out += "source " + QByteArray::number(source.size()) + '\n' + source + '\n';
    out += "target " + QByteArray::number(target.size()) + '\n' + target + '\n';
    if (!document.isEmpty()) {
        const QByteArray path = document.toUtf8();
        out += "document " + QByteArray::number(path.size()) + '\n' + path + '\n';
    }
    return out;
}

std::optional<TPaneState> PaneStateFromBytes(QByteArrayView bytes, QString* document) {
    if (!bytes.startsWith(kHead)) return std::nullopt;
    qsizetype pos = kHead.size();
    TPaneState state;
    long long start = 0, length = 0;
    if (!ReadLine(bytes, pos, "selection", &start, &length)) return std::nullopt;
    if (start > 0x7FFFFFFF || length > 0x7FFFFFFF) return std::nullopt;
    state.selStart = int(start);
    state.selLength = int(length);
    if (!ReadText(bytes, pos, "source", state.source)) return std::nullopt;
    if (!ReadText(bytes, pos, "target", state.target)) return std::nullopt;
    QString path;
    if (pos != bytes.size() && !ReadText(bytes, pos, "document", path)) return std::nullopt;
    if (pos != bytes.size()) return std::nullopt;
    if (document) *document = path;
    return state;
}

} // namespace qb
