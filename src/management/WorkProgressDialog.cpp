#include "WorkProgressDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QProgressDialog>

#include <algorithm>

namespace qb {

namespace {

// A progress dialog that the user cannot dismiss while the work runs: Esc and the close box
// do nothing, so the dialog stays in step with the work.
class SteadyProgressDialog : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;

protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) return;
        QProgressDialog::keyPressEvent(e);
    }
};

constexpr int kSteps = 1000;

} // namespace

WorkProgressDialog::WorkProgressDialog(QWidget* parent, QString label, int showAfterMs)
    : parent_(parent), label_(std::move(label)), showAfterMs_(showAfterMs) {
    clock_.start(); // the work began when its progress was made
}

WorkProgressDialog::~WorkProgressDialog() { Finish(); }

void WorkProgressDialog::Start(std::size_t total) {
    total_ = total;
    Advance(0);
}

void WorkProgressDialog::Advance(std::size_t done) {
    if (!dialog_ && clock_.isValid() && clock_.elapsed() >= showAfterMs_) {
        auto* d = new SteadyProgressDialog(label_, QString(), 0, kSteps, parent_);
        d->setWindowTitle(QString::fromUtf8("请稍候"));
        d->setWindowModality(Qt::ApplicationModal);
        d->setCancelButton(nullptr);
        d->setMinimumDuration(0);
        d->setAutoClose(false);
        d->setAutoReset(false);
        d->show();
        dialog_ = d;
        shown_ = true;
    }
    if (dialog_) {
        const int value = total_ == 0 ? kSteps : int(double(done) / double(total_) * kSteps);
        dialog_->setValue(std::min(value, kSteps));
        // Let the dialog paint; it is application-modal, so no other window takes input.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void WorkProgressDialog::Finish() {
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
}

} // namespace qb
