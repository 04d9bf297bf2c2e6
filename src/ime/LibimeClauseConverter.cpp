// The whole-clause converter over libime's pinyin decoder and its language model.
//
// One decoder per scheme (全拼, the MS double-pinyin layout, Ziranma), because libime ties the
// double-pinyin layout to the decoder and drops every context's state when it changes. Each
// scheme keeps its own context, so typing one more letter of "womenyinggai" extends the last
// lattice instead of decoding the whole code again, and Backspace shortens it.
//
// libime speaks UTF-8; everything crossing this file's edge is GBK. A reading that holds a
// character GBK cannot store (libime's dictionary has rare CJK Extension characters such as
// 㔀) is dropped rather than shown as '?'.
#include "ClauseConverter.h"
#include "GbkUtf8.h"
#include "MyUtils.h"
#include "SchemeTables.h"

#include <libime/core/historybigram.h>
#include <libime/core/languagemodel.h>
#include <libime/core/prediction.h>
#include <libime/core/userlanguagemodel.h>
#include <libime/pinyin/pinyincontext.h>
#include <libime/pinyin/pinyindictionary.h>
#include <libime/pinyin/pinyinencoder.h>
#include <libime/pinyin/pinyinime.h>
#include <libime/pinyin/shuangpinprofile.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace qb {

namespace {

// The preferred words live in a dictionary of their own after libime's system (0) and user (1)
// dictionaries, so replacing them is one clear().
constexpr std::size_t kPreferredDict = 2;
// Log10 bonus of a preferred word per character. libime scores a word its model does not
// know with a penalty, and most renderings of a sentence (状态码, 返回值) are such words; the
// bonus grows with the word so that 状态码 beats 状态 + 吗 even when 状态 (a sense of
// "status") is preferred too. 1.5 a character lifts "zhuangtaima" from 状态吗 to 状态码, yet
// keeps "womenyinggaizhaoguhaizi" 我们应该照顾孩子 with a dozen senses preferred.
constexpr float kPreferBonusPerChar = 1.5f;
// Readings of one preferred word tried at most (a polyphonic character doubles them).
constexpr std::size_t kMaxWordReadings = 16;
// Preferred words longer than this many characters are left out: no typist types them as one
// clause, and their readings multiply.
constexpr std::size_t kMaxPreferredChars = 8;
// Conversion rows offered per scheme: the clause readings, then the words of the first
// syllables, then single characters; past a hundred rows nobody pages.
constexpr std::size_t kMaxRows = 100;
// Whole readings the library ranks as sentences, as a desktop input method asks for.
constexpr std::size_t kNBest = 2;
// Rows of libime's list looked at for words read from initials that rise past the hundredth
// (SplitGain): 这是 is row 410 of "zs".
constexpr std::size_t kMaxAbbreviationScan = 2000;
// The most a word gains by its cut (log10; SplitGain), so that the scan can stop: 不是 gains
// 0.87, 一个 1.82, and no word of the first 300 rows of any two-initial code more than 2.1.
constexpr float kMaxSplitGain = 2.5f;
// Log10 bonus of a word read from initials that shares a character with a preferred word (a
// sense of the sentence): translators build a rendering from a sense's morphemes, 归档 for
// "archive" whose senses hold 存档 and 档案, and libime ranks 归档 row 79 of "gd". 1 lifts it to
// the first page; 1.5 already pushes the usual words (正确 for "zq") off it for every sense
// character they lack.
constexpr float kSenseCharBonus = 1.0f;
constexpr float kNoScore = std::numeric_limits<float>::infinity();
// Letters of the longest 全拼 code of initials alone that is read a second time, by an engine
// without the preferred words, beside the reading with them. Their bonus bends a reading of
// initials, where nothing but the initials holds a word back: with "package management program"
// preferring 管理处 (and not 管理 or 程序, which lie inside longer senses), "glcx" read 管理处下
// and 管理处小 and never 管理程序, the library's own first reading. Short: a word typed by its
// initials has a few, and a reading of 20 initials is no word anyone types so. The second engine
// decodes on a thread of its own at the same time: read in turn, a short code of initials took
// twice as long (5-8 ms for "zgrmgh").
constexpr std::size_t kMaxPlainReadingKeys = 6;
// Two initials are read as one word, which the library's rows hold whatever the bonus does.
constexpr std::size_t kMinPlainReadingKeys = 3;
// Characters of the longest word the language model is asked about when the typed text is cut
// into words ("打印状态码" ends in 状态 + 码: 状态码 is no word of the model).
constexpr std::size_t kMaxModelWordChars = 6;

struct SchemeEngine {
    std::unique_ptr<libime::PinyinIME> ime;
    std::unique_ptr<libime::PinyinContext> context;
    std::string typed; // what the context holds
    // By word (UTF-8): what SplitGain gave it; the shipped model never changes, so once is enough.
    std::unordered_map<std::string, float> splitGains;
    // Each engine converts its own rows: a converter keeps state between calls, and the engines
    // decode side by side.
    TGbkUtf8 toGbk{TGbkUtf8::Direction::ToGbk};
};

// A thread that runs one job at a time for the caller, who waits for it. Kept for the whole
// run: starting a thread per key press would cost more than it saves.
class Helper {
public:
    Helper() : thread_([this] { Run(); }) {}
    ~Helper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    void Post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
            done_ = false;
        }
        wake_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return done_; });
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || job_; });
            if (stop_) return;
            std::function<void()> job = std::move(job_);
            job_ = nullptr;
            lock.unlock();
            job();
            lock.lock();
            done_ = true;
            wake_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> job_;
    bool done_ = true;
    bool stop_ = false;
    std::thread thread_; // last: it starts running in the constructor
};

class LibimeClauseConverter final : public ClauseConverter {
public:
    explicit LibimeClauseConverter(const ClauseConverterOptions& options)
        : historyPath_(options.historyPath), toUtf8_(TGbkUtf8::Direction::ToUtf8) {}

