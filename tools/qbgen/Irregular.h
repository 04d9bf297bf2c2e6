// verb.spe, the irregular word forms ("went^go^"), from the WordNet exception lists.
#pragma once

#include "MyUtils.h"

#include <string_view>
#include <vector>

namespace qb::datagen {

// Each list holds lines "form base [base2 ...]" (WordNet's verb.exc, noun.exc, adj.exc,
// adv.exc; give them in that order). For each line: bases that contain '_' or equal the form
// are dropped, the first remaining base is taken; a form met before is skipped; only forms of
// the letters a-z are kept (a hyphenated form never matches one token). A few forms the lists
// lack (could^can^, would^will^ ...) follow. Returns the lines "form^base^" in that order.
StringList IrregularForms(const std::vector<std::string_view>& exceptionLists);

} // namespace qb::datagen
