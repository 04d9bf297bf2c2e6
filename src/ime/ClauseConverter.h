// Whole-clause pinyin conversion: "womenyinggaizhaoguhaizi" read as 我们应该照顾孩子 in one go,
// where the scheme tables only know word by word. The input method sees this interface alone;
// the library behind it (and its data) stays inside its implementation, so a machine without
// that data still types from the tables.
//
// Every text is GBK bytes, like the rest of the input method; codes are the letters typed (and
// ';' of the double-pinyin layout), scheme ids as everywhere: 1 全拼, 2 双拼, 3 自然.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

struct ClauseCandidate {
    std::string text;           // GBK
    std::size_t codeLength = 0; // bytes of the typed code it covers, counted from its start
    // The library's log10 likelihood of the reading (preferred words' bonus included): rows of
    // different schemes are merged by it.
    float score = 0;
    // Read from bare initials alone, each standing for a syllable: "jx" as 进行, "mt" as 每天.
    bool abbreviation = false;
    // Full syllables padded with bare initials in the middle: "womfyygl" in the MS layout (whose
    // y is uai) read as 我免费运营管理 from w-o m f y y g l. Offered only when no other scheme
    // reads the code whole. A bare initial as the last thing typed pads nothing: the typist is
    // in the middle of that syllable ("zhuangtaim" still offers 状态码).
    bool padded = false;
    // One of the library's best readings of the whole code (its n-best list, scored as a
    // sentence); the rows after them are words scored alone, a scale of their own.
    bool best = false;
};

class ClauseConverter {
public:
    virtual ~ClauseConverter() = default;

    // Readings of `code` typed in `scheme`, in the library's order: the best whole-clause
    // readings first, then shorter words that cover the first syllables ("zhuangtaima": 状态吗
    // covers 11 bytes, 状态 covers 9). Empty when the code is no pinyin of that scheme (or the
    // scheme is 五笔). `out` is emptied first.
    virtual void Convert(int scheme, std::string_view code, std::vector<ClauseCandidate>& out) = 0;

    // Readings of `code` in each of `schemes` (out[i] for schemes[i]; `out` is resized): the
    // same rows as Convert scheme by scheme. The candidate list asks for every enabled pinyin
    // scheme on each key, and an implementation may decode them side by side.
    virtual void ConvertSchemes(const std::vector<int>& schemes, std::string_view code,
                                std::vector<std::vector<ClauseCandidate>>& out) {
        out.resize(schemes.size());
        for (std::size_t i = 0; i < schemes.size(); ++i) Convert(schemes[i], code, out[i]);
    }

    // Words the conversion prefers until the next call, which replaces them all: the senses
    // of the selected sentence's phrases, so that "zhuangtaima" reads 状态码 while "status code"
    // is in the sentence. An empty list prefers nothing.
    virtual void SetPreferredWords(const std::vector<std::string>& words) = 0;

    // The typist picked `picked` for `code` (its first picked.codeLength bytes): learned into
    // the user history, so the next conversion of that code prefers it.
    virtual void Learn(int scheme, std::string_view code, const ClauseCandidate& picked) = 0;

    // The words most likely to follow `context` (GBK, the text typed so far; its last words
    // count), best first, at most `max`: the library's prediction and the user history. Empty
    // without a prediction model.
    virtual void Predict(std::string_view context, std::size_t max, std::vector<std::string>& out) {
        (void)context;
        (void)max;
        out.clear();
    }

    // The likelihood (log10) that `word` follows `context` (GBK both), as Predict ranks its
    // words; words the model does not know are read as their known parts. 0 without a model.
    virtual float FollowScore(std::string_view context, std::string_view word) {
        (void)context;
        (void)word;
        return 0;
    }

    // `text` (GBK) cut into the words the language model knows, longest first from its start:
    // "另一个" gives 另, 一个 and "档案文件" gives 档案, 文件. Without a model: the text whole.
    virtual void SplitWords(std::string_view text, std::vector<std::string>& out) {
        out.assign(1, std::string(text));
    }

    // Forgets everything learned (also what was read from the history file).
    virtual void ForgetHistory() = 0;

    // Writes the history to the file given at creation: temporary file, flush, rename; the old
    // file stays whole when writing fails (then throws the engine's "Cannot create file %s").
    // Does nothing when the converter was made without a history file.
    virtual void SaveHistory() = 0;

    // A translated sentence (GBK) committed as a whole, as when Ctrl+J moves on from it: each
    // run of hanzi is read in 全拼, picked from the front word by word as a typist would
    // ("打开程序库": 打开, then 程序库) and its words learned into the history. A run the
    // library cannot spell that way is skipped. Nothing without a model.
    virtual void LearnText(std::string_view text) { (void)text; }
};

struct ClauseConverterOptions {
    std::string historyPath; // the user history file (OS bytes); empty: no history, none kept
    // The library's dictionary and language model; empty: the dictionary in the library's
    // data folder (/usr/share/libime/sc.dict), the model where the library itself finds it
    // (its install folder, or LIBIME_MODEL_DIRS). The environment's QB_LIBIME_DICT and
    // QB_LIBIME_MODEL override the defaults.
    std::string dictPath;
    std::string modelPath;
    // The window's start: the converter is handed out once 全拼 can decode, and the double-
    // pinyin schemes and the prediction model load on a thread of their own. No key waits for
    // them: until they are there those schemes give no rows and Predict gives nothing; the
    // calls that change every scheme (SetPreferredWords, Learn, ForgetHistory) wait for them.
    bool loadInBackground = false;
};

// The converter over the system's pinyin library and language model; null when the library's
// data cannot be loaded (the input method then works from the tables alone).
std::unique_ptr<ClauseConverter> MakeClauseConverter(const ClauseConverterOptions& options);

} // namespace qb
