// The management dialogs with the scripted dialog seam: the manager's commands on a fake set
// of lexicons in use, the scheme dialog, the add-entry dialog and the about box.
#include "AboutUnit.h"
#include "AddWordUnit.h"
#include "JobRunner.h"
#include "ZYCKunit.h"
#include "imeSetup.h"

#include "MgmtTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <stdexcept>

using namespace mgmttest;
using qb::TfrmZYCK;
using qb::TQbDict;

namespace {

std::vector<std::string> ListTexts(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

} // namespace

class Manager : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "verb.spe", "went^go^\r\n");
        WriteFile(dir / "mydict.txt", "");
        WriteLexicon(dir / "BasicDict.qbs", {{"cell", G("单元")}});
        WriteLexicon(dir / "med.qbs", {{"cell", G("细胞")}, {"dna", G("脱氧核糖核酸")}});
        WriteLexicon(dir / "law.qbs", {{"court", G("法院")}});
        WriteLexicon(dir / "it.qbs", {{"bug", G("程序错误")}});
        host.Add(dir / "mydict.txt");
        host.Add(dir / "BasicDict.qbs");
    }
    std::unique_ptr<TfrmZYCK> Open() { return std::make_unique<TfrmZYCK>(host, ui); }

    TempDir dir;
    qb::TScriptedUi ui;
    FakeLexicons host{dir.path() + "/", ui};
};

TEST_F(Manager, OpensOnFirstTabListingProfessionalSlotsOnly) {
    host.Add(dir / "med.qbs");
    host.AddEmpty();
    host.Add(dir / "law.qbs");
    auto f = Open();
    EXPECT_EQ(f->windowTitle(), Q("专业词库"));
    EXPECT_EQ(f->PagesOfCiku->currentIndex(), 0);
    EXPECT_EQ(f->PagesOfCiku->tabText(0), Q("选用"));
    EXPECT_EQ(f->PagesOfCiku->tabText(1), Q("新建"));
    EXPECT_EQ(f->PagesOfCiku->tabText(2), Q("扩充"));
    EXPECT_EQ(f->btCreateNewLib->text(), Q("新    建"));
    EXPECT_EQ(ListTexts(f->ListZYKUsing), (std::vector<std::string>{dir / "med.qbs", dir / "law.qbs"}));
    EXPECT_TRUE(f->edtFilePathName->isReadOnly());
    EXPECT_TRUE(f->edtTargetLib->text().isEmpty());
}

TEST_F(Manager, AddSeveralWithOneInUse) {
    host.Add(dir / "med.qbs");
    auto f = Open();
    ui.openAnswers.push_back({QString::fromStdString(dir / "law.qbs"),
                              QString::fromStdString(dir / "med.qbs"),
                              QString::fromStdString(dir / "it.qbs")});
    QTest::mouseClick(f->btAddLib, Qt::LeftButton);
    EXPECT_EQ(ui.messages, (std::vector<QString>{Q("此库已在使用中！")}));
    EXPECT_EQ(ListTexts(f->ListZYKUsing),
              (std::vector<std::string>{dir / "med.qbs", dir / "law.qbs", dir / "it.qbs"}));
    ASSERT_EQ(host.SlotCount(), 5);
    EXPECT_EQ(host.Slot(3)->FileName(), dir / "law.qbs");
    EXPECT_EQ(host.Slot(4)->FileName(), dir / "it.qbs");
    // The busy pointer was set and restored around each opening.
    EXPECT_EQ(ui.busyCalls, (std::vector<bool>{true, false, true, false}));
}

