#include "MainImeHost.h"

#include "imeSetup.h"

namespace qb {

TMainImeHost::TMainImeHost(TfrmMainQB& main) : main_(main), controller_(*this) {}

void TMainImeHost::MarkTargetChinese() { main_.Target.MarkChinese(); }
void TMainImeHost::ReplaceTargetSelection(std::string_view gbk) { main_.Target.SetSelText(gbk); }
void TMainImeHost::FocusTarget() { main_.Target.SetFocus(); }
bool TMainImeHost::ImeEnabled() const { return main_.ImeEnabled; }
bool TMainImeHost::FullWidthPunct() const { return main_.FullWidthPunct; }
bool TMainImeHost::FullWidthChars() const { return main_.FullWidthChars; }
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
