// Coverage against an independent reader: every HTML page under /usr/share/doc read by Python's
// html.parser and by the program. Every visible character the parser finds (outside <script>,
// <style>, <template>) must be in exactly one unit or in a piece the reader said it skipped;
// the text of a placeholder counts as its unit's ("Use {1} now." holds the "ls" of <code>ls</code>).
#include "Document.h"
#include "TestFiles.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace qb::doc;
namespace fs = std::filesystem;

namespace {

// White space as both sides count it: ASCII's and U+00A0, U+2000-U+200B, U+202F, U+205F,
// U+3000, U+FEFF. What is left of a text is what the comparison sees.
std::string Solid(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == ' ' || (c >= '\t' && c <= '\r')) {
            ++i;
            continue;
        }
        const std::string_view rest = s.substr(i);
        std::size_t space = 0;
        if (rest.substr(0, 2) == "\xC2\xA0")
            space = 2;
        else if (rest.size() >= 3 && rest.substr(0, 2) == "\xE2\x80" &&
                 (static_cast<unsigned char>(rest[2]) <= 0x8B ||
                  static_cast<unsigned char>(rest[2]) == 0xAF))
            space = 3;
        else if (rest.substr(0, 3) == "\xE2\x81\x9F" || rest.substr(0, 3) == "\xE3\x80\x80" ||
                 rest.substr(0, 3) == "\xEF\xBB\xBF")
            space = 3;
        if (space) {
            i += space;
            continue;
        }
        out += s[i++];
    }
    return out;
}

// The text a browser shows of markup bytes held in a placeholder or a skipped piece: outside
// tags, comments, scripts and styles, references decoded.
std::string Shown(std::string_view raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size();) {
        // "<" starts markup only before a letter, '/', '!' or '?': "<%= x %>" is text.
        const char next = i + 1 < raw.size() ? raw[i + 1] : ' ';
        if (raw[i] != '<' || !(std::isalpha(static_cast<unsigned char>(next)) || next == '/' ||
                               next == '!' || next == '?')) {
            text += raw[i++];
            continue;
        }
        if (raw.compare(i, 4, "<!--") == 0) {
            const std::size_t e = raw.find("-->", i + 4);
            i = e == std::string_view::npos ? raw.size() : e + 3;
            continue;
        }
        const std::size_t e = raw.find('>', i);
        if (e == std::string_view::npos) break;
        std::string name;
        for (std::size_t k = i + 1; k < e && std::isalpha(static_cast<unsigned char>(raw[k])); ++k)
            name += char(std::tolower(static_cast<unsigned char>(raw[k])));
        i = e + 1;
        if (name == "script" || name == "style" || name == "template") {
            const std::size_t close = raw.find("</" + name, i);
            i = close == std::string_view::npos ? raw.size() : close;
        }
    }
    return HtmlUnescape(text);
}

// The program's side, in the order of the file: text units with their lone placeholders shown,
// and the skipped pieces.
std::string Ours(const Document& d) {
    const std::string& part = d.parts[0].text;
    std::vector<std::pair<std::size_t, std::string>> items;
    for (const Unit& u : d.units) {
        // An attribute's unit (alt, title) lies inside a start tag: not text the parser reports.
        const std::size_t lt = part.rfind('<', u.begin), gt = part.rfind('>', u.begin);
        if (u.begin > 0 && (part[u.begin - 1] == '"' || part[u.begin - 1] == '\'') &&
            lt != std::string::npos && (gt == std::string::npos || gt < lt))
            continue;
        std::string text;
        for (std::size_t i = 0; i < u.text.size(); ++i) {
            std::size_t j = i + 1, n = 0;
            const bool close = j < u.text.size() && u.text[j] == '/';
            if (close) ++j;
            const std::size_t digits = j;
            while (j < u.text.size() && std::isdigit(static_cast<unsigned char>(u.text[j])))
                n = n * 10 + std::size_t(u.text[j++] - '0');
            if (u.text[i] == '{' && j > digits && j < u.text.size() && u.text[j] == '}' && n >= 1 &&
                n <= u.tags.size()) {
                const Tag& t = u.tags[n - 1];
                if (!close && !t.paired)
                    text += t.openBegin == kNoRange ? t.open
                                                    : Shown(std::string_view(part).substr(
                                                          t.openBegin, t.openEnd - t.openBegin));
                i = j;
                continue;
            }
            text += u.text[i];
        }
        items.emplace_back(u.begin, Solid(text));
    }
    for (const Skipped& s : d.skipped)
        items.emplace_back(s.begin,
                           Solid(Shown(std::string_view(part).substr(s.begin, s.end - s.begin))));
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& [at, text] : items) out += text;
    return out;
}

