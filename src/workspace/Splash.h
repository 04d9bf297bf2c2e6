// TSplashForm: shown while the lexicons and tables load.
#pragma once

#include <QWidget>

namespace qb {

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);
    // Shows the window centred on the primary screen and paints it at once.
    void ShowNow();

protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace qb
