#include "Dialogs.h"

#include "SettingsStore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>

namespace qb {

namespace {

// QMessageBox fits itself to its text and buttons and allows the caption only its own width
// plus 50 px, so a short message like 此库已在使用中！ came out narrower than the title bar
// needs, and the window manager cut 文渡翻译环境 to "文··· 境". The text label gets a minimum width
// instead, which the box's own sizing respects; title bars usually draw the caption bold.
void MakeRoomForCaption(QMessageBox& box) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int caption = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle());
    int margins = 0;
    if (QLayout* layout = box.layout()) {
        const QMargins m = layout->contentsMargins();
        margins = m.left() + m.right();
    }
    // The minimum set here replaces the label's own, its text's width, which the box sizes
    // itself by: 清空原文和译文两栏吗？清空后无法恢复。 (228 px) was cut to the caption's 210 px.
    // A text wider than a box should be (500 px) wraps at that width as the box would wrap it.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        label->setMinimumWidth(std::max(caption + kTitleBarReserve - margins,
                                        std::min(label->sizeHint().width(), 500)));
}

QMessageBox::StandardButton RunMessageBox(QWidget* parent, const QString& text,
                                          QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, buttons, parent);
    // Start-up messages come while the always-on-top splash is up: stay above it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    MakeRoomForCaption(box);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void TQtUi::ShowMessage(const QString& text) { RunMessageBox(parent_, text, QMessageBox::Ok); }

bool TQtUi::AskYesNo(const QString& text) {
    return RunMessageBox(parent_, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QStringList TQtUi::OpenFiles(const QString& title, const QString& filter, bool several,
                             const TOpenFileRequest& request) {
    QString& last = lastFolders_[request.firstFolder];
    MakeSettingsFilePrivate(QtOwnSettingsFile()); // the dialog writes its history there
    QFileDialog dialog(parent_, title, last.isEmpty() ? request.firstFolder : last, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (request.typedNameMayNotExist) {
        // AnyFile takes a typed name as it stands (the Open button of ExistingFile stays
        // disabled for /home/ann/gone.qbs); the desktop's own dialog would insist on existing
        // files, so Qt's is used. Several files are still chosen by selecting them in the list
        // (the line then reads "a.qbs" "b.qbs") or by typing such a line.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (several)
            for (auto* view : dialog.findChildren<QAbstractItemView*>())
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    } else {
        dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    QStringList chosen = dialog.selectedFiles();
    if (!several && chosen.size() > 1) chosen = QStringList{chosen.front()};
    if (!chosen.isEmpty()) last = QFileInfo(chosen.front()).absolutePath();
    return chosen;
}

QString TQtUi::SaveFile(const QString& title, const QString& filter, bool askOverwrite) {
    QFileDialog::Options options;
    if (!askOverwrite) options |= QFileDialog::DontConfirmOverwrite;
    MakeSettingsFilePrivate(QtOwnSettingsFile());
    return QFileDialog::getSaveFileName(parent_, title, QString(), filter, nullptr, options);
}

void TQtUi::OpenUrl(const QString& urlOrPath) {
    QUrl url = QUrl::fromUserInput(urlOrPath);
    if (QFileInfo::exists(urlOrPath)) url = QUrl::fromLocalFile(urlOrPath);
    QDesktopServices::openUrl(url);
}

void TQtUi::SetBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TScriptedUi::AskYesNo(const QString& text) {
    questions.push_back(text);
    if (yesNoAnswers.empty()) return false;
    bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
}

QStringList TScriptedUi::OpenFiles(const QString&, const QString&, bool,
                                   const TOpenFileRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return {};
    QStringList a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

QString TScriptedUi::SaveFile(const QString&, const QString&, bool) {
    if (saveAnswers.empty()) return {};
    QString a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
}

} // namespace qb
