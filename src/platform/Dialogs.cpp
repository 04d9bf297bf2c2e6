#include "Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace qb {

void TQtUi::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent_);
    // Start-up messages come while the always-on-top splash is up: stay above it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

bool TQtUi::AskYesNo(const QString& text) {
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QStringList TQtUi::OpenFiles(const QString& title, const QString& filter, bool several) {
    if (several) return QFileDialog::getOpenFileNames(parent_, title, QString(), filter);
    QString one = QFileDialog::getOpenFileName(parent_, title, QString(), filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString TQtUi::SaveFile(const QString& title, const QString& filter, bool askOverwrite) {
    QFileDialog::Options options;
    if (!askOverwrite) options |= QFileDialog::DontConfirmOverwrite;
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

QStringList TScriptedUi::OpenFiles(const QString&, const QString&, bool) {
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