    bool Init(const ClauseConverterOptions& options) {
        if (!toUtf8_.Ok()) return false;
        for (const SchemeEngine& e : engines_)
            if (!e.toGbk.Ok()) return false;
        const std::string dictPath = PathOr(options.dictPath, "QB_LIBIME_DICT", kDefaultDictPath);
        const std::string modelPath = PathOr(options.modelPath, "QB_LIBIME_MODEL", "");
        if (!FileExists(dictPath) || (!modelPath.empty() && !FileExists(modelPath))) return false;
        // The dictionary is parsed once from memory per decoder: reading the file three
        // times from disk costs more than copying it.
        dictBytes_ = ReadWholeFile(dictPath);
        // Without a path given, the library finds its own model where it was installed
        // (/usr/lib/<its architecture>/libime/zh_CN.lm on Debian, or a folder of the
        // LIBIME_MODEL_DIRS variable); it throws when there is none.
        model_ =
            modelPath.empty()
                ? libime::DefaultLanguageModelResolver::instance().languageModelFileForLanguage("zh_CN")
                : std::make_shared<libime::StaticLanguageModelFile>(modelPath.c_str());
        profiles_[1] = std::make_shared<libime::ShuangpinProfile>(libime::ShuangpinBuiltinProfile::MS);
        profiles_[2] =
            std::make_shared<libime::ShuangpinProfile>(libime::ShuangpinBuiltinProfile::Ziranma);
        shippedModel_ = std::make_unique<libime::LanguageModel>(model_);
        BuildSyllables();
        MakeEngine(0);
        if (!options.loadInBackground) {
            LoadRest();
            return true;
        }
        // The start-up waits for 全拼 alone (a third of the dictionaries' parse); the double-pinyin
        // decoders, the prediction model (zh_CN.lm.predict, 5 MB) and the words' readings follow
        // on a thread of their own, and no key waits for them: until they are there, those
        // schemes give no rows and prediction offers the sentence's senses alone.
        restLoad_ = std::async(std::launch::async, [this] { LoadRest(); });
        return true;
    }

