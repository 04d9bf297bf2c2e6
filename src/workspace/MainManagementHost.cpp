#include "MainManagementHost.h"

#include "AddWordUnit.h"
#include "PopSourceUnit.h"
#include "imeSetup.h"

namespace qb {

TMainManagementHost::TMainManagementHost(TManagementWindow& main)
    : main_(main), addword_(NewAddwordDialog(*this)) {}

TMainManagementHost::~TMainManagementHost() = default;

int TMainManagementHost::SlotCount() const { return int(main_.LexiconsInUse().size()); }
TQbDict* TMainManagementHost::Slot(int i) const {
    const auto& slots = main_.LexiconsInUse();
    return i >= 0 && std::size_t(i) < slots.size() ? slots[std::size_t(i)].get() : nullptr;
}

int TMainManagementHost::IndexOfDict(const std::string& name) const {
    return main_.IndexOfDict(name);
}

void TMainManagementHost::OpenDict(const std::string& name) { main_.OpenDict(name); }
void TMainManagementHost::CloseDict(const std::string& name) { main_.CloseDict(name); }
std::string TMainManagementHost::ProgramFolder() const { return main_.ProgramFolder(); }

QWidget* TMainManagementHost::Window() { return &main_.Widget(); }
TUi& TMainManagementHost::Ui() { return main_.Ui(); }

std::string TMainManagementHost::SourceSelection() {
    if (TfrmPopSource* pop = main_.PopSource(); pop && pop->isVisible()) return pop->SelText();
    return MainSourceSelection();
}

std::string TMainManagementHost::MainSourceSelection() { return main_.SourcePane().SelText(); }
std::string TMainManagementHost::TargetSelection() { return main_.TargetPane().SelText(); }

QString TMainManagementHost::SourceSelectionUnicode() {
    if (TfrmPopSource* pop = main_.PopSource(); pop && pop->isVisible())
        return pop->Text.SelUnicode();
    return main_.SourcePane().SelUnicode();
}

QString TMainManagementHost::TargetSelectionUnicode() { return main_.TargetPane().SelUnicode(); }

void TMainManagementHost::ProcessSentence(const std::string& sentence) {
    main_.ProcessSentence(sentence);
}

SchemeChoice TMainManagementHost::Schemes() { return main_.SchemeSettings(); }

void TMainManagementHost::SetSchemes(const SchemeChoice& c) { main_.ApplySchemeSettings(c); }

void TMainManagementHost::LoadSchemeTables() { main_.LoadSchemeTables(); }

} // namespace qb
