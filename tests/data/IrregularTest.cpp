// verb.spe from WordNet exception lists.
#include "Irregular.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qb::datagen {
namespace {

TEST(Irregular, FirstUsableBaseOfEachNewLetterFormInListOrder) {
    const std::string verb = "went go\nwas be\nabetted abet\ngot get\nbetter better\n";
    const std::string noun =
        "children child\nmen man\ngot got_off\ndata datum\n"
        "better_off better\nhalf-lives half-life\nlice louse\nbetter better good\n";
    const std::string adj = "best good\nbetter good well\n";
    StringList out = IrregularForms({verb, noun, adj, ""});
    const StringList want = {
        "went^go^",        "was^be^",     "abetted^abet^",       "got^get^",
        "children^child^", "men^man^",    "data^datum^",         "lice^louse^",
        "better^good^",    "best^good^",  "could^can^",          "would^will^",
        "should^shall^",   "algae^alga^", "bacteria^bacterium^", "furthest^far^"};
    EXPECT_EQ(out, want);
}

TEST(Irregular, HandListDoesNotRepeatAFormTheListsHave) {
    StringList out = IrregularForms({"could can\n", "", "", ""});
    EXPECT_EQ(std::count(out.begin(), out.end(), std::string("could^can^")), 1);
}

} // namespace
} // namespace qb::datagen