std::vector<std::string> Pages() {
    std::vector<std::string> out;
    for (const std::string& root :
         {std::string("/usr/share/doc"), std::string(QB_TEST_DATA_DIR) + "/documents"}) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            const std::string ext = it->path().extension().string();
            if ((ext == ".html" || ext == ".htm" || ext == ".xhtml") && it->is_regular_file(ec) &&
                !it->is_symlink(ec) && it->file_size(ec) < (16u << 20))
                out.push_back(it->path().string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(HtmlCoverage, EveryVisibleCharacterOfTheSystemsPagesIsInOneUnitOrSkipped) {
    const std::vector<std::string> pages = Pages();
    if (pages.empty()) GTEST_SKIP() << "no HTML pages under /usr/share/doc";
    qbtest::TempDir dir;
    std::string list;
    for (const std::string& p : pages) list += p + "\n";
    qbtest::WriteFile(dir / "pages.txt", list);
    // Debian's own Python: a python3 earlier on PATH may be another build.
    const std::string script = std::string(QB_TEST_DATA_DIR) + "/../documents/html_visible.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + dir / "pages.txt" + " > " +
                           dir / "visible.json")
                              .c_str()),
              0);
    const std::string json = qbtest::ReadFile(dir / "visible.json");
    const QJsonObject visible = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    ASSERT_EQ(std::size_t(visible.size()), pages.size());

    std::size_t words = 0, missing = 0, pagesMissing = 0, read = 0;
    for (const std::string& path : pages) {
        Document d;
        try {
            d = Read(Format::Html, qbtest::ReadFile(path));
        } catch (const DocError& e) {
            ADD_FAILURE() << path << ": " << e.what();
            continue;
        }
        ++read;
        const std::string theirs =
            visible.value(QString::fromStdString(path)).toString().toStdString();
        const std::string ours = Ours(d);
        // Each word the parser sees, found in order in the program's text: a word missing there
        // is text no unit holds; the program's text being longer is text held twice.
        std::size_t at = 0, lost = 0, count = 0;
        std::string firstLost;
        std::string word;
        auto check = [&] {
            if (word.empty()) return;
            const std::string w = Solid(word);
            word.clear();
            if (w.empty()) return;
            ++count;
            const std::size_t found = ours.find(w, at);
            if (found != std::string::npos && found - at <= 4096) {
                at = found + w.size();
            } else {
                ++lost;
                if (firstLost.size() < 200) firstLost += " " + w;
            }
        };
        for (char c : theirs) {
            if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f')
                check();
            else
                word += c;
        }
        check();
        words += count;
        missing += lost;
        if (lost) ++pagesMissing;
        EXPECT_EQ(lost, 0u) << path << ": " << lost << " of " << count
                            << " visible words in no unit:" << firstLost;
        EXPECT_EQ(ours.size(), Solid(theirs).size())
            << path << ": text held twice, or not the parser's";
    }
    std::printf("pages %zu (read %zu), visible words %zu, missing %zu on %zu pages\n", pages.size(),
                read, words, missing, pagesMissing);
}
