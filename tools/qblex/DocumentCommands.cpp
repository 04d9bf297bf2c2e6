#include "DocumentCommands.h"

#include "Checks.h"
#include "CommandArgs.h"
#include "DictUnit.h"
#include "Document.h"
#include "DocumentMemory.h"
#include "GbkText.h"
#include "LexiconFiles.h"
#include "MyUtils.h"
#include "Segments.h"
#include "TranslationMemory.h"
#include "UserFolders.h"

#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

namespace qblex {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "qblex: %s\n", message.c_str());
    return 1;
}

} // namespace

std::optional<int> RunDocumentCommand(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd != "doc-units" && cmd != "doc-export" && cmd != "doc-check") return std::nullopt;
    CommandArgs args = ParseCommandArgs(argc, argv, cmd != "doc-units", cmd == "doc-check");
    std::string& memory = args.memory;
    const std::vector<std::string>& files = args.files;
    const std::vector<std::string>& lexicons = args.lexicons;
    if (files.size() != (cmd == "doc-export" ? 2u : 1u)) {
        std::fprintf(stderr, "usage:\n%s", kDocumentUsage);
        return 2;
    }
    const std::optional<qb::doc::Format> format = qb::doc::FormatOfPath(files[0]);
    if (!format)
        return Fail(files[0] + ": 不认识的文档格式（可打开 .txt .po .pot .srt .md .html .docx .odt）");
    try {
        const std::string bytes = qb::ReadWholeFile(files[0]);
        qb::doc::Document doc;
        try {
            doc = qb::doc::Read(*format, bytes);
        } catch (const qb::doc::DocError& e) {
            return Fail(files[0] + ": " + e.what());
        }
        if (cmd == "doc-units") {
            const std::string text = qb::doc::PaneText(doc);
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (!text.empty()) std::fputc('\n', stdout);
            // Visible text that became no unit, by reason: "skipped 3: 代码，保持原样".
            std::map<std::string, std::size_t> why;
            for (const qb::doc::Skipped& s : doc.skipped) ++why[s.why];
            for (const auto& [reason, count] : why)
                std::fprintf(stderr, "skipped %zu: %s\n", count, reason.c_str());
            return 0;
        }
        if (memory.empty()) memory = qb::PrivateTranslationMemoryFile();
        qb::tm::TTranslationMemory tm(memory);
        if (cmd == "doc-check") {
            // The checks the window runs before an export, on what the export would write:
            // one problem a line, exit 1 when there is any.
            std::vector<std::optional<std::string>> translations =
                qb::doc::TranslateFromMemory(doc, tm);
            // Where the memory has nothing the export keeps what the file holds (a PO message's
            // msgstr): that is checked too, a message flagged fuzzy as fuzzy.
            qb::doc::TSegments own;
            own.Reset(doc);
            qb::doc::CheckOptions options;
            options.fuzzy.resize(own.Size());
            for (std::size_t i = 0; i < own.Size() && i < translations.size(); ++i)
                if (!translations[i] && !own[i].translation.empty()) {
                    translations[i] = own[i].translation;
                    options.fuzzy[i] = own[i].status == qb::doc::SegmentStatus::Fuzzy;
                }
            // The lexicons in use: each term a unit's source holds ("kernel scheduler\t内核调度器；
            // 调度程序", as the window's phrase list shows it) must be rendered by one of its senses.
            std::vector<std::unique_ptr<qb::TQbDict>> dicts;
            for (const std::string& path : lexicons)
                dicts.push_back(LoadAnyLexicon(path, "", true));
            if (!dicts.empty())
                options.terms = [&dicts](std::string_view source) {
                    std::vector<qb::doc::TermUse> out;
                    qb::StringList lines;
                    for (const auto& dict : dicts) {
                        lines.clear();
                        dict->LookupSentence(qb::Utf8ToGbkLossy(source), lines);
                        for (const std::string& line : lines) {
                            const std::string utf8 = qb::GbkToUtf8(line);
                            const std::size_t tab = utf8.find('\t');
                            if (tab == std::string::npos) continue;
                            qb::doc::TermUse use{utf8.substr(0, tab), {}};
                            const std::string senses = utf8.substr(tab + 1);
                            for (std::size_t at = 0; at <= senses.size();) {
                                std::size_t end = senses.find("；", at);
                                if (end == std::string::npos) end = senses.size();
                                if (end > at) use.renderings.push_back(senses.substr(at, end - at));
                                at = end + std::string_view("；").size();
                            }
                            out.push_back(std::move(use));
                        }
                    }
                    return out;
                };
            const std::vector<qb::doc::Problem> problems =
                qb::doc::CheckTranslations(doc, translations, options);
            for (const qb::doc::Problem& p : problems)
                std::printf("%s\n", qb::doc::Describe(p).c_str());
            std::printf("units %zu: problems %zu\n", doc.units.size(), problems.size());
            return problems.empty() ? 0 : 1;
        }
        qb::doc::WriteReport report;
        std::string out;
        try {
            out = qb::doc::Write(doc, qb::doc::TranslateFromMemory(doc, tm), &report);
        } catch (const qb::doc::DocError& e) { // a translation the file's encoding cannot hold
            return Fail(files[0] + ": " + e.what());
        }
        qb::WriteWholeFileSafely(files[1], out);
        std::printf("units %zu: translated %zu, left %zu, mismatched %zu\n", doc.units.size(),
                    report.translated, report.left, report.mismatched.size());
        for (std::size_t i : report.mismatched)
            std::printf("unit %zu: the placeholders of the translation do not match: %s\n", i + 1,
                        doc.units[i].text.c_str());
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

} // namespace qblex
