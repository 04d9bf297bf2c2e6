#include "Dialogs.h"

#include "MyUtils.h"
#include "QtTranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(ErrorGuard, ShowsTheFileErrorAndGoesOn) {
    TScriptedUi ui;
    bool after = false;
    EXPECT_FALSE(Guarded(ui, [] { ThrowCannotOpen("/tmp/无.qbs"); }));
    EXPECT_TRUE(Guarded(ui, [&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], QString::fromUtf8("Cannot open file /tmp/无.qbs"));
}

TEST(ErrorGuard, BusyPointerIsRestoredAfterAnError) {
    TScriptedUi ui;
    Guarded(ui, [&] {
        TBusyPointer busy(ui);
        ThrowCannotCreate("x");
    });
    EXPECT_EQ(ui.busyCalls, (std::vector<bool>{true, false}));
}

TEST(ScriptedUi, AnswersAsScripted) {
    TScriptedUi ui;
    ui.yesNoAnswers = {true};
    EXPECT_TRUE(ui.AskYesNo("q1"));
    EXPECT_FALSE(ui.AskYesNo("q2")); // queue empty: No
    ui.openAnswers = {{"a", "b"}};
    EXPECT_EQ(ui.OpenFiles("t", "f", true), (QStringList{"a", "b"}));
    EXPECT_TRUE(ui.OpenFiles("t", "f", true).isEmpty());
}

// Runs `body` on the first visible top-level widget of type W once the code under test waits in
// its exec(); after two seconds without one, closes whatever is modal so nothing hangs.
template <class W>
void WhenShown(std::function<void(W&)> body, int triesLeft = 200) {
    QTimer::singleShot(10, [body, triesLeft] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<W*>(w); found && found->isVisible()) return body(*found);
        if (triesLeft > 0) return WhenShown<W>(body, triesLeft - 1);
        ADD_FAILURE() << "nothing was shown";
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
    });
}

TEST(QtUi, AShortMessageLeavesRoomForTheWholeCaption) {
    QApplication::setApplicationDisplayName(QString::fromUtf8("文渡翻译环境"));
    int width = 0, needed = 0;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        QFont bold = box.font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarReserve;
        width = box.width();
        box.accept();
    });
    TQtUi().ShowMessage(QString::fromUtf8("完成！"));
    EXPECT_GE(width, needed);
}

// The questions of 清空原文和译文 and 用记忆填充全文 came out with their text cut off: the label
// was held to the caption's width, narrower than its one line. A long text wraps and gets the
// height its lines need.
TEST(QtUi, AQuestionShowsItsWholeText) {
    QApplication::setApplicationDisplayName(QString::fromUtf8("文渡翻译环境"));
    const QString long_ = QString::fromUtf8("第 1 条：缺少占位符 %(key)r。").repeated(30);
    for (const QString& text :
         {QString::fromUtf8("清空原文和译文两栏吗？清空后无法恢复。"),
          QString::fromUtf8("用记忆填充全文将替换译文栏的内容。继续吗？"), long_}) {
        bool whole = false;
        WhenShown<QMessageBox>([&](QMessageBox& box) {
            const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            const int width = label ? label->contentsRect().width() : 0;
            whole = label && (label->wordWrap()
                                  ? label->height() >= label->heightForWidth(label->width())
                                  : width >= QFontMetrics(label->font()).horizontalAdvance(text));
            box.reject();
        });
        TQtUi().AskYesNo(text);
        EXPECT_TRUE(whole) << text.toStdString();
    }
}

TEST(QtUi, QtsOwnButtonsAndFileDialogSpeakChinese) {
    if (!InstallQtChineseTranslations()) GTEST_SKIP() << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("File &name:"));
}

// A typed name of a missing file comes back as chosen, with no "File not found" box of the
// dialog's own, and the dialog starts in the folder it was asked to start in the first time.
TEST(QtUi, OpenDialogTakesATypedNameThatDoesNotExist) {
    QTemporaryDir dir;
    const QString gone = dir.path() + "/gone.qbs";
    QString startedIn;
    bool warned = false;
    WhenShown<QFileDialog>([&](QFileDialog& d) {
        startedIn = d.directory().absolutePath();
        d.selectFile(QStringLiteral("gone.qbs"));
        // A refusal would come as a modal warning inside accept(): note it and close it.
        QTimer::singleShot(100, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    warned = true;
                    box->accept();
                }
        });
        // The Open button as the user presses it (ExistingFile keeps it disabled for gone.qbs).
        QPushButton* open = d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        ASSERT_NE(open, nullptr);
        open->click();
        if (d.isVisible()) d.reject();
    });
    TQtUi ui;
    TOpenFileRequest request;
    request.typedNameMayNotExist = true;
    request.firstFolder = dir.path();
    EXPECT_EQ(ui.OpenFiles("t", "*.qbs", true, request), QStringList{gone});
    EXPECT_FALSE(warned);
    EXPECT_EQ(startedIn, QDir(dir.path()).absolutePath());
}

} // namespace
} // namespace qb
