#include "LexiconFiles.h"

#include "LexiconFormats.h"

#include <stdexcept>

namespace qblex {

namespace {
[[noreturn]] void Rethrow(const std::string& path, const qb::LexiconFormatError& e) {
    throw std::runtime_error(path + ": " + e.what());
}
} // namespace

std::unique_ptr<qb::TQbDict> LoadAnyLexicon(const std::string& path, const std::string& verb,
                                            bool mustExist) {
    if (mustExist && !qb::FileExists(path)) qb::ThrowCannotOpen(path);
    auto dict = std::make_unique<qb::TQbDict>();
    try {
        qb::LoadLexiconFile(*dict, path, verb);
    } catch (const qb::LexiconFormatError& e) {
        Rethrow(path, e);
    }
    if (dict->FileName().empty()) dict->SetFileName(path);
    return dict;
}

void MergeAnyFile(qb::TQbDict& target, const std::string& path) {
    if (qb::LexiconFormatOf(path) == qb::LexiconFormat::Scrambled) {
        std::unique_ptr<qb::TQbDict> dict = LoadAnyLexicon(path, "", true);
        qb::StringList keys, renderings;
        keys.reserve(dict->EntryCount());
        renderings.reserve(dict->EntryCount());
        for (std::size_t k = 0; k < dict->EntryCount(); ++k) {
            keys.emplace_back(dict->KeyAt(k));
            renderings.emplace_back(dict->RenderingAt(k));
        }
        target.AddEntries(keys, renderings, true);
        return;
    }
    std::string lines;
    try {
        lines = qb::ReadGbkLines(path); // read and converted whole before the first entry
    } catch (const qb::LexiconFormatError& e) {
        Rethrow(path, e);
    }
    target.MergeTextBytes(lines, true);
}

void WriteAnyLexicon(const qb::TQbDict& dict, const std::string& path) {
    try {
        qb::WriteLexiconFile(dict, path);
    } catch (const qb::LexiconFormatError& e) {
        Rethrow(path, e);
    }
}

} // namespace qblex