TEST_F(Manager, AddMissingFileStaysListedAndLoadsNothing) {
    auto f = Open();
    const std::string gone = dir / "gone.qbs";
    ui.openAnswers.push_back({QString::fromStdString(gone)});
    f->btAddLibClick();
    // The dialog was asked to take such a name, and to start in the lexicons' folder.
    ASSERT_EQ(ui.openRequests.size(), 1u);
    EXPECT_TRUE(ui.openRequests[0].typedNameMayNotExist);
    EXPECT_EQ(ui.openRequests[0].firstFolder.toStdString(), dir.path() + "/lexicons/");
    EXPECT_EQ(ui.messages,
              (std::vector<QString>{Q("词库") + QString::fromStdString(gone) + Q("没有找到！")}));
    EXPECT_EQ(ListTexts(f->ListZYKUsing), (std::vector<std::string>{gone}));
    EXPECT_EQ(host.SlotCount(), 2);
    // Removing it changes nothing in the lexicons in use.
    f->ListZYKUsing->item(0)->setSelected(true);
    f->btDeleteSelLibClick();
    EXPECT_EQ(f->ListZYKUsing->count(), 0);
    EXPECT_EQ(host.SlotCount(), 2);
}

TEST_F(Manager, AddCancelledDoesNothing) {
    auto f = Open();
    f->btAddLibClick(); // no scripted answer: cancelled
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(f->ListZYKUsing->count(), 0);
}

TEST_F(Manager, UnreadableFileStopsTheRemainingPaths) {
    auto f = Open();
    // /proc/self/mem exists, but reading it from offset 0 fails.
    ui.openAnswers.push_back(
        {QStringLiteral("/proc/self/mem"), QString::fromStdString(dir / "law.qbs")});
    f->btAddLibClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], QStringLiteral("Cannot open file /proc/self/mem"));
    EXPECT_EQ(host.IndexOfDict(dir / "law.qbs"), -1);
    EXPECT_EQ(ui.busyCalls, (std::vector<bool>{true, false})); // restored after the failure
}

TEST_F(Manager, RemoveLeavesEmptySlots) {
    host.Add(dir / "med.qbs");
    host.Add(dir / "law.qbs");
    host.Add(dir / "it.qbs");
    host.Slot(3)->AddEntry("judge", G("法官"), true);
    auto f = Open();
    f->ListZYKUsing->item(0)->setSelected(true);
    f->ListZYKUsing->item(1)->setSelected(true);
    f->btDeleteSelLibClick();
    EXPECT_EQ(ListTexts(f->ListZYKUsing), (std::vector<std::string>{dir / "it.qbs"}));
    ASSERT_EQ(host.SlotCount(), 5);
    EXPECT_EQ(host.Slot(2), nullptr);
    EXPECT_EQ(host.Slot(3), nullptr);
    EXPECT_NE(host.Slot(4), nullptr);
    // The modified one was written when it was freed.
    TQbDict reread;
    reread.Load(dir / "law.qbs", dir / "verb.spe");
    EXPECT_EQ(reread.EntryCount(), 2u);
    // Added again later: a new slot at the end.
    ui.openAnswers.push_back({QString::fromStdString(dir / "med.qbs")});
    f->btAddLibClick();
    EXPECT_EQ(host.SlotCount(), 6);
    EXPECT_EQ(host.IndexOfDict(dir / "med.qbs"), 5);
}

TEST_F(Manager, RemovingALexiconThatCannotBeWrittenKeepsItLoadedAndListed) {
    TempDir locked;
    WriteLexicon(locked / "law.qbs", {{"court", G("法院")}});
    const std::string old = ReadFile(locked / "law.qbs");
    host.Add(dir / "med.qbs");
    TQbDict& law = host.Add(locked / "law.qbs");
    host.Add(dir / "it.qbs");
    law.AddEntry("judge", G("法官"), true);
    auto f = Open();
    for (int i = 0; i < 3; ++i) f->ListZYKUsing->item(i)->setSelected(true);
    {
        UnwritableDir guard(locked.path());
        if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
        f->btDeleteSelLibClick();
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], QString::fromStdString("Cannot create file " + (locked / "law.qbs")));
    // med went; law and the one below it stay listed and loaded, with the new entry.
    EXPECT_EQ(ListTexts(f->ListZYKUsing),
              (std::vector<std::string>{locked / "law.qbs", dir / "it.qbs"}));
    EXPECT_EQ(host.Slot(2), nullptr);
    ASSERT_EQ(host.Slot(3), &law);
    EXPECT_EQ(law.EntryCount(), 2u);
    EXPECT_EQ(ReadFile(locked / "law.qbs"), old);
}

