// TfrmAddword "添加词条": the small dialog of F9. Two one-line fields (原文, 解释) and the
// buttons 添加(&A) (default, Enter) and 取消(&C) (Esc). One instance lives as long as the main
// window; every use overwrites both fields before showing it.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QLineEdit;
class QPushButton;

namespace qb {

class TfrmAddword : public QDialog {
    Q_OBJECT
public:
    // `addEntry` receives the two texts (GBK) exactly as they stand when 添加 is pressed.
    using AddEntryFn = std::function<void(const std::string& source, const std::string& rendering)>;
    explicit TfrmAddword(QWidget* parent = nullptr);

    void SetAddEntry(AddEntryFn fn) { addEntry_ = std::move(fn); }
    // Asked first on 添加 with the fields' own text: true refuses the pair (the function told
    // the user why), and the dialog stays open with nothing added, so 😀 can be taken out.
    using RefuseFn = std::function<bool(const QString& source, const QString& rendering)>;
    void SetRefuse(RefuseFn fn) { refuse_ = std::move(fn); }

    // GBK texts of the two fields.
    void SetSourceText(const std::string& gbk);
    void SetTargetText(const std::string& gbk);
    std::string SourceText() const;
    std::string TargetText() const;

    void btAddClick();
    void btCancelClick();

    QLineEdit* sourceBox = nullptr;
    QLineEdit* targetBox = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btCancel = nullptr;

private:
    AddEntryFn addEntry_;
    RefuseFn refuse_;
};

} // namespace qb
