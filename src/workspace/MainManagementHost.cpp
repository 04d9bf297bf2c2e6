#include "MainManagementHost.h"

#include "AddWordUnit.h"
#include "MainUnit.h"
#include "PopSourceUnit.h"

namespace qb {

TMainManagementHost::TMainManagementHost(TfrmMainQB& main)
    : main_(main), addword_(NewAddwordDialog(*this)) {}

TMainManagementHost::~TMainManagementHost() = default;

int TMainManagementHost::SlotCount() const { return int(main_.LexiconsInUse().size()); }
TQbDict* TMainManagementHost::Slot(int i) const { return main_.Lexicon(i); }

int TMainManagementHost::IndexOfDict(const std::string& name) const {
    return main_.IndexOfDict(name);
}

void TMainManagementHost::OpenDict(const std::string& name) { main_.OpenDict(name); }
void TMainManagementHost::CloseDict(const std::string& name) { main_.CloseDict(name); }
std::string TMainManagementHost::ProgramFolder() const { return main_.ProgramFolder(); }

QWidget* TMainManagementHost::Window() { return &main_; }
TUi& TMainManagementHost::Ui() { return main_.Ui(); }

std::string TMainManagementHost::SourceSelection() {
    if (main_.frmPopSource && main_.frmPopSource->isVisible()) return main_.frmPopSource->SelText();
    return MainSourceSelection();
}

std::string TMainManagementHost::MainSourceSelection() { return main_.Source.SelText(); }
std::string TMainManagementHost::TargetSelection() { return main_.Target.SelText(); }

QString TMainManagementHost::SourceSelectionUnicode() {
    if (main_.frmPopSource && main_.frmPopSource->isVisible())
        return main_.frmPopSource->Text.SelUnicode();
    return main_.Source.SelUnicode();
}

QString TMainManagementHost::TargetSelectionUnicode() { return main_.Target.SelUnicode(); }

void TMainManagementHost::ProcessSentence(const std::string& sentence) {
    main_.ProcessSentence(sentence);
}

SchemeChoice TMainManagementHost::Schemes() { return main_.SchemeSettings(); }

void TMainManagementHost::SetSchemes(const SchemeChoice& c) {
    main_.SetSchemeSettings(c);
    main_.UpdateModeDisplay(); // 预测下一个词 is greyed in the tables' order
}

void TMainManagementHost::LoadSchemeTables() { main_.LoadSchemeTables(); }

} // namespace qb
