// TOKRightDlg "输入法设定": which of the four input schemes are on and in which order their
// candidates come. A check-list of the schemes in the current order, 上移(&U), the box
// "按码表顺序排列候选" (ClassicOrder), 确定(&O) and 取消(&C). Made for each use, freed after it
// closes.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qb {

// The scheme settings the dialog edits. use[id - 1] is the switch of scheme id (1 全拼,
// 2 双拼, 3 自然, 4 五笔: useQp, useSp, useZr, useWb); order[p] is the id at position p + 1
// (Pos1 .. Pos4).
struct SchemeChoice {
    std::array<bool, 4> use{true, true, true, true};
    std::array<int, 4> order{1, 2, 3, 4};
    // Candidates in the tables' order, the conversion only for codes no table knows, no
    // prediction; off: the sentence's words, then the library's readings by likelihood.
    bool classicOrder = false;
    // Shown, not edited: the schemes inferred from the typist's picks (lead, by id - 1), and
    // whether anything is inferred yet (else the first enabled scheme leads).
    bool inferred = false;
    std::array<bool, 4> lead{true, false, false, false};
};

// What the dialog says of the inferred schemes: "推断的方案：五笔", or before three picks
// "方案尚未推断：全拼在前".
QString InferredText(const SchemeChoice& choice);

// An order that is not a permutation of 1 .. 4 (settings edited by hand) becomes 1, 2, 3, 4.
std::array<int, 4> ValidSchemeOrder(const std::array<int, 4>& order);

class TOKRightDlg : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the rows are the scheme labels in `choice.order`, checked by `choice.use`.
    // 确定 writes the rows back into `choice`; 取消, Esc and the close box leave it untouched.
    TOKRightDlg(SchemeChoice& choice, QWidget* parent = nullptr);

    void Button1Click();
    void OKBtnClick();
    void CancelBtnClick();

    QListWidget* CheckListBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* ClassicOrderBox = nullptr;
    QLabel* InferredLabel = nullptr; // "推断的方案：全拼"
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void FormCreate();
    SchemeChoice& choice_;
};

} // namespace qb
