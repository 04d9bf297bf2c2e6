// A whole-clause converter for the input method's tests: readings scripted per (scheme, code),
// every call recorded, so a test can see what the window asked and learned.
#pragma once

#include "ClauseConverter.h"

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qbtest {

struct FakeConverter : qb::ClauseConverter {
    std::map<std::pair<int, std::string>, std::vector<qb::ClauseCandidate>> readings;
    std::vector<std::string> preferred;
    std::vector<std::string> learned; // "scheme:code:text:codeLength"
    int forgets = 0, saves = 0, setPreferredCalls = 0;
    bool failSave = false;

    void Convert(int scheme, std::string_view code, std::vector<qb::ClauseCandidate>& out) override {
        out.clear();
        auto it = readings.find({scheme, std::string(code)});
        if (it != readings.end()) out = it->second;
    }
    void SetPreferredWords(const std::vector<std::string>& words) override {
        preferred = words;
        ++setPreferredCalls;
    }
    void Learn(int scheme, std::string_view code, const qb::ClauseCandidate& picked) override {
        learned.push_back(std::to_string(scheme) + ":" + std::string(code) + ":" + picked.text +
                          ":" + std::to_string(picked.codeLength));
    }
    void ForgetHistory() override { ++forgets; }
    void SaveHistory() override {
        ++saves;
        if (failSave) throw std::runtime_error("Cannot create file /nowhere/pinyin-history");
    }
};

} // namespace qbtest
