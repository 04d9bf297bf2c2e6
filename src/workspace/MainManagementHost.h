// The lexicon-management commands' view of the main window: its lexicon slots, its panes'
// selections, its scheme switches, and the add-entry dialog of F9, which this host owns.
#pragma once

#include "ManagementCommands.h"
#include "WindowHosts.h"

#include <memory>
#include <string>

namespace qb {

class TfrmAddword;

class TMainManagementHost final : public ManagementHost {
public:
    explicit TMainManagementHost(TManagementWindow& main);
    ~TMainManagementHost() override;

    // LexiconHost
    int SlotCount() const override;
    TQbDict* Slot(int i) const override;
    int IndexOfDict(const std::string& name) const override;
    void OpenDict(const std::string& name) override;
    void CloseDict(const std::string& name) override;
    std::string ProgramFolder() const override;

    // ManagementHost
    QWidget* Window() override;
    TUi& Ui() override;
    std::string SourceSelection() override;
    std::string MainSourceSelection() override;
    std::string TargetSelection() override;
    QString SourceSelectionUnicode() override;
    QString TargetSelectionUnicode() override;
    void ProcessSentence(const std::string& sentence) override;
    SchemeChoice Schemes() override;
    void SetSchemes(const SchemeChoice& choice) override;
    void LoadSchemeTables() override;
    TfrmAddword& AddwordDialog() override { return *addword_; }

private:
    TManagementWindow& main_;
    std::unique_ptr<TfrmAddword> addword_;
};

} // namespace qb
