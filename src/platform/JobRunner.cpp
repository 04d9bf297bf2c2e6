#include "JobRunner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace qb {

namespace {

int running = 0; // nested RunJob calls on the window's thread

constexpr int kSteps = 1000;

// The progress window: Esc and the close box cancel cancellable work and do nothing otherwise,
// so the window stays in step with the work.
class JobProgressDialog : public QProgressDialog {
public:
    JobProgressDialog(const TJobOptions& o, TProgress& progress, QWidget* parent)
        : QProgressDialog(o.label, QString(), 0, kSteps, parent), progress_(progress),
          cancellable_(o.cancellable), cancellingLabel_(o.cancellingLabel) {
        setWindowTitle(o.title);
        setWindowModality(Qt::ApplicationModal);
        if (cancellable_) {
            setCancelButtonText(QString::fromUtf8("取消"));
            connect(this, &QProgressDialog::canceled, this, [this] { CancelWork(); });
        } else {
            setCancelButton(nullptr);
        }
        setMinimumDuration(0);
        setAutoClose(false);
        setAutoReset(false);
    }
    void Update() {
        const std::size_t total = progress_.Total();
        const std::size_t done = progress_.Done();
        const int value = total == 0 ? 0 : int(double(std::min(done, total)) / double(total) * kSteps);
        setValue(value);
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (cancellable_) CancelWork();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            if (cancellable_) CancelWork();
            return;
        }
        QProgressDialog::keyPressEvent(e);
    }

private:
    void CancelWork() {
        progress_.Cancel();
        setLabelText(cancellingLabel_);
    }
    TProgress& progress_;
    bool cancellable_;
    QString cancellingLabel_;
};

// Swallows user input and window closes everywhere but in the progress window (once shown).
class InputGate : public QObject {
public:
    explicit InputGate(QPointer<QProgressDialog>& dialog) : dialog_(dialog) {
        qApp->installEventFilter(this);
    }
    ~InputGate() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close: return !InsideDialog(watched);
        default: return false;
        }
    }

private:
    bool InsideDialog(QObject* o) const {
        if (!dialog_) return false;
        for (; o; o = o->parent())
            if (o == dialog_.data()) return true;
        return false;
    }
    QPointer<QProgressDialog>& dialog_;
};

class BackgroundJob final : public TJob {
public:
    BackgroundJob(QWidget* parent, const TJobOptions& o, std::function<void(TProgress&)> work,
                  std::function<void(std::exception_ptr)> done)
        : work_(std::move(work)), done_(std::move(done)) {
        dialog_ = new JobProgressDialog(o, progress_, parent);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->Update();
        dialog_->show();
        worker_ = QThread::create([this] {
            try {
                work_(progress_);
            } catch (...) {
                error_ = std::current_exception();
            }
        });
        // The context is the dialog, on the calling thread: `done` runs there, and never once
        // the job is destroyed (the dialog goes with it).
        QObject::connect(
            worker_, &QThread::finished, dialog_, [this] { Finished(); }, Qt::QueuedConnection);
        tick_ = new QTimer(dialog_);
        QObject::connect(tick_, &QTimer::timeout, dialog_, [this] { dialog_->Update(); });
        tick_->start(100);
        worker_->start();
    }
    ~BackgroundJob() override {
        progress_.Cancel();
        delete dialog_.data();
        worker_->wait();
        delete worker_;
    }
    void Cancel() override { progress_.Cancel(); }
    QWidget* Window() const override { return dialog_.data(); }

private:
    void Finished() {
        worker_->wait();
        delete tick_.data(); // it would read this job's progress after the job is gone
        if (dialog_) {
            dialog_->hide();
            dialog_->deleteLater(); // not here: this runs inside the dialog's own event
            dialog_ = nullptr;
        }
        // `done` may destroy this job: nothing of it is touched afterwards.
        auto done = std::move(done_);
        done(error_);
    }
    TProgress progress_;
    std::function<void(TProgress&)> work_;
    std::function<void(std::exception_ptr)> done_;
    std::exception_ptr error_;
    QPointer<JobProgressDialog> dialog_;
    QPointer<QTimer> tick_;
    QThread* worker_ = nullptr;
};

} // namespace

std::unique_ptr<TJob> StartJob(QWidget* parent, const TJobOptions& options,
                               std::function<void(TProgress&)> work,
                               std::function<void(std::exception_ptr)> done) {
    return std::make_unique<BackgroundJob>(parent, options, std::move(work), std::move(done));
}

bool JobRunning() { return running > 0; }

void RunJobVoid(QWidget* parent, const TJobOptions& options, TProgress& progress,
                const std::function<void(TProgress&)>& work) {
    std::exception_ptr error;
    QEventLoop loop;
    QThread* worker = QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            error = std::current_exception();
        }
    });
    // Queued to this thread: the loop ends after it has started, however short the work.
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    QPointer<QProgressDialog> dialog;
    InputGate gate(dialog);
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, &loop, [&] {
        auto* d = new JobProgressDialog(options, progress, parent);
        d->Update();
        d->show();
        dialog = d;
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (auto* d = static_cast<JobProgressDialog*>(dialog.data())) d->Update();
    });

    ++running;
    worker->start();
    show.start(std::max(0, options.showAfterMs));
    tick.start(50);
    loop.exec();
    worker->wait();
    --running;
    delete worker;
    delete dialog.data();
    if (error) std::rethrow_exception(error);
}

} // namespace qb