    void Convert(int scheme, std::string_view code, std::vector<ClauseCandidate>& out) override {
        out.clear();
        SchemeEngine* e = Engine(scheme);
        if (!e || code.empty()) return;
        if (!Typable(scheme, code)) return;
        // Started first, so that it decodes while this thread does.
        // RestReady first: the background load writes plain_ until then.
        const bool plain = scheme == kQuanpin && code.size() >= kMinPlainReadingKeys &&
                           code.size() <= kMaxPlainReadingKeys && InitialsOnly(code) && RestReady() &&
                           plain_.ime && e->ime->dict()->trie(kPreferredDict)->size() > 0;
        // Only a 全拼 conversion touches plainRows_: the other schemes' run on helper threads
        // meanwhile.
        if (plain) {
            plainRows_.clear();
            if (!plainHelper_ && std::thread::hardware_concurrency() > 1)
                plainHelper_ = std::make_unique<Helper>();
            if (plainHelper_) plainHelper_->Post([this, code] { ReadPlain(code); });
        }
        const bool fed = Feed(*e, code);
        if (plain) {
            if (plainHelper_)
                plainHelper_->Wait();
            else
                ReadPlain(code);
        }
        if (!fed) return;
        std::string gbk;
        std::size_t index = 0;
        // Past the hundredth row only a word of the whole code read from initials that its gain
        // lifts above the lowest such word kept: 不会 is libime's row 186 of "bh".
        float lowestWhole = std::numeric_limits<float>::infinity();
        for (const libime::SentenceResult& r : e->context->candidates()) {
            const bool best = index++ < kNBest;
            const bool beyond = out.size() >= kMaxRows;
            // libime lists these words by score: past the point where no gain could lift one
            // above the lowest kept, none will.
            if (beyond && (index > kMaxAbbreviationScan || lowestWhole == kNoScore ||
                           r.score() + kMaxSplitGain + kSenseCharBonus <= lowestWhole))
                break;
            if (r.sentence().empty()) continue;
            const std::size_t end = r.sentence().back()->to()->index();
            if (end == 0 || end > code.size()) continue;
            const bool whole = end >= code.size();
            if (beyond && (!whole || r.sentence().size() != 1)) continue;
            ClauseCandidate c{std::string(), end, r.score()};
            c.best = best && whole;
            Classify(scheme, code, r, c);
            if (c.abbreviation && !c.best && whole && r.sentence().size() == 1) {
                const std::string& word = r.sentence().front()->word();
                c.score += SplitGain(*e, word);
                if (SharesSenseChar(word)) c.score += kSenseCharBonus;
            }
            if (beyond && (!c.abbreviation || c.score <= lowestWhole)) continue;
            // libime passes a letter it cannot read through as itself ("脏a"): such a row is
            // no reading.
            if (!e->toGbk.Convert(r.toString(), gbk) || !AllHanzi(gbk)) continue;
            c.text = gbk;
            if (whole && !c.best && !beyond) lowestWhole = std::min(lowestWhole, c.score);
            out.push_back(std::move(c));
        }
        // The plain readings after the best ones, when the best came from initials alone.
        if (plain && !out.empty() && out.front().best && out.front().abbreviation) {
            std::size_t at = 0;
            while (at < out.size() && out[at].best) ++at;
            for (ClauseCandidate& c : plainRows_)
                if (std::none_of(out.begin(), out.end(),
                                 [&](const ClauseCandidate& o) { return o.text == c.text; }))
                    out.insert(out.begin() + std::ptrdiff_t(at++), std::move(c));
        }
        // The words of the whole code, in their places among the other rows, by the score with
        // the gain: "bs" offers 不是 on row 6, not row 56.
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < out.size(); ++i)
            if (!out[i].best && out[i].codeLength >= code.size()) at.push_back(i);
        std::vector<ClauseCandidate> whole;
        whole.reserve(at.size());
        for (std::size_t i : at) whole.push_back(std::move(out[i]));
        std::stable_sort(
            whole.begin(), whole.end(),
            [](const ClauseCandidate& a, const ClauseCandidate& b) { return a.score > b.score; });
        for (std::size_t k = 0; k < at.size(); ++k) out[at[k]] = std::move(whole[k]);
    }

    // The plain engine's best readings of the whole code into plainRows_ (their text GBK).
    void ReadPlain(std::string_view code) {
        if (!Feed(plain_, code)) return;
        std::string gbk;
        std::size_t index = 0;
        for (const libime::SentenceResult& r : plain_.context->candidates()) {
            if (index++ >= kNBest) break;
            if (r.sentence().empty() || r.sentence().back()->to()->index() < code.size()) continue;
            if (!plain_.toGbk.Convert(r.toString(), gbk) || !AllHanzi(gbk)) continue;
            ClauseCandidate c{gbk, code.size(), r.score()};
            c.best = true;
            Classify(kQuanpin, code, r, c);
            plainRows_.push_back(std::move(c));
        }
    }

    bool SharesSenseChar(const std::string& utf8) const {
        const std::vector<std::size_t> bounds = CharBounds(utf8);
        for (std::size_t k = 1; k < bounds.size(); ++k)
            if (senseChars_.count(utf8.substr(bounds[k - 1], bounds[k] - bounds[k - 1])))
                return true;
        return false;
    }

    // The UTF-8 text's character starts, then its end: "归档" gives 0, 3, 6.
    static std::vector<std::size_t> CharBounds(std::string_view utf8) {
        std::vector<std::size_t> bounds;
        for (std::size_t i = 0; i < utf8.size(); ++i)
            if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) bounds.push_back(i);
        bounds.push_back(utf8.size());
        return bounds;
    }

    // How much likelier the model finds a word it knows read as its best cut into its words
    // than read as one word. The model learned from cut text: 不是 mostly came as 不 + 是, so
    // the word alone scores -5.17 and its cut -4.30, and libime put 不是 on row 56 of "bs",
    // behind 病逝 and 鄙视. Only for words the model knows: a dictionary phrase it does not know
    // (被水, 与各) would rise on the strength of its common characters. 0 when nothing gains.
    float SplitGain(SchemeEngine& e, const std::string& utf8) {
        auto found = e.splitGains.find(utf8);
        if (found != e.splitGains.end()) return found->second;
        const libime::LanguageModel& lm = *shippedModel_;
        float gain = 0;
        const libime::WordIndex index = lm.index(utf8);
        if (!lm.isUnknown(index, utf8)) {
            const std::vector<std::size_t> bounds = CharBounds(utf8);
            const std::size_t n = bounds.size() - 1;
            libime::State next;
            const float alone = lm.score(lm.nullState(), libime::WordNode(utf8, index), next);
            // Best cut by Viterbi over character places, one model state kept per place.
            std::vector<float> best(n + 1, -std::numeric_limits<float>::infinity());
            std::vector<libime::State> states(n + 1);
            best[0] = 0;
            states[0] = lm.nullState();
            for (std::size_t a = 0; a < n; ++a) {
                if (best[a] == -std::numeric_limits<float>::infinity()) continue;
                for (std::size_t b = a + 1; b <= n && b - a <= kMaxModelWordChars; ++b) {
                    const std::string_view w(utf8.data() + bounds[a], bounds[b] - bounds[a]);
                    const libime::WordIndex wi = lm.index(w);
                    if (b > a + 1 && lm.isUnknown(wi, w)) continue;
                    const float v = best[a] + lm.score(states[a], libime::WordNode(w, wi), next);
                    if (v > best[b]) {
                        best[b] = v;
                        states[b] = next;
                    }
                }
            }
            gain = std::clamp(best[n] - alone, 0.0f, kMaxSplitGain);
        }
        e.splitGains.emplace(utf8, gain);
        return gain;
    }

    // A new initial costs each decoder 1.5-3 ms ("dayinz": every word whose last syllable may
    // begin with z), and with 全拼, 双拼 and 自然 all on that was paid three times in a row on
    // one key press. The engines share nothing they write (each has its own dictionary,
    // history and context; the language model file is only read), so the schemes after the
    // first are decoded by helper threads while this thread decodes the first.
    void ConvertSchemes(const std::vector<int>& schemes, std::string_view code,
                        std::vector<std::vector<ClauseCandidate>>& out) override {
        out.resize(schemes.size());
        std::array<bool, 3> seen{};
        bool distinct = true;
        for (int id : schemes) {
            SchemeEngine* e = Engine(id);
            if (!e) continue;
            bool& s = seen[static_cast<std::size_t>(e - engines_.data())];
            distinct = distinct && !s;
            s = true;
        }
        if (schemes.size() < 2 || schemes.size() > 3 || !distinct || code.empty() || !RestReady()) {
            ClauseConverter::ConvertSchemes(schemes, code, out);
            return;
        }
        if (helpers_.empty()) {
            // One helper per further core, at most one per further scheme; on one core, none.
            const unsigned cores = std::thread::hardware_concurrency();
            const std::size_t n =
                cores > 1 ? std::min<std::size_t>(cores - 1, engines_.size() - 1) : 0;
            for (std::size_t i = 0; i < n; ++i) helpers_.push_back(std::make_unique<Helper>());
            if (helpers_.empty()) helpers_.push_back(nullptr); // decode in turn on this thread
        }
        // A scheme that cannot read the code from whole syllables reads it only padded with
        // bare initials ("dayinzhuangtai" in the MS layout, where gt is no syllable; an MS code
        // with v in 全拼), and the candidate list drops such readings while another scheme reads
        // the code whole: that scheme's decoder is not asked at all then. A full-pinyin
        // typist's key press with the default schemes decodes once instead of three times.
        std::array<bool, 3> whole{};
        bool anyWhole = false;
        // A scheme stays left out while the code grows from where it was left out: a layout's
        // single-key syllables (a, e, o) can make a longer code readable again for a key or two,
        // and each time it came back it would decode the whole code anew.
        auto leftOut = [&](std::size_t i) -> std::string& {
            return leftOut_[static_cast<std::size_t>(schemes[i] - 1)];
        };
        std::array<bool, 3> stillOut{};
        for (std::size_t i = 0; i < schemes.size(); ++i) {
            const std::string& since = leftOut(i);
            stillOut[i] = !since.empty() && code.size() > since.size() &&
                          code.substr(0, since.size()) == since;
            whole[i] = !stillOut[i] && ReadsWhole(schemes[i], code);
            anyWhole = anyWhole || whole[i];
        }
        // One key alone is the same initial (or a, e, o) in every scheme (i, u and v, which 全拼
        // cannot read, are ch, sh and zh in both double-pinyin layouts): its words are decoded
        // once, by the first scheme that reads it.
        // Likewise a code the two double-pinyin layouts read as the same syllables, key pair by
        // key pair ("wo" is wo in both).
        const bool oneKey = code.size() == 1;
        std::vector<std::size_t> asked;
        for (std::size_t i = 0; i < schemes.size(); ++i) {
            bool same = oneKey && !asked.empty();
            for (std::size_t j : asked)
                same = same || (schemes[i] != 1 && schemes[j] != 1 && SameSyllables(code));
            const bool leaveOut = stillOut[i] || (anyWhole && !whole[i]);
            if (leaveOut || same) {
                out[i].clear();
                std::string& since = leftOut(i);
                if (!leaveOut)
                    since.clear();
                else if (!stillOut[i])
                    since.assign(code);
            } else {
                asked.push_back(i);
                leftOut(i).clear();
            }
        }
        // On two cores: 全拼 and 自然 here, 双拼 on the helper.
        std::vector<std::exception_ptr> failed(schemes.size());
        auto job = [&, code](std::size_t i) {
            try {
                Convert(schemes[i], code, out[i]);
            } catch (...) {
                out[i].clear();
                failed[i] = std::current_exception();
            }
        };
        std::vector<Helper*> busy;
        std::vector<std::size_t> mine;
        for (std::size_t i : asked) {
            Helper* h = !mine.empty() && busy.size() < helpers_.size() ? helpers_[busy.size()].get()
                                                                       : nullptr;
            if (!h) {
                mine.push_back(i);
                continue;
            }
            h->Post([&job, i] { job(i); });
            busy.push_back(h);
        }
        for (std::size_t i : mine) job(i);
        for (Helper* h : busy) h->Wait();
        for (const std::exception_ptr& f : failed)
            if (f) std::rethrow_exception(f);
    }

    void SetPreferredWords(const std::vector<std::string>& words) override {
        WaitForRest();
        for (SchemeEngine& e : engines_)
            if (e.ime) e.ime->dict()->clear(kPreferredDict);
        std::unordered_set<std::string> seen;
        std::string utf8;
        senseChars_.clear();
        for (const std::string& word : words) {
            if (!seen.insert(word).second) continue;
            if (!toUtf8_.Convert(word, utf8)) continue;
            const std::vector<std::size_t> bounds = CharBounds(utf8);
            for (std::size_t k = 1; k < bounds.size(); ++k)
                if (bounds[k] - bounds[k - 1] > 1)
                    senseChars_.insert(utf8.substr(bounds[k - 1], bounds[k] - bounds[k - 1]));
            std::vector<std::string> readings;
            if (!WordReadings(utf8, readings)) continue;
            for (SchemeEngine& e : engines_)
                for (const std::string& r : readings)
                    if (e.ime)
                        e.ime->dict()->addWord(kPreferredDict, r, utf8,
                                               kPreferBonusPerChar * float(CountChars(utf8)));
        }
        ResetContexts();
    }

    void Learn(int scheme, std::string_view code, const ClauseCandidate& picked) override {
        WaitForRest();
        std::vector<std::string> segmented;
        SchemeEngine* e = Engine(scheme);
        std::string gbk;
        if (e && Typable(scheme, code) && Feed(*e, code)) {
            for (const libime::SentenceResult& r : e->context->candidates()) {
                if (r.sentence().empty() || r.sentence().back()->to()->index() != picked.codeLength)
                    continue;
                if (!e->toGbk.Convert(r.toString(), gbk) || gbk != picked.text) continue;
                for (const libime::LatticeNode* node : r.sentence())
                    segmented.push_back(node->word());
                break;
            }
        }
        if (segmented.empty()) {
            std::string utf8;
            if (!toUtf8_.Convert(picked.text, utf8) || utf8.empty()) return;
            segmented.push_back(utf8);
        }
        for (SchemeEngine* s : AllEngines())
            if (s->ime) s->ime->model()->history().add(segmented);
        ResetContexts();
    }

    void LearnText(std::string_view text) override {
        WaitForRest();
        SchemeEngine* e = Engine(kQuanpin);
        if (!e || !e->context) return;
        std::string utf8;
        bool learned = false;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t end = i;
            while (IsHanziAt(text, end)) end += 2;
            if (end == i) {
                i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
                continue;
            }
            const std::string_view run = text.substr(i, end - i);
            i = end;
            if (run.size() < 4 || !toUtf8_.Convert(run, utf8)) continue; // one character: no word
            std::string code;
            bool spelled = true;
            for (std::size_t k = 0; k < utf8.size() && spelled;) {
                const auto b = static_cast<unsigned char>(utf8[k]);
                const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
                auto it = readings_.find(utf8.substr(k, len));
                spelled = it != readings_.end() && !it->second.empty();
                if (spelled) code += (code.empty() ? "" : "'") + it->second.front();
                k += len;
            }
            if (!spelled || !Feed(*e, code)) continue;
            libime::PinyinContext& c = *e->context;
            std::vector<std::string> words;
            std::string done;
            while (!c.selected()) {
                const auto& rows = c.candidates();
                std::size_t pick = rows.size(), longest = 0;
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    const std::string t = rows[r].toString();
                    if (t.size() > longest && utf8.compare(done.size(), t.size(), t) == 0) {
                        pick = r;
                        longest = t.size();
                    }
                }
                if (pick == rows.size()) break;
                for (const libime::LatticeNode* node : rows[pick].sentence())
                    words.push_back(node->word());
                done += rows[pick].toString();
                c.select(pick);
            }
            if (done != utf8 || words.empty()) {
                ResetContexts();
                continue;
            }
            for (SchemeEngine* s : AllEngines())
                if (s->ime) s->ime->model()->history().add(words);
            learned = true;
            ResetContexts();
        }
        if (learned) ResetContexts();
    }

    void Predict(std::string_view context, std::size_t max, std::vector<std::string>& out) override {
        out.clear();
        if (max == 0 || !RestReady() || !prediction_) return;
        std::vector<std::string> words;
        ContextWords(context, words);
        std::string gbk;
        for (const std::string& w : prediction_->predict(words, max * 2)) {
            if (out.size() >= max) break;
            if (!engines_[0].toGbk.Convert(w, gbk) || !AllHanzi(gbk)) continue;
            out.push_back(gbk);
        }
    }

    float FollowScore(std::string_view context, std::string_view word) override {
        std::string utf8;
        if (!toUtf8_.Convert(word, utf8) || utf8.empty()) return 0;
        const libime::LanguageModel& lm = *engines_[0].ime->model();
        std::vector<std::string> words;
        ContextWords(context, words);
        libime::State state = words.empty() ? lm.beginState() : lm.nullState(), next;
        for (const std::string& w : words) {
            lm.score(state, libime::WordNode(w, lm.index(w)), next);
            state = next;
        }
        // The word as the model's words, longest first from its start; its first part says how
        // likely the word comes next ("状态码": 状态 after 打印).
        std::vector<std::string> parts;
        SplitModelWords(utf8, false, parts);
        if (parts.empty()) return 0;
        float total = 0;
        for (const std::string& part : parts) {
            total += lm.score(state, libime::WordNode(part, lm.index(part)), next);
            state = next;
        }
        return total / float(parts.size());
    }

    void SplitWords(std::string_view text, std::vector<std::string>& out) override {
        out.clear();
        std::string utf8, gbk;
        if (!toUtf8_.Convert(text, utf8) || utf8.empty()) return;
        // By the shipped model, not what the history learned: once 无效的 was typed it is a
        // word of the history, and "无效的" of "invalid" no longer gave 无效 for "wx".
        std::vector<std::string> parts;
        SplitModelWords(utf8, false, parts, shippedModel_.get());
        for (const std::string& part : parts)
            if (engines_[0].toGbk.Convert(part, gbk)) out.push_back(gbk);
    }

    void ForgetHistory() override {
        WaitForRest();
        for (SchemeEngine* s : AllEngines())
            if (s->ime) s->ime->model()->history().clear();
        ResetContexts();
    }

    void SaveHistory() override {
        if (historyPath_.empty()) return;
        std::ostringstream out;
        engines_[0].ime->model()->history().save(out);
        // The user's data folder may not be there yet (~/.local/share/quillbridge on a first
        // run that never opened the translation memory); a folder that cannot be made is left
        // to the write, which then names the file.
        std::error_code ec;
        const std::filesystem::path parent = std::filesystem::path(historyPath_).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ec);
        WriteWholeFileSafely(historyPath_, out.str(), kPrivateFileMode);
    }