TEST_F(Manager, MoveUpSecondAndFourth) {
    for (const char* n : {"w.qbs", "x.qbs", "y.qbs", "z.qbs"}) {
        WriteFile(dir / n, "");
        host.Add(dir / n);
    }
    auto f = Open();
    f->ListZYKUsing->item(1)->setSelected(true);
    f->ListZYKUsing->item(3)->setSelected(true);
    QTest::mouseClick(f->btUpMove, Qt::LeftButton);
    EXPECT_EQ(ListTexts(f->ListZYKUsing),
              (std::vector<std::string>{dir / "x.qbs", dir / "w.qbs", dir / "z.qbs", dir / "y.qbs"}));
    // The lexicons in use keep their order.
    EXPECT_EQ(host.Slot(2)->FileName(), dir / "w.qbs");
    // First entry alone: nothing changes.
    f->ListZYKUsing->clearSelection();
    f->ListZYKUsing->item(0)->setSelected(true);
    f->btUpMoveClick();
    EXPECT_EQ(ListTexts(f->ListZYKUsing).front(), dir / "x.qbs");
}

TEST_F(Manager, NewLexiconNameGetsQbsAndIsCreatedEmpty) {
    auto f = Open();
    ui.saveAnswers.push_back(QString::fromStdString(dir / "chem.txt"));
    f->btGetLibPathNameClick();
    EXPECT_EQ(f->FilePathName(), dir / "chem.qbs");
    QTest::mouseClick(f->btCreateNewLib, Qt::LeftButton);
    EXPECT_EQ(ui.messages, (std::vector<QString>{Q("专业词库（无内容）创建成功！")}));
    ASSERT_TRUE(Exists(dir / "chem.qbs"));
    EXPECT_EQ(ReadFile(dir / "chem.qbs"), "");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(host.IndexOfDict(dir / "chem.qbs"), -1); // not opened
    EXPECT_EQ(f->ListZYKUsing->count(), 0);
}

TEST_F(Manager, NewLexiconOverAnExistingQbsAsksFirst) {
    auto f = Open();
    const std::string old = ReadFile(dir / "law.qbs");
    // Typed without an extension: the save dialog asked about "law", not "law.qbs".
    ui.saveAnswers.push_back(QString::fromStdString(dir / "law"));
    ui.yesNoAnswers.push_back(false);
    f->btGetLibPathNameClick();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.questions[0].startsWith(QString::fromStdString(dir / "law.qbs")));
    EXPECT_TRUE(f->FilePathName().empty()); // declined: nothing chosen
    f->btCreateNewLibClick();
    EXPECT_EQ(ReadFile(dir / "law.qbs"), old);

    // Agreed: replaced by an empty lexicon without a second question.
    ui.saveAnswers.push_back(QString::fromStdString(dir / "law"));
    ui.yesNoAnswers.push_back(true);
    f->btGetLibPathNameClick();
    f->btCreateNewLibClick();
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ReadFile(dir / "law.qbs"), "");
    TQbDict reread;
    reread.Load(dir / "law.qbs", dir / "verb.spe");
    EXPECT_EQ(reread.EntryCount(), 0u);
}

TEST_F(Manager, NewLexiconOverAFileThatAppearedLaterAsks) {
    auto f = Open();
    ui.saveAnswers.push_back(QString::fromStdString(dir / "late.qbs"));
    f->btGetLibPathNameClick();
    WriteLexicon(dir / "late.qbs", {{"a", G("甲")}});
    f->btCreateNewLibClick(); // no answer scripted: No
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ReadFile(dir / "late.qbs"), "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Manager, NewLexiconInAnUnwritableFolderReportsAndShowsNoSuccess) {
    TempDir locked;
    auto f = Open();
    ui.saveAnswers.push_back(QString::fromStdString(locked / "x.qbs"));
    f->btGetLibPathNameClick();
    UnwritableDir guard(locked.path());
    if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
    f->btCreateNewLibClick();
    EXPECT_EQ(ui.messages, (std::vector<QString>{
                               QString::fromStdString("Cannot create file " + (locked / "x.qbs"))}));
}

