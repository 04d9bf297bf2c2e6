// TfrmPopSource: the floating copy of the sentence above the target caret.
#pragma once

#include "PaneModel.h"

#include <QWidget>

class QPlainTextEdit;
class QToolButton;

namespace qb {

class TfrmPopSource : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPopSource(QWidget* parent = nullptr);

    // n = display lines of the text box, within 1 .. 8; height = n * LineHeight + 26.
    void FitHeight();
    void SetText(const std::string& gbk) { Text.SetText(gbk); }
    // The sentence as the source pane holds it: a character GBK cannot hold shows as it is.
    void SetUnicodeText(const QString& text) { Text.SetUnicodeText(text); }
    std::string SelText() const { return Text.SelText(); }

    int LineHeight = 0; // height of "ABfghjlpqy" in the window's font + 6
    QPlainTextEdit* reSource = nullptr;
    TPane Text{nullptr};

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QToolButton* closeBox_ = nullptr;
};

} // namespace qb
