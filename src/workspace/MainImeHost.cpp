#include "MainImeHost.h"

#include "imeSetup.h"

namespace qb {

TMainImeHost::TMainImeHost(TImeWindow& main) : main_(main), controller_(*this) {}

void TMainImeHost::MarkTargetChinese() { main_.TargetPane().MarkChinese(); }
void TMainImeHost::ReplaceTargetSelection(std::string_view gbk) {
    main_.TargetPane().SetSelText(gbk);
}
void TMainImeHost::FocusTarget() { main_.TargetPane().SetFocus(); }
bool TMainImeHost::ImeEnabled() const { return main_.Modes().ImeEnabled; }
bool TMainImeHost::FullWidthPunct() const { return main_.Modes().FullWidthPunct; }
bool TMainImeHost::FullWidthChars() const { return main_.Modes().FullWidthChars; }
const StringList& TMainImeHost::SentenceCodeKeys() const {
    return main_.SentenceLists().SentenceCodeKeys;
}
const StringList& TMainImeHost::SentenceCodeWords() const {
    return main_.SentenceLists().SentenceCodeWords;
}

const SchemeTables& TMainImeHost::Scheme(int id) const { return main_.Table(id); }

bool TMainImeHost::SchemeOn(int id) const { return main_.SchemeOn(id); }
std::array<int, 4> TMainImeHost::SchemeOrder() const { return main_.SchemeSettings().order; }
bool TMainImeHost::ClassicOrder() const { return main_.SchemeSettings().classicOrder; }
ClauseConverter* TMainImeHost::Converter() const { return main_.Converter(); }

} // namespace qb