TEST_F(Manager, ExpandCountsForLoadedTemporaryAndTextSources) {
    auto f = Open();
    // Temporary target, temporary .qbs source.
    ui.openAnswers.push_back({QString::fromStdString(dir / "law.qbs")});
    f->btSpecifyTargetClick();
    ui.openAnswers.push_back({QString::fromStdString(dir / "med.qbs")});
    f->btSpecifySourceClick();
    EXPECT_EQ(f->TargetLib(), dir / "law.qbs");
    QTest::mouseClick(f->btBeginExpand, Qt::LeftButton);
    EXPECT_EQ(ui.messages.back(), Q("扩充完成！新增条目：2"));
    // Loaded target (the basic lexicon by its loaded path), loaded source (after adding med).
    ui.openAnswers.push_back({QString::fromStdString(dir / "med.qbs")});
    f->btAddLibClick();
    ui.openAnswers.push_back({QString::fromStdString(dir / "BasicDict.qbs")});
    f->btSpecifyTargetClick();
    f->btBeginExpandClick();
    EXPECT_EQ(ui.messages.back(), Q("扩充完成！新增条目：1")); // dna; cell merges
    EXPECT_EQ(host.Slot(1)->EntryCount(), 2u);
    // Text source.
    WriteFile(dir / "more.txt", "gene\t" + G("基因") + "\r\nRNA\t" + G("核糖核酸") + "\r\ncell\t" +
                                    G("小室") + "\r\n");
    ui.openAnswers.push_back({QString::fromStdString(dir / "more.txt")});
    f->btSpecifySourceClick();
    f->btBeginExpandClick();
    EXPECT_EQ(ui.messages.back(), Q("扩充完成！新增条目：2"));
    EXPECT_EQ(host.Slot(1)->EntryCount(), 4u);
    // Busy pointer set and restored around each expansion, before the completion message.
    EXPECT_EQ(ui.busyCalls.back(), false);
}

TEST_F(Manager, ExpandWithBadTextSourcesChangesNothing) {
    TQbDict& basic = *host.Slot(1);
    const auto before = Entries(basic);
    const std::string oldFile = ReadFile(dir / "BasicDict.qbs");
    auto f = Open();
    ui.openAnswers.push_back({QString::fromStdString(dir / "BasicDict.qbs")});
    f->btSpecifyTargetClick();
    WriteFile(dir / "bin.txt", ReadFile(Fixture("binary.bin")));
    WriteFile(dir / "latin1.txt", "caf\xE9\t\xFF\xFE\r\n");
    for (const char* name : {"bin.txt", "latin1.txt"}) {
        ui.openAnswers.push_back({QString::fromStdString(dir / name)});
        f->btSpecifySourceClick();
        f->btBeginExpandClick();
    }
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(ui.messages[0].contains(Q("不是文本词库")));
    EXPECT_TRUE(ui.messages[1].contains(Q("不是GBK编码")));
    EXPECT_EQ(Entries(basic), before);
    EXPECT_EQ(ReadFile(dir / "BasicDict.qbs"), oldFile);
}

TEST_F(Manager, ExpandFromUtf8TextAndTermLists) {
    // Each source into the professional lexicon law.qbs (a temporary target): the count of new
    // entries, and the file holding them in GBK.
    struct Source {
        const char* name;
        std::string bytes;
        const char* added;
    };
    const std::vector<Source> sources = {
        {"u8.txt",
         "\xEF\xBB\xBF"
         "kernel scheduler\t内核调度器\r\n",
         "1"},
        {"terms.tsv", "en\tzh\nload balancer\t负载均衡器\n", "1"},
        {"terms.csv", "zh,en\r\n\"法官；审判员\",judge\r\n法院,court\r\n", "1"},
        {"terms.tbx",
         "<martif type=\"TBX-Basic\"><text><body><termEntry><langSet xml:lang=\"en\"><tig><term>"
         "plaintiff</term></tig></langSet><langSet xml:lang=\"zh\"><tig><term>原告</term></tig>"
         "</langSet></termEntry></body></text></martif>",
         "1"},
    };
    auto f = Open();
    ui.openAnswers.push_back({QString::fromStdString(dir / "law.qbs")});
    f->btSpecifyTargetClick();
    for (const Source& s : sources) {
        WriteFile(dir / s.name, s.bytes);
        ui.openAnswers.push_back({QString::fromStdString(dir / s.name)});
        f->btSpecifySourceClick();
        f->btBeginExpandClick();
        EXPECT_EQ(ui.messages.back(), Q("扩充完成！新增条目：") + Q(s.added)) << s.name;
    }
    TQbDict law;
    law.Load(dir / "law.qbs", "");
    EXPECT_EQ(Entries(law), (std::vector<std::string>{
                                "court\t" + G("法院"), "judge\t" + G("法官；审判员"),
                                "kernel scheduler\t" + G("内核调度器"),
                                "load balancer\t" + G("负载均衡器"), "plaintiff\t" + G("原告")}));
}

