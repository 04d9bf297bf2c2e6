#include "AddWordUnit.h"

#include "GbkText.h"
#include "QtText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qb {

TfrmAddword::TfrmAddword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddword"));
    setWindowTitle(U("添加词条"));
    // Fixed size, and of the title-bar buttons only the close box.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    sourceBox = new QLineEdit(this);
    sourceBox->setObjectName(QStringLiteral("sourceBox"));
    // English goes here: ask a platform input method for plain Latin letters.
    sourceBox->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
    targetBox = new QLineEdit(this);
    targetBox->setObjectName(QStringLiteral("targetBox"));
    // Chinese goes here: the platform's input method stays available (no hints against it).
    targetBox->setAttribute(Qt::WA_InputMethodEnabled, true);
    for (QLineEdit* box : {sourceBox, targetBox}) box->setMinimumWidth(260);

    btAdd = new QPushButton(U("添加(&A)"), this);
    btAdd->setObjectName(QStringLiteral("btAdd"));
    btAdd->setDefault(true);
    btCancel = new QPushButton(U("取消(&C)"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(U("原文"), this), 0, 0);
    grid->addWidget(sourceBox, 0, 1);
    grid->addWidget(new QLabel(U("解释"), this), 1, 0);
    grid->addWidget(targetBox, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btAdd);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(sourceBox, targetBox);
    setTabOrder(targetBox, btAdd);
    setTabOrder(btAdd, btCancel);

    connect(btAdd, &QPushButton::clicked, this, [this] { btAddClick(); });
    connect(btCancel, &QPushButton::clicked, this, [this] { btCancelClick(); });
    // Esc and the close box reject the dialog, which is what 取消 does.
}

void TfrmAddword::SetSourceText(const std::string& gbk) { sourceBox->setText(FromGbk(gbk)); }
void TfrmAddword::SetTargetText(const std::string& gbk) { targetBox->setText(FromGbk(gbk)); }
std::string TfrmAddword::SourceText() const { return ToGbk(sourceBox->text()); }
std::string TfrmAddword::TargetText() const { return ToGbk(targetBox->text()); }

void TfrmAddword::btAddClick() {
    // No trimming and no check for empty texts: the pair goes to the lexicon as it stands.
    if (refuse_ && refuse_(sourceBox->text(), targetBox->text())) return;
    if (addEntry_) addEntry_(SourceText(), TargetText());
    accept();
}

void TfrmAddword::btCancelClick() { reject(); }

} // namespace qb
