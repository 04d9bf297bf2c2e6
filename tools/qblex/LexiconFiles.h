// qblex's access to lexicon files of every format (.qbs, text lexicons in GBK, UTF-8 or UTF-16,
// .tsv, .csv, .tbx), through the same readers and writers as the program. A failure names the
// file: "u8.txt: line 3: the character "😀" (U+1F600) has no GBK code".
#pragma once

#include "DictUnit.h"

#include <memory>
#include <string>

namespace qblex {

// A missing file is "Cannot open file …" when `mustExist`, else an empty lexicon named `path`.
std::unique_ptr<qb::TQbDict> LoadAnyLexicon(const std::string& path, const std::string& verb,
                                            bool mustExist);
// Adds every entry of `path` to `target`: a professional lexicon's in entry order, any other
// file's in line order, through AddEntry with merging on.
void MergeAnyFile(qb::TQbDict& target, const std::string& path);
// Writes `dict` to `path` in the format its name says, replacing the file safely.
void WriteAnyLexicon(const qb::TQbDict& dict, const std::string& path);

} // namespace qblex