private:
    // The library's data folder as its CMake package gives it (libime-data puts sc.dict there).
    static constexpr const char* kDefaultDictPath = QB_LIBIME_DATADIR "/sc.dict";

    static std::string PathOr(const std::string& given, const char* env, const char* fallback) {
        if (!given.empty()) return given;
        const char* v = std::getenv(env);
        return v && *v ? std::string(v) : std::string(fallback);
    }

    // The engine of a scheme; null for 五笔, and for 双拼 and 自然 while they are still loading.
    SchemeEngine* Engine(int scheme) {
        if (scheme < 1 || scheme > 3 || (scheme > 1 && !RestReady())) return nullptr;
        SchemeEngine& e = engines_[static_cast<std::size_t>(scheme - 1)];
        return e.ime ? &e : nullptr;
    }

    bool RestReady() const { return restReady_.load(std::memory_order_acquire); }
    // Waits for the background load: before anything that changes every engine.
    void WaitForRest() {
        if (restLoad_.valid()) restLoad_.wait();
    }

    // Engine s (0 全拼, 1 the MS layout, 2 Ziranma) with its dictionary parsed from dictBytes_.
    // `into`: another engine for 全拼 (the plain one).
    void MakeEngine(std::size_t s, SchemeEngine* into = nullptr) {
        auto dict = std::make_unique<libime::PinyinDictionary>();
        std::istringstream in(dictBytes_);
        dict->load(libime::PinyinDictionary::SystemDict, in, libime::PinyinDictFormat::Binary);
        dict->addEmptyDict(); // kPreferredDict
        auto ime = std::make_unique<libime::PinyinIME>(
            std::move(dict), std::make_unique<libime::UserLanguageModel>(model_));
        // Configured as a desktop input method ships the library: its own beam and frame
        // size, two whole readings, no fuzzy sounds. Its list is the floor of ours: halving
        // the beam lost 查看器 for "chakanqi" (查看其 came first).
        ime->setNBest(kNBest);
        if (profiles_[s]) ime->setShuangpinProfile(profiles_[s]);
        SchemeEngine& e = into ? *into : engines_[s];
        e.ime = std::move(ime);
        e.context = std::make_unique<libime::PinyinContext>(e.ime.get());
        e.context->setUseShuangpin(s != 0);
        LoadHistory(e);
    }

    // What the first keys can do without: the double-pinyin engines, the prediction model and
    // the readings of the preferred words. A part that fails to load stays off.
    void LoadRest() {
        for (std::size_t s = 1; s < engines_.size(); ++s) {
            try {
                MakeEngine(s);
            } catch (const std::exception&) {
                engines_[s].context.reset();
                engines_[s].ime.reset();
            }
        }
        try {
            MakeEngine(0, &plain_);
        } catch (const std::exception&) {
            plain_.context.reset();
            plain_.ime.reset();
        }
        dictBytes_.clear();
        dictBytes_.shrink_to_fit();
        try {
            // Without the model's .predict file the library throws, and prediction stays off.
            (void)model_->predictionTrie();
            prediction_ = std::make_unique<libime::Prediction>();
            prediction_->setUserLanguageModel(engines_[0].ime->model());
        } catch (const std::exception&) {
            prediction_.reset();
        }
        BuildReadings();
        restReady_.store(true, std::memory_order_release);
    }

    // libime fills a code it cannot read syllable by syllable with initials standing for whole
    // syllables. Only initials: an abbreviation ("jx" 进行). Initials between full syllables:
    // padding ("womfyygl" in the MS layout, whose y is uai, read from w-o m f y y g l). The last
    // piece is never held against a reading: the typist is in the middle of that syllable.
    static void Classify(int scheme, std::string_view code, const libime::SentenceResult& r,
                         ClauseCandidate& c) {
        std::size_t bare = 0, full = 0;
        for (const libime::LatticeNode* node : r.sentence()) {
            const auto& path = node->path();
            for (std::size_t k = 1; k < path.size(); ++k) {
                const std::size_t a = path[k - 1]->index(), b = path[k]->index();
                if (b >= code.size() || b <= a) continue;
                std::string_view piece = code.substr(a, b - a);
                while (!piece.empty() && piece.back() == '\'') piece.remove_suffix(1);
                while (!piece.empty() && piece.front() == '\'') piece.remove_prefix(1);
                if (piece.empty()) continue;
                const bool initial =
                    scheme != kQuanpin
                        ? piece.size() < 2
                        : piece == "zh" || piece == "ch" || piece == "sh" ||
                              (piece.size() == 1 &&
                               std::string_view("aeo").find(piece[0]) == std::string_view::npos);
                ++(initial ? bare : full);
            }
        }
        c.abbreviation = bare > 0 && full == 0;
        c.padded = bare > 0 && full > 0;
    }

    // Whether `code` can be read in `scheme` from whole syllables, the last one perhaps half
    // typed: in 全拼 also from bare initials alone ("jx"); in a double-pinyin layout from its
    // syllable keys (pairs, and the single keys of a, e, o). A code that cannot is read by the
    // library only with bare initials between syllables (Classify: padded).
    bool ReadsWhole(int scheme, std::string_view code) const {
        if (scheme == kQuanpin) return ReadsWholeFullPinyin(code);
        if (scheme != kShuangpin && scheme != kZiranma) return false;
        const auto& keys = syllableKeys_[static_cast<std::size_t>(scheme - 1)];
        const std::size_t n = code.size();
        std::vector<bool> reached(n + 1, false);
        reached[0] = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (!reached[i]) continue;
            if (i + 1 == n) return true; // a last key alone: the syllable is being typed
            if (keys.count(std::string(code.substr(i, 2)))) reached[i + 2] = true;
            if (keys.count(std::string(code.substr(i, 1)))) reached[i + 1] = true;
        }
        return reached[n];
    }

    // Whether both double-pinyin layouts read `code` as the same syllables: key pair by key pair
    // from its start (a last key alone is an initial, the same key in both).
    bool SameSyllables(std::string_view code) const {
        const auto& a = syllablesOfKeys_[1];
        const auto& b = syllablesOfKeys_[2];
        for (std::size_t i = 0; i + 1 < code.size(); i += 2) {
            const std::string pair(code.substr(i, 2));
            const auto ia = a.find(pair), ib = b.find(pair);
            if (ia == a.end() || ib == b.end() || ia->second != ib->second) return false;
        }
        if (code.size() % 2 == 0) return true;
        const std::string last(code.substr(code.size() - 1));
        const auto ia = a.find(last), ib = b.find(last);
        return ia != a.end() && ib != b.end() && ia->second == ib->second;
    }

    bool ReadsWholeFullPinyin(std::string_view code) const {
        const std::size_t n = code.size();
        // full[i]: code[0, i) is whole syllables; bare[i]: it is bare initials.
        std::vector<bool> full(n + 1, false), bare(n + 1, false);
        full[0] = bare[0] = true;
        std::string piece;
        for (std::size_t i = 0; i < n; ++i) {
            if (!full[i] && !bare[i]) continue;
            if (code[i] == '\'') {
                full[i + 1] = full[i + 1] || full[i];
                bare[i + 1] = bare[i + 1] || bare[i];
                continue;
            }
            piece.assign(code.substr(i));
            if (syllablePrefixes_.count(piece))
                return true; // the last syllable, perhaps half typed
            for (std::size_t len = 1; len <= kMaxSyllableLetters && i + len <= n; ++len) {
                piece.assign(code.substr(i, len));
                if (full[i] && syllables_.count(piece)) full[i + len] = true;
                if (bare[i] && initials_.count(piece)) bare[i + len] = true;
            }
        }
        return full[n] || bare[n];
    }

    // The typed forms of every syllable (lü as lv, lüe as lve and lue), their beginnings, the
    // initials, and the keys of each double-pinyin layout that stand for a whole syllable.
    void BuildSyllables() {
        for (char i = libime::PinyinEncoder::firstInitial; i <= libime::PinyinEncoder::lastInitial;
             ++i) {
            const auto initial = static_cast<libime::PinyinInitial>(i);
            const std::string& text = libime::PinyinEncoder::initialToString(initial);
            if (!text.empty()) initials_.insert(text);
            for (char f = libime::PinyinEncoder::firstFinal; f <= libime::PinyinEncoder::lastFinal;
                 ++f) {
                const auto final = static_cast<libime::PinyinFinal>(f);
                if (!libime::PinyinEncoder::isValidInitialFinal(initial, final)) continue;
                const std::string syllable =
                    libime::PinyinEncoder::initialFinalToPinyinString(initial, final);
                for (const char* u : {"v", "u"}) {
                    std::string typed = syllable;
                    for (std::size_t at; (at = typed.find("\xC3\xBC")) != std::string::npos;)
                        typed.replace(at, 2, u);
                    syllables_.insert(typed);
                    for (std::size_t len = 1; len <= typed.size(); ++len)
                        syllablePrefixes_.insert(typed.substr(0, len));
                }
            }
        }
        for (const std::string& s : initials_) syllablePrefixes_.insert(s);
        for (std::size_t e = 1; e < engines_.size(); ++e) {
            const auto& profile = profiles_[e];
            if (!profile) continue;
            for (const auto& [keys, readings] : profile->table()) {
                std::string& spelled = syllablesOfKeys_[e][keys];
                for (const auto& [syllable, fuzzy] : readings) {
                    if (syllable.final() != libime::PinyinFinal::Invalid)
                        syllableKeys_[e].insert(keys);
                    spelled += syllable.toString();
                    spelled += fuzzy == libime::PinyinFuzzyFlag::None ? ' ' : '~';
                }
            }
        }
    }

    // libime takes any byte into its input and reads around it; the schemes' codes are small
    // letters with the apostrophe (全拼's syllable separator) or, in the MS layout, ';' (ing).
    static bool Typable(int scheme, std::string_view code) {
        for (char ch : code) {
            if (ch >= 'a' && ch <= 'z') continue;
            if (scheme == kQuanpin ? ch != '\'' : (scheme != kShuangpin || ch != ';')) return false;
        }
        return code.front() >= 'a' && code.front() <= 'z';
    }

    // No vowel: in 全拼, bare initials ("glcx").
    static bool InitialsOnly(std::string_view code) {
        return code.find_first_of("aeiouv") == std::string_view::npos;
    }

    // Brings the context to `code`, reusing what it holds when one is a prefix of the other.
    bool Feed(SchemeEngine& e, std::string_view code) {
        libime::PinyinContext& c = *e.context;
        const std::string_view held = e.typed;
        if (code.size() >= held.size() && code.substr(0, held.size()) == held) {
            if (code.size() > held.size()) c.type(code.substr(held.size()));
        } else if (held.substr(0, code.size()) == code) {
            c.erase(code.size(), held.size());
        } else {
            c.clear();
            c.type(code);
        }
        e.typed = c.userInput();
        if (e.typed != code) { // a byte the scheme does not take (';' in 全拼, a capital)
            c.clear();
            e.typed.clear();
            return false;
        }
        return true;
    }

    void ResetContexts() {
        for (SchemeEngine* e : AllEngines()) {
            if (!e->context) continue;
            e->context->clear();
            e->typed.clear();
        }
    }

    // The scheme engines and the plain one: all of them learn alike.
    std::array<SchemeEngine*, 4> AllEngines() {
        return {&engines_[0], &engines_[1], &engines_[2], &plain_};
    }

    void LoadHistory(SchemeEngine& e) {
        if (historyPath_.empty() || !FileExists(historyPath_)) return;
        std::string bytes;
        try {
            bytes = ReadWholeFile(historyPath_);
        } catch (const std::exception&) {
            return;
        }
        std::istringstream in(bytes);
        try {
            e.ime->model()->history().load(in);
        } catch (const std::exception&) {
            // A damaged history is not worth refusing to type over: start without it (the
            // file is only replaced by the next save).
            e.ime->model()->history().clear();
        }
    }

    // Every toneless syllable libime knows, matched against its dictionary: the single
    // characters read that way. 行 gets xing and hang.
    void BuildReadings() {
        // An engine of this thread's own load when there is one: 全拼's may be decoding meanwhile.
        const SchemeEngine& own = engines_[1].ime ? engines_[1] : engines_[0];
        const libime::PinyinDictionary& dict = *own.ime->dict();
        for (char i = libime::PinyinEncoder::firstInitial; i <= libime::PinyinEncoder::lastInitial;
             ++i) {
            for (char f = libime::PinyinEncoder::firstFinal; f <= libime::PinyinEncoder::lastFinal;
                 ++f) {
                const auto initial = static_cast<libime::PinyinInitial>(i);
                const auto final = static_cast<libime::PinyinFinal>(f);
                if (!libime::PinyinEncoder::isValidInitialFinal(initial, final)) continue;
                const std::string syllable =
                    libime::PinyinEncoder::initialFinalToPinyinString(initial, final);
                std::vector<char> encoded;
                try {
                    encoded = libime::PinyinEncoder::encodeFullPinyin(syllable);
                } catch (const std::exception&) {
                    continue;
                }
                dict.matchWords(encoded.data(), encoded.size(),
                                [&](std::string_view, std::string_view hanzi, float) {
                                    auto& list = readings_[std::string(hanzi)];
                                    if (std::find(list.begin(), list.end(), syllable) == list.end())
                                        list.push_back(syllable);
                                    return true;
                                });
            }
        }
    }

    // The last two words of the GBK text as the language model knows them: "打印状态码" gives
    // 状态, 码 (cut from its end, longest known word first; an unknown character is a word).
    void ContextWords(std::string_view context, std::vector<std::string>& out) {
        out.clear();
        std::string_view tail = context;
        // Enough bytes for two words of the longest length, on a character boundary.
        std::size_t start = 0, chars = 0;
        for (std::size_t i = tail.size(); i > 0;) {
            const std::size_t back =
                i >= 2 && IsLeadByte(static_cast<unsigned char>(tail[i - 2])) ? 2 : 1;
            i -= back;
            start = i;
            if (++chars >= 2 * kMaxModelWordChars) break;
        }
        std::string utf8;
        if (!toUtf8_.Convert(tail.substr(start), utf8)) return;
        // Only the hanzi after the last punctuation or letter carry on the sentence.
        std::size_t cut = 0;
        for (std::size_t i = 0; i < utf8.size(); ++i)
            if (static_cast<unsigned char>(utf8[i]) < 0x80) cut = i + 1;
        std::vector<std::string> parts;
        SplitModelWords(utf8.substr(cut), true, parts);
        const std::size_t keep = std::min<std::size_t>(2, parts.size());
        out.assign(parts.end() - static_cast<std::ptrdiff_t>(keep), parts.end());
    }

    // Cuts UTF-8 hanzi into the model's words, longest match first, from the end (fromEnd) or
    // from the start; a character the model does not know is a word of its own. By `model` when
    // given, else by the user's (the shipped model and the history).
    void SplitModelWords(const std::string& utf8, bool fromEnd, std::vector<std::string>& out,
                         const libime::LanguageModel* model = nullptr) {
        out.clear();
        const std::vector<std::size_t> bounds = CharBounds(utf8);
        const libime::LanguageModel& lm = model ? *model : *engines_[0].ime->model();
        auto known = [&](std::size_t a, std::size_t b) {
            const std::string_view w(utf8.data() + bounds[a], bounds[b] - bounds[a]);
            return b == a + 1 || !lm.isUnknown(lm.index(w), w);
        };
        const std::size_t n = bounds.size() - 1;
        if (fromEnd) {
            std::size_t b = n;
            while (b > 0) {
                std::size_t a = b > kMaxModelWordChars ? b - kMaxModelWordChars : 0;
                while (!known(a, b)) ++a;
                out.insert(out.begin(), utf8.substr(bounds[a], bounds[b] - bounds[a]));
                b = a;
            }
        } else {
            std::size_t a = 0;
            while (a < n) {
                std::size_t b = std::min(n, a + kMaxModelWordChars);
                while (!known(a, b)) --b;
                out.push_back(utf8.substr(bounds[a], bounds[b] - bounds[a]));
                a = b;
            }
        }
    }

    static std::size_t CountChars(const std::string& utf8) {
        std::size_t n = 0;
        for (char ch : utf8) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        return n;
    }

    // Full pinyin of a UTF-8 word ("zhuang'tai'ma"), one per combination of its characters'
    // readings. False for a single character (preferring one would bend every clause that
    // holds its sound), for a word with a character libime cannot read, or one too long.
    bool WordReadings(const std::string& utf8, std::vector<std::string>& out) {
        std::vector<const std::vector<std::string>*> chars;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto b = static_cast<unsigned char>(utf8[i]);
            const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            auto it = readings_.find(utf8.substr(i, len));
            if (it == readings_.end()) return false;
            chars.push_back(&it->second);
            i += len;
        }
        if (chars.size() < 2 || chars.size() > kMaxPreferredChars) return false;
        out.assign(1, std::string());
        for (const auto* list : chars) {
            std::vector<std::string> next;
            for (const std::string& prefix : out)
                for (const std::string& r : *list) {
                    if (next.size() >= kMaxWordReadings) break;
                    next.push_back(prefix.empty() ? r : prefix + "'" + r);
                }
            out.swap(next);
        }
        return !out.empty();
    }

    std::string historyPath_;
    TGbkUtf8 toUtf8_;
    std::array<SchemeEngine, 3> engines_;
    // 全拼 without the preferred words, for short codes of initials (kMaxPlainReadingKeys); it
    // learns what engines_[0] learns.
    SchemeEngine plain_;
    std::vector<ClauseCandidate> plainRows_; // its readings of the code being converted
    std::unordered_map<std::string, std::vector<std::string>> readings_;
    static constexpr std::size_t kMaxSyllableLetters = 6; // zhuang
    std::unordered_set<std::string> syllables_, syllablePrefixes_, initials_;
    std::array<std::unordered_set<std::string>, 3> syllableKeys_; // by engine; 全拼's stays empty
    std::array<std::string, 3> leftOut_; // by engine: the code it was left out at (ConvertSchemes)
    // By engine: the keys of the layout and the syllables they read, spelled out ("wo " for wo).
    std::array<std::unordered_map<std::string, std::string>, 3> syllablesOfKeys_;
    std::shared_ptr<const libime::StaticLanguageModelFile> model_;
    std::unique_ptr<libime::LanguageModel> shippedModel_; // model_ without the user's history
    std::unordered_set<std::string> senseChars_;          // UTF-8 characters of the preferred words
    std::array<std::shared_ptr<const libime::ShuangpinProfile>, 3> profiles_; // by engine
    std::string dictBytes_; // the dictionary file, until every engine has parsed it
    std::unique_ptr<libime::Prediction> prediction_;
    // Decoders of the second and third scheme (ConvertSchemes); late, so they stop before the
    // engines they work on are destroyed.
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::unique_ptr<Helper> plainHelper_; // the plain engine's decoder
    // The background load (LoadRest) and its end; last, so that destruction waits for it first.
    std::atomic<bool> restReady_{false};
    std::future<void> restLoad_;
};

} // namespace

std::unique_ptr<ClauseConverter> MakeClauseConverter(const ClauseConverterOptions& options) {
    try {
        auto converter = std::make_unique<LibimeClauseConverter>(options);
        if (!converter->Init(options)) return nullptr;
        return converter;
    } catch (const std::exception&) {
        return nullptr; // unreadable or damaged data: the tables alone
    }
}

} // namespace qb