TEST_F(Manager, ExpandFromAFileWithACharacterGbkCannotHoldNamesItAndAddsNothing) {
    const std::string oldFile = ReadFile(dir / "law.qbs");
    WriteFile(dir / "emoji.txt", "judge\t法官\nsmile\t😀\n");
    WriteFile(dir / "broken.tbx", "<martif><text><body>\n<termEntry>\n</body></text></martif>");
    WriteFile(dir / "cols.csv", "english,chinese\njudge,法官\n");
    auto f = Open();
    ui.openAnswers.push_back({QString::fromStdString(dir / "law.qbs")});
    f->btSpecifyTargetClick();
    for (const char* name : {"emoji.txt", "broken.tbx", "cols.csv"}) {
        ui.openAnswers.push_back({QString::fromStdString(dir / name)});
        f->btSpecifySourceClick();
        f->btBeginExpandClick();
    }
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0], Q("文件") + QString::fromStdString(dir / "emoji.txt") +
                                  Q("第2行的字符“😀”（U+1F600）不在GBK编码中，词库无法保存它。"
                                    "没有添加任何词条。"));
    EXPECT_TRUE(ui.messages[1].contains(Q("第3行的XML格式有误"))) << ui.messages[1].toStdString();
    EXPECT_TRUE(ui.messages[2].contains(Q("表头没有“en”列"))) << ui.messages[2].toStdString();
    EXPECT_EQ(ReadFile(dir / "law.qbs"), oldFile);
}

TEST_F(Manager, ExpandWithEmptyFieldsAsksForThem) {
    auto f = Open();
    f->btBeginExpandClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(ui.messages[0].startsWith(Q("扩充完成")));
    EXPECT_TRUE(ui.busyCalls.empty());
}

TEST_F(Manager, ExpandIntoUnwritableLoadedTarget) {
    TempDir locked;
    WriteLexicon(locked / "law.qbs", {{"court", G("法院")}});
    const std::string old = ReadFile(locked / "law.qbs");
    TQbDict& law = host.Add(locked / "law.qbs");
    auto f = Open();
    ui.openAnswers.push_back({QString::fromStdString(locked / "law.qbs")});
    f->btSpecifyTargetClick();
    ui.openAnswers.push_back({QString::fromStdString(dir / "med.qbs")});
    f->btSpecifySourceClick();
    {
        UnwritableDir guard(locked.path());
        if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
        f->btBeginExpandClick();
    }
    EXPECT_EQ(ui.messages, (std::vector<QString>{QString::fromStdString("Cannot create file " +
                                                                        (locked / "law.qbs"))}));
    EXPECT_EQ(law.EntryCount(), 3u);
    EXPECT_EQ(ReadFile(locked / "law.qbs"), old);
    EXPECT_EQ(ui.busyCalls.back(), false);
}

// ---- the scheme dialog ----

TEST(SchemeDialog, DefaultsListAllFourChecked) {
    qb::SchemeChoice c;
    qb::TOKRightDlg d(c);
    EXPECT_EQ(d.windowTitle(), Q("输入法设定"));
    ASSERT_EQ(d.CheckListBox1->count(), 4);
    const char* labels[] = {"全拼", "双拼", "自然", "五笔"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.CheckListBox1->item(i)->text(), Q(labels[i]));
        EXPECT_EQ(d.CheckListBox1->item(i)->checkState(), Qt::Checked);
    }
    EXPECT_EQ(d.size(), QSize(168, 176)); // room for 按码表顺序排列候选 and the inferred schemes
    EXPECT_TRUE(d.OKBtn->isDefault());
}

