// qbgen: generates the shipped data from the public sources and checks it.
//   qbgen all --sources DIR... --out DIR   write every data file into DIR
//   qbgen inputs --sources DIR...          the source files that would be read, one per line
//   qbgen outputs                          the files "all" writes, relative to its DIR
//   qbgen check DIR                        check every shipped file in DIR
//   qbgen coverage DIR TEXT                how much of an English text DIR/BasicDict.qbs finds
#include "Coverage.h"
#include "DataCheck.h"
#include "DictUnit.h"
#include "GbkText.h"
#include "Generate.h"
#include "MyUtils.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: qbgen all --sources DIR... --out DIR\n"
                               "       qbgen inputs --sources DIR...\n"
                               "       qbgen outputs\n"
                               "       qbgen check DIR\n"
                               "       qbgen coverage DIR TEXTFILE\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

// "--sources a b c --out d" -> folders and out.
bool ParseSources(int argc, char** argv, std::vector<std::string>& folders, std::string& out) {
    bool inSources = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--sources")
            inSources = true;
        else if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
            inSources = false;
        } else if (inSources)
            folders.push_back(a);
        else
            return false;
    }
    return !folders.empty();
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string cmd = argv[1];
    if (cmd == "all" || cmd == "inputs") {
        std::vector<std::string> folders;
        std::string out;
        if (!ParseSources(argc, argv, folders, out) || (cmd == "all" && out.empty()))
            return Usage();
        qb::datagen::SourceFiles s;
        std::vector<std::string> missing = qb::datagen::FindSources(folders, s);
        if (!missing.empty()) {
            for (const std::string& m : missing)
                std::cerr << "qbgen: source not found: " << m << "\n";
            return 1;
        }
        if (cmd == "inputs") {
            for (const std::string& p : qb::datagen::InputPaths(s)) std::cout << p << "\n";
            return 0;
        }
        if (!qb::GbkAvailable()) {
            std::cerr << "qbgen: this Qt offers no GBK codec\n";
            return 1;
        }
        qb::datagen::GenerateAll(s, out, std::cout);
        return 0;
    }
    if (cmd == "outputs" && argc == 2) {
        for (const std::string& n : qb::datagen::OutputNames()) std::cout << n << "\n";
        return 0;
    }
    if (cmd == "check" && argc == 3)
        return qb::datagen::CheckDataFolder(argv[2], std::cout) == 0 ? 0 : 1;
    if (cmd == "coverage" && argc == 4) {
        const std::filesystem::path dir = argv[2];
        qb::TQbDict dict;
        dict.Load((dir / "BasicDict.qbs").string(), (dir / "verb.spe").string());
        if (dict.EntryCount() == 0) {
            std::cerr << "qbgen: no entries in " << (dir / "BasicDict.qbs").string() << "\n";
            return 1;
        }
        qb::datagen::PrintCoverage(qb::datagen::MeasureCoverage(dict, qb::ReadWholeFile(argv[3])),
                                   std::cout);
        return 0;
    }
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "qbgen: " << e.what() << "\n";
        return 1;
    }
}
