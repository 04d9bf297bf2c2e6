#include "imeSetup.h"

#include "GbkText.h"
#include "QtText.h"
#include "SchemeTables.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace qb {

namespace {

// The row of a scheme carries its id, so that the label is only what is shown.
constexpr int kIdRole = Qt::UserRole;

} // namespace

QString InferredText(const SchemeChoice& choice) {
    QString names;
    for (int id : ValidSchemeOrder(choice.order)) {
        if (!choice.lead[std::size_t(id - 1)]) continue;
        if (!names.isEmpty()) names += U("、");
        names += FromGbk(Schemes()[std::size_t(id - 1)].label);
    }
    if (!choice.inferred) return U("方案尚未推断：%1在前").arg(names);
    return U("推断的方案：%1").arg(names);
}

std::array<int, 4> ValidSchemeOrder(const std::array<int, 4>& order) {
    std::array<int, 4> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (sorted == std::array<int, 4>{1, 2, 3, 4}) return order;
    return {1, 2, 3, 4};
}

TOKRightDlg::TOKRightDlg(SchemeChoice& choice, QWidget* parent) : QDialog(parent), choice_(choice) {
    setObjectName(QStringLiteral("OKRightDlg"));
    setWindowTitle(U("输入法设定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    QFont font(U("宋体"));
    font.setPixelSize(14);
    setFont(font);
    setFixedSize(168, 176);

    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setGeometry(0, 8, 105, 73);
    CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

    Button1 = new QPushButton(U("上移(&U)"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 32, 49, 25);
    Button1->setAutoDefault(false);
    OKBtn = new QPushButton(U("确定(&O)"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    ClassicOrderBox = new QCheckBox(U("按码表顺序排列候选"), this);
    ClassicOrderBox->setObjectName(QStringLiteral("ClassicOrderBox"));
    ClassicOrderBox->setGeometry(4, 88, 162, 20);
    ClassicOrderBox->setChecked(choice_.classicOrder);
    InferredLabel = new QLabel(this);
    InferredLabel->setObjectName(QStringLiteral("InferredLabel"));
    InferredLabel->setGeometry(4, 112, 162, 20);
    InferredLabel->setText(InferredText(choice_));
    OKBtn->setGeometry(12, 142, 61, 25);
    OKBtn->setDefault(true); // Enter
    CancelBtn = new QPushButton(U("取消(&C)"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(92, 142, 61, 25);
    CancelBtn->setAutoDefault(false); // Esc rejects the dialog, as 取消 does

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });

    FormCreate();
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TOKRightDlg::FormCreate() {
    CheckListBox1->clear();
    const std::array<int, 4> order = ValidSchemeOrder(choice_.order);
    for (int id : order) {
        auto* item = new QListWidgetItem(FromGbk(Schemes()[std::size_t(id - 1)].label));
        item->setData(kIdRole, id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(choice_.use[std::size_t(id - 1)] ? Qt::Checked : Qt::Unchecked);
        CheckListBox1->addItem(item);
    }
}

void TOKRightDlg::Button1Click() {
    for (int i = 1; i < CheckListBox1->count(); ++i) {
        if (CheckListBox1->currentRow() == i && CheckListBox1->item(i)->isSelected()) {
            // Text and check state travel together; the selection follows the moved row.
            QListWidgetItem* item = CheckListBox1->takeItem(i);
            CheckListBox1->insertItem(i - 1, item);
            CheckListBox1->setCurrentRow(i - 1);
            break; // the row moved up is not met again further down
        }
    }
}

void TOKRightDlg::OKBtnClick() {
    for (int i = 0; i < CheckListBox1->count() && i < 4; ++i) {
        const QListWidgetItem* item = CheckListBox1->item(i);
        const int id = item->data(kIdRole).toInt();
        choice_.use[std::size_t(id - 1)] = item->checkState() == Qt::Checked;
        choice_.order[std::size_t(i)] = id;
    }
    choice_.classicOrder = ClassicOrderBox->isChecked();
    accept();
}

void TOKRightDlg::CancelBtnClick() { reject(); }

} // namespace qb