// The dialog tells what the picks made of the typist, and its label fits the dialog.
TEST(SchemeDialog, ShowsTheInferredSchemes) {
    qb::SchemeChoice c;
    {
        qb::TOKRightDlg d(c);
        EXPECT_EQ(d.InferredLabel->text(), Q("方案尚未推断：全拼在前"));
    }
    c.inferred = true;
    c.lead = {false, true, false, true};
    c.order = {4, 3, 2, 1};
    qb::TOKRightDlg d(c);
    EXPECT_EQ(d.InferredLabel->text(), Q("推断的方案：五笔、双拼"));
    EXPECT_LE(d.InferredLabel->fontMetrics().horizontalAdvance(d.InferredLabel->text()),
              d.InferredLabel->width());
}

TEST(SchemeDialog, ClassicOrderBoxIsWrittenOnlyByOk) {
    qb::SchemeChoice c;
    {
        qb::TOKRightDlg d(c);
        EXPECT_EQ(d.ClassicOrderBox->text(), Q("按码表顺序排列候选"));
        EXPECT_FALSE(d.ClassicOrderBox->isChecked());
        d.ClassicOrderBox->setChecked(true);
        d.CancelBtnClick();
    }
    EXPECT_FALSE(c.classicOrder);
    qb::TOKRightDlg d(c);
    d.ClassicOrderBox->setChecked(true);
    d.OKBtnClick();
    EXPECT_TRUE(c.classicOrder);
}

TEST(SchemeDialog, WubiUpThreeTimesThenOk) {
    qb::SchemeChoice c;
    c.use = {true, false, true, true};
    qb::TOKRightDlg d(c);
    d.CheckListBox1->setCurrentRow(3);
    for (int i = 0; i < 3; ++i) QTest::mouseClick(d.Button1, Qt::LeftButton);
    EXPECT_EQ(d.CheckListBox1->item(0)->text(), Q("五笔"));
    EXPECT_EQ(d.CheckListBox1->currentRow(), 0);
    // The check state travelled with its row: 双拼 is now the third row, still unchecked.
    EXPECT_EQ(d.CheckListBox1->item(2)->text(), Q("双拼"));
    EXPECT_EQ(d.CheckListBox1->item(2)->checkState(), Qt::Unchecked);
    QTest::mouseClick(d.OKBtn, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(c.order, (std::array<int, 4>{4, 1, 2, 3}));
    EXPECT_EQ(c.use, (std::array<bool, 4>{true, false, true, true}));
}

TEST(SchemeDialog, CancelAfterChangesLeavesEverything) {
    qb::SchemeChoice c;
    qb::TOKRightDlg d(c);
    d.CheckListBox1->setCurrentRow(2);
    d.Button1Click();
    d.CheckListBox1->item(0)->setCheckState(Qt::Unchecked);
    QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(c.order, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(c.use, (std::array<bool, 4>{true, true, true, true}));
}

TEST(SchemeDialog, UncheckAllAndEscape) {
    qb::SchemeChoice c;
    {
        qb::TOKRightDlg d(c);
        for (int i = 0; i < 4; ++i) d.CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
        d.OKBtnClick();
    }
    EXPECT_EQ(c.use, (std::array<bool, 4>{false, false, false, false}));
    qb::TOKRightDlg d(c);
    d.show();
    d.CheckListBox1->item(0)->setCheckState(Qt::Checked);
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(c.use[0], false);
}

TEST(SchemeDialog, FirstRowOrNoSelectionDoesNotMove) {
    qb::SchemeChoice c;
    c.order = {3, 1, 4, 2};
    qb::TOKRightDlg d(c);
    EXPECT_EQ(d.CheckListBox1->item(0)->text(), Q("自然"));
    d.Button1Click(); // nothing selected
    d.CheckListBox1->setCurrentRow(0);
    d.Button1Click();
    d.OKBtnClick();
    EXPECT_EQ(c.order, (std::array<int, 4>{3, 1, 4, 2}));
}

TEST(SchemeDialog, OrderThatIsNoPermutationFallsBack) {
    qb::SchemeChoice c;
    c.order = {1, 1, 9, 2};
    qb::TOKRightDlg d(c);
    EXPECT_EQ(d.CheckListBox1->item(2)->text(), Q("自然"));
    d.OKBtnClick();
    EXPECT_EQ(c.order, (std::array<int, 4>{1, 2, 3, 4}));
}

// ---- the add-entry dialog ----

TEST(AddwordDialog, AddPassesTextsAsTheyStand) {
    qb::TfrmAddword d;
    std::vector<std::pair<std::string, std::string>> added;
    d.SetAddEntry([&](const std::string& s, const std::string& r) { added.push_back({s, r}); });
    EXPECT_EQ(d.windowTitle(), Q("添加词条"));
    d.SetSourceText("  Gene  ");
    d.SetTargetText(G("基因"));
    EXPECT_TRUE(d.btAdd->isDefault());
    QTest::mouseClick(d.btAdd, Qt::LeftButton);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].first, "  Gene  ");
    EXPECT_EQ(added[0].second, G("基因"));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    // Empty texts go through as well.
    d.SetSourceText("");
    d.SetTargetText("");
    d.btAddClick();
    EXPECT_EQ(added.size(), 2u);
}

