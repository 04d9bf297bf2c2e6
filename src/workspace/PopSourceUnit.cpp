#include "PopSourceUnit.h"

#include "Controls.h"
#include "Fonts.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qb {

TfrmPopSource::TfrmPopSource(QWidget* parent) : QWidget(parent) {
    MakeNoFocusPopup(this);
    setObjectName(QStringLiteral("frmPopSource"));
    setFont(RequestedFont("MS Sans Serif", 16));
    resize(313, 108);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetNoConstraint); // any size may be set
    reSource = new QPlainTextEdit(this);
    reSource->setObjectName(QStringLiteral("reSource"));
    reSource->setFont(RequestedFont("MS Sans Serif", 16));
    reSource->setAttribute(Qt::WA_InputMethodEnabled, false);
    KeepSelectionVisible(reSource);
    reSource->setMinimumSize(1, 1);
    layout->addWidget(reSource);
    Text = TPane(reSource);
    // The close box of a title bar, drawn over the text box's top right corner.
    closeBox_ = AddCloseBox(this);
    // FormCreate
    // The line height is that of "ABfghjlpqy": the font's cell height.
    LineHeight =
        QFontMetrics(font()).size(Qt::TextSingleLine, QStringLiteral("ABfghjlpqy")).height() + 6;
}

void TfrmPopSource::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PlaceCloseBox(this, closeBox_);
}

void TfrmPopSource::FitHeight() {
    if (layout()) layout()->activate();
    int n = Text.DisplayLineCount();
    n = std::clamp(n, 1, 8);
    resize(width(), n * LineHeight + 26);
}

} // namespace qb
