// The Qt form of WorkProgress: nothing is shown for work that ends within a second (the busy
// pointer is feedback enough); longer work gets a modal progress dialog without a cancel
// button, since stopping halfway would leave half a merge behind.
#pragma once

#include "LexiconTasks.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace qb {

class WorkProgressDialog : public WorkProgress {
public:
    WorkProgressDialog(QWidget* parent, QString label, int showAfterMs = 1000);
    ~WorkProgressDialog() override;
    void Start(std::size_t total) override;
    void Advance(std::size_t done) override;
    void Finish() override;
    // Whether the dialog was shown at some point (for tests).
    bool WasShown() const { return shown_; }

private:
    QWidget* parent_;
    QString label_;
    int showAfterMs_;
    QElapsedTimer clock_;
    std::size_t total_ = 0;
    QPointer<QProgressDialog> dialog_;
    bool shown_ = false;
};

} // namespace qb