TEST(AddwordDialog, CancelEscapeAndEnter) {
    qb::TfrmAddword d;
    int adds = 0;
    d.SetAddEntry([&](const std::string&, const std::string&) { ++adds; });
    d.show();
    QTest::mouseClick(d.btCancel, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    d.show();
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(adds, 0);
    d.show();
    d.targetBox->setFocus();
    QTest::keyClick(d.targetBox, Qt::Key_Return); // Enter is 添加
    EXPECT_EQ(adds, 1);
}

TEST(AddwordDialog, TabOrder) {
    qb::TfrmAddword d;
    EXPECT_EQ(d.sourceBox->nextInFocusChain(), d.targetBox);
    EXPECT_EQ(d.targetBox->nextInFocusChain(), d.btAdd);
    EXPECT_EQ(d.btAdd->nextInFocusChain(), d.btCancel);
}

// ---- the about box ----

TEST(AboutBox, ShowsProductVersionAndDataLicences) {
    qb::TAboutBox box;
    EXPECT_EQ(box.windowTitle(), Q("关于"));
    EXPECT_EQ(box.ProductName->text(), Q("文渡翻译环境"));
    EXPECT_EQ(box.Version->text(), Q("英汉 1.0 版"));
    EXPECT_EQ(box.OKButton->text(), Q("确定"));
    EXPECT_TRUE(box.OKButton->isDefault());
    const QString c = box.Comments->text();
    for (const char* needle : {"ECDICT", "MIT", "WordNet 3.0", "pinyin_simp", "Apache-2.0",
                               "wubi86", "LGPL-3.0", "luna_pinyin", "LGPL-3", "Unicode"})
        EXPECT_TRUE(c.contains(QString::fromUtf8(needle))) << needle;
    EXPECT_TRUE(box.Comments->wordWrap());
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
}

TEST(AboutBox, OkEnterAndCloseBoxAllClose) {
    {
        qb::TAboutBox box;
        box.show();
        QTest::mouseClick(box.OKButton, Qt::LeftButton);
        EXPECT_FALSE(box.isVisible());
    }
    {
        qb::TAboutBox box;
        box.show();
        QTest::keyClick(&box, Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
    }
    {
        qb::TAboutBox box;
        box.show();
        box.close();
        EXPECT_FALSE(box.isVisible());
    }
}

// ---- the help pages ----

TEST(HelpPages, EveryPageLinkedFromTheIndexExists) {
    const std::string dirPath = QB_HELP_SRC_DIR;
    const std::string index = ReadFile(dirPath + "/index.htm");
    ASSERT_FALSE(index.empty());
    for (const char* page : {"start.htm", "sentence.htm", "ime.htm", "lexicon.htm", "memory.htm",
                             "documents.htm", "keys.htm"}) {
        EXPECT_NE(index.find(std::string("href=\"") + page + "\""), std::string::npos) << page;
        const std::string text = ReadFile(dirPath + "/" + page);
        EXPECT_NE(text.find("charset=\"utf-8\""), std::string::npos) << page;
        // Every local image a page shows is there.
        for (std::size_t p = text.find("<img src=\""); p != std::string::npos;
             p = text.find("<img src=\"", p + 1)) {
            const std::size_t start = p + 10;
            const std::string src = text.substr(start, text.find('"', start) - start);
            EXPECT_TRUE(Exists(dirPath + "/" + src)) << page << ": " << src;
        }
    }
    const std::string ime = ReadFile(dirPath + "/ime.htm");
    for (const char* scheme : {"全拼", "双拼", "自然", "五笔"})
        EXPECT_NE(ime.find(scheme), std::string::npos) << scheme;
    // The lexicon page describes every format the readers take, with an example of each.
    const std::string lexicon = ReadFile(dirPath + "/lexicon.htm");
    for (const char* format : {"<code>.tsv</code>", "<code>.csv</code>", "<code>.tbx</code>",
                               "UTF-8", "termEntry", "en,zh"})
        EXPECT_NE(lexicon.find(format), std::string::npos) << format;
}

// ---- progress of long work ----

TEST(JobRunner, WorkRunsOffTheCallingThreadWhichKeepsServingTimersButNoInput) {
    TempDir dir;
    TQbDict merged, reference;
    merged.SetFileName(dir / "a.txt");
    reference.SetFileName(dir / "b.txt");
    std::string text;
    for (int i = 0; i < 60000; ++i) text += "word" + std::to_string(i) + "\t" + G("词") + "\r\n";

    QLineEdit field; // a window that must not take the keys typed while the work runs
    field.show();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        QTest::keyClick(&field, Qt::Key_A);
    });
    timer.start(5);
    const Qt::HANDLE caller = QThread::currentThreadId();
    Qt::HANDLE worker = caller;
    qb::TJobOptions job;
    job.label = Q("正在添加词条...");
    const std::size_t n = qb::RunJob(nullptr, job, [&](qb::TProgress& progress) {
        worker = QThread::currentThreadId();
        QThread::msleep(60); // long enough for several ticks of the caller's timer
        qb::MergeTextLexicon(merged, text, &progress);
        return merged.EntryCount();
    });
    timer.stop();
    EXPECT_NE(worker, caller);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(field.text(), QString()); // the keys went nowhere
    EXPECT_FALSE(qb::JobRunning());
    EXPECT_EQ(n, 60000u);
    qb::MergeTextLexicon(reference, text, nullptr);
    EXPECT_EQ(merged.SaveToBytes(false), reference.SaveToBytes(false));
}

TEST(JobRunner, TheWorksErrorReachesTheCallerAndCancelReachesTheWork) {
    qb::TJobOptions quiet;
    EXPECT_THROW(qb::RunJob(nullptr, quiet,
                            [](qb::TProgress&) -> int { throw std::runtime_error("disk full"); }),
                 std::runtime_error);

    qb::TJobOptions job;
    job.label = Q("正在导入...");
    job.cancellable = true;
    job.showAfterMs = 0;
    QTimer press; // 取消 in the progress window, once it is up
    QObject::connect(&press, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(top); d && d->isVisible())
                for (QPushButton* b : d->findChildren<QPushButton*>())
                    if (b->text() == Q("取消")) b->click();
    });
    press.start(20);
    const bool stopped = qb::RunJob(nullptr, job, [](qb::TProgress& progress) {
        progress.Start(1000);
        for (int i = 0; i < 1000 && !progress.Cancelled(); ++i) {
            progress.Advance(std::size_t(i));
            QThread::msleep(10);
        }
        return progress.Cancelled();
    });
    press.stop();
    EXPECT_TRUE(stopped);
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QProgressDialog*>(top)) {
            EXPECT_FALSE(d->isVisible());
        }
}
