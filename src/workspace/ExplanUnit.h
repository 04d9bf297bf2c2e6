// TfrmShowExplain: the explanation window of browse mode.
#pragma once

#include <QWidget>

#include <string>

class QListWidget;
class QToolButton;

namespace qb {

class TfrmShowExplain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmShowExplain(QWidget* parent = nullptr);
    // Pixel width of a GBK text in the window's font.
    int TextWidth(const std::string& gbk) const;
    QListWidget* MeanList = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QToolButton* closeBox_ = nullptr;
};

} // namespace qb
