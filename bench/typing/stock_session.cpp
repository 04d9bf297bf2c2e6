// The stock pinyin engine of the typing measure, learning as a desktop pinyin input method does:
// the same dictionary, language model and settings (n-best 2, its own ranking, no prediction),
// one engine for the whole run, so what it learns stays for the next sentences.
//   C<TAB>code          ->  its first N candidates, TAB-separated
//   L<TAB>code<TAB>text ->  1 when the text was committed and learned, else 0: the code typed,
//                          the text picked candidate by candidate from the front, and the
//                          selection learned (PinyinContext::learn), as on a commit.
// Usage: stock_session DICT LM [N]
#include <iostream>
#include <libime/core/userlanguagemodel.h>
#include <libime/pinyin/pinyincontext.h>
#include <libime/pinyin/pinyindictionary.h>
#include <libime/pinyin/pinyinime.h>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: stock_session DICT LM [N]\n";
        return 2;
    }
    const size_t n = argc > 3 ? std::stoul(argv[3]) : 10;
    auto dict = std::make_unique<libime::PinyinDictionary>();
    dict->load(libime::PinyinDictionary::SystemDict, argv[1], libime::PinyinDictFormat::Binary);
    auto model = std::make_unique<libime::UserLanguageModel>(argv[2]);
    libime::PinyinIME ime(std::move(dict), std::move(model));
    ime.setNBest(2);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.size() < 2 || line[1] != '\t') {
            std::cout << '\n' << std::flush;
            continue;
        }
        const std::string body = line.substr(2);
        libime::PinyinContext ctx(&ime);
        if (line[0] == 'L') {
            const size_t tab = body.find('\t');
            const std::string text = tab == std::string::npos ? "" : body.substr(tab + 1);
            ctx.type(body.substr(0, tab));
            std::string done;
            bool ok = !text.empty();
            while (ok && !ctx.selected()) {
                const auto& c = ctx.candidates();
                size_t pick = c.size();
                size_t longest = 0;
                for (size_t i = 0; i < c.size(); ++i) {
                    const std::string t = c[i].toString();
                    if (t.size() > longest && text.compare(done.size(), t.size(), t) == 0) {
                        pick = i;
                        longest = t.size();
                    }
                }
                if (pick == c.size()) {
                    ok = false;
                    break;
                }
                done += c[pick].toString();
                ctx.select(pick);
            }
            ok = ok && ctx.selected() && ctx.selectedSentence() == text;
            if (ok) ctx.learn();
            std::cout << (ok ? "1" : "0") << '\n' << std::flush;
            continue;
        }
        ctx.type(body);
        const auto& c = ctx.candidates();
        std::string out;
        for (size_t i = 0; i < c.size() && i < n; ++i) {
            if (i) out += '\t';
            out += c[i].toString();
        }
        std::cout << out << '\n' << std::flush;
    }
}
