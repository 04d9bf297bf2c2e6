#include "ExplanUnit.h"

#include "Controls.h"
#include "Fonts.h"
#include "GbkText.h"

#include <QFontMetrics>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qb {

TfrmShowExplain::TfrmShowExplain(QWidget* parent) : QWidget(parent) {
    MakeNoFocusPopup(this);
    setObjectName(QStringLiteral("frmShowExplain"));
    setFont(RequestedFont("宋体", 13));
    resize(157, 176);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetNoConstraint); // any size may be set
    MeanList = new QListWidget(this);
    MeanList->setObjectName(QStringLiteral("MeanList"));
    MeanList->setFont(font());
    MeanList->setFocusPolicy(Qt::NoFocus);
    QPalette p = MeanList->palette();
    p.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0)); // silver
    p.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00)); // maroon
    MeanList->setPalette(p);
    MeanList->setItemDelegate(
        new TFixedHeightDelegate(std::max(13, QFontMetrics(font()).height()), MeanList));
    MeanList->setMinimumSize(1, 1);
    layout->addWidget(MeanList);
    closeBox_ = AddCloseBox(this);
}

void TfrmShowExplain::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PlaceCloseBox(this, closeBox_);
}

int TfrmShowExplain::TextWidth(const std::string& gbk) const {
    return QFontMetrics(font()).horizontalAdvance(FromGbk(gbk));
}

} // namespace qb
