#include "ZYCKunit.h"

#include "GbkText.h"
#include "JobRunner.h"
#include "LexiconFormats.h"
#include "QtText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <vector>

namespace qb {

namespace {

QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(U(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* MakePathField(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true); // filled only by its "指定..." button
    e->setMinimumWidth(260);
    return e;
}

} // namespace

QString QtFilter(const char* pairsUtf8) {
    // "文渡专业词库文件(*.qbs)|*.qbs|文本词库文件(*.txt)|*.txt"
    //   -> "文渡专业词库文件 (*.qbs);;文本词库文件 (*.txt)"
    const QStringList parts = U(pairsUtf8).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        // Qt reads the patterns from the last parentheses of an entry.
        const qsizetype paren = description.lastIndexOf(QLatin1Char('('));
        if (paren > 0) description = description.left(paren);
        out << description + QStringLiteral(" (") +
                   QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

bool ReadTextLexiconForMerge(TUi& ui, const std::string& path, std::string& gbkBytes) {
    std::string bytes;
    {
        TBusyPointer busy(ui);
        bytes = ReadWholeFile(path);
    }
    const LexiconFormat format = LexiconFormatOf(path);
    if (format == LexiconFormat::Text) {
        // A text lexicon in GBK is merged byte for byte as it stands, so it is checked first;
        // UTF-8 and UTF-16 are checked by their conversion below, and all of them for lines
        // without a key.
        switch (ClassifyTextLexicon(bytes)) {
        case TextKind::Gbk: break;
        case TextKind::Unicode: break;
        case TextKind::Binary:
            ui.ShowMessage(U("文件") + PathText(path) +
                           U("含有空字节，不是文本词库。没有添加任何词条。"));
            return false;
        case TextKind::NotGbk:
            ui.ShowMessage(U("文件") + PathText(path) + U("不是GBK编码的文本词库。没有添加任何词条。"));
            return false;
        }
    }
    try {
        TBusyPointer busy(ui);
        gbkBytes = LexiconBytesToGbkLines(bytes, format);
    } catch (const LexiconFormatError& e) {
        ui.ShowMessage(ChineseMessage(e, path));
        return false;
    }
    return true;
}

TfrmZYCK::TfrmZYCK(LexiconHost& host, TUi& ui, QWidget* parent)
    : QDialog(parent), host_(host), ui_(ui) {
    setObjectName(QStringLiteral("frmZYCK"));
    setWindowTitle(U("专业词库"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    PagesOfCiku = new QTabWidget(this);
    PagesOfCiku->setObjectName(QStringLiteral("PagesOfCiku"));
    BuildChooseTab();
    BuildNewTab();
    BuildExpandTab();
    PagesOfCiku->setCurrentIndex(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PagesOfCiku);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FillList();
}

void TfrmZYCK::BuildChooseTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("sheetChoose"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(U("正在使用的专业库："), page), 0, 0, 1, 2);
    ListZYKUsing = new QListWidget(page);
    ListZYKUsing->setObjectName(QStringLiteral("ListZYKUsing"));
    ListZYKUsing->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListZYKUsing->setMinimumSize(320, 160);
    grid->addWidget(ListZYKUsing, 1, 0);
    btUpMove = MakeButton("btUpMove", "上移(&U)", page);
    auto* side = new QVBoxLayout;
    side->addStretch();
    side->addWidget(btUpMove);
    side->addStretch();
    grid->addLayout(side, 1, 1);
    btAddLib = MakeButton("btAddLib", "添加...(&A)", page);
    btDeleteSelLib = MakeButton("btDeleteSelLib", "移除(&R)", page);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btAddLib);
    row->addWidget(btDeleteSelLib);
    row->addStretch();
    grid->addLayout(row, 2, 0, 1, 2);
    PagesOfCiku->addTab(page, U("选用"));
    connect(btAddLib, &QPushButton::clicked, this, [this] { btAddLibClick(); });
    connect(btDeleteSelLib, &QPushButton::clicked, this, [this] { btDeleteSelLibClick(); });
    connect(btUpMove, &QPushButton::clicked, this, [this] { btUpMoveClick(); });
}

void TfrmZYCK::BuildNewTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SheetNew"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(U("词库文件路径及名称："), page), 0, 0, 1, 2);
    edtFilePathName = MakePathField("edtFilePathName", page);
    btGetLibPathName = MakeButton("btGetLibPathName", "指定...", page);
    grid->addWidget(edtFilePathName, 1, 0);
    grid->addWidget(btGetLibPathName, 1, 1);
    btCreateNewLib = MakeButton("btCreateNewLib", "新    建", page);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btCreateNewLib);
    row->addStretch();
    grid->addLayout(row, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    PagesOfCiku->addTab(page, U("新建"));
    connect(btGetLibPathName, &QPushButton::clicked, this, [this] { btGetLibPathNameClick(); });
    connect(btCreateNewLib, &QPushButton::clicked, this, [this] { btCreateNewLibClick(); });
}

void TfrmZYCK::BuildExpandTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("sheetExpand"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(U("目标词库："), page), 0, 0, 1, 2);
    edtTargetLib = MakePathField("edtTargetLib", page);
    btSpecifyTarget = MakeButton("btSpecifyTarget", "指定...", page);
    grid->addWidget(edtTargetLib, 1, 0);
    grid->addWidget(btSpecifyTarget, 1, 1);
    grid->addWidget(new QLabel(U("来源文件："), page), 2, 0, 1, 2);
    edtSourceFile = MakePathField("edtSourceFile", page);
    btSpecifySource = MakeButton("btSpecifySource", "指定...", page);
    grid->addWidget(edtSourceFile, 3, 0);
    grid->addWidget(btSpecifySource, 3, 1);
    btBeginExpand = MakeButton("btBeginExpand", "执行扩充", page);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btBeginExpand);
    row->addStretch();
    grid->addLayout(row, 4, 0, 1, 2);
    grid->setRowStretch(5, 1);
    PagesOfCiku->addTab(page, U("扩充"));
    connect(btSpecifyTarget, &QPushButton::clicked, this, [this] { btSpecifyTargetClick(); });
    connect(btSpecifySource, &QPushButton::clicked, this, [this] { btSpecifySourceClick(); });
    connect(btBeginExpand, &QPushButton::clicked, this, [this] { btBeginExpandClick(); });
}

void TfrmZYCK::FillList() {
    ListZYKUsing->clear();
    for (int i = 2; i < host_.SlotCount(); ++i)
        if (const TQbDict* d = host_.Slot(i)) ListZYKUsing->addItem(PathText(d->FileName()));
}

std::string TfrmZYCK::FilePathName() const { return edtFilePathName->text().toStdString(); }
std::string TfrmZYCK::TargetLib() const { return edtTargetLib->text().toStdString(); }
std::string TfrmZYCK::SourceFile() const { return edtSourceFile->text().toStdString(); }

void TfrmZYCK::btAddLibClick() {
    Guarded(ui_, [&] {
        // A typed name need not exist: OpenDict then says 词库...没有找到！ and the name stays listed.
        TOpenFileRequest request;
        request.typedNameMayNotExist = true;
        request.firstFolder = QString::fromStdString(host_.ProgramFolder() + "lexicons/");
        const QStringList paths =
            ui_.OpenFiles(U(zyck_text::kAddTitle), QtFilter(zyck_text::kQbsFilter), true, request);
        for (const QString& chosen : paths) {
            const std::string path = chosen.toStdString();
            if (host_.IndexOfDict(path) != -1) {
                ui_.ShowMessage(U(zyck_text::kInUse));
                continue;
            }
            // Listed first, so that a missing file stays listed after OpenDict's message.
            ListZYKUsing->addItem(PathText(path));
            TBusyPointer busy(ui_);
            host_.OpenDict(path); // a failure ends the command here, the pointer restored
        }
    });
}

void TfrmZYCK::btDeleteSelLibClick() {
    Guarded(ui_, [&] {
        int k = 0;
        for (int i = 0; i < ListZYKUsing->count(); ++i)
            if (ListZYKUsing->item(i)->isSelected()) ++k;
        for (; k > 0; --k) {
            int row = 0;
            while (row < ListZYKUsing->count() && !ListZYKUsing->item(row)->isSelected()) ++row;
            if (row == ListZYKUsing->count()) break;
            const std::string name = ListZYKUsing->item(row)->text().toStdString();
            // CloseDict writes a lexicon with new entries before it frees it; when the file
            // cannot be written it throws with the lexicon still loaded, the guard shows the
            // error, and the entry stays listed here, so none of its entries are lost.
            host_.CloseDict(name);
            delete ListZYKUsing->takeItem(row);
        }
    });
}

void TfrmZYCK::btUpMoveClick() {
    std::vector<ListRow> rows;
    for (int i = 0; i < ListZYKUsing->count(); ++i)
        rows.push_back(
            {ListZYKUsing->item(i)->text().toStdString(), ListZYKUsing->item(i)->isSelected()});
    MoveSelectedUp(rows);
    // The order stays in the dialog: the lookup order of the lexicons in use does not change.
    for (int i = 0; i < int(rows.size()); ++i) {
        ListZYKUsing->item(i)->setText(PathText(rows[std::size_t(i)].text));
        ListZYKUsing->item(i)->setSelected(rows[std::size_t(i)].selected);
    }
}

void TfrmZYCK::btGetLibPathNameClick() {
    Guarded(ui_, [&] {
        const std::string chosen =
            ui_.SaveFile(QString(), QtFilter(zyck_text::kQbsFilter), true).toStdString();
        if (chosen.empty()) return;
        const std::string path = NewLexiconPath(chosen);
        if (FileExists(path)) {
            // The save dialog asked about the name as typed; when ".qbs" made it another
            // name, that file has not been asked about yet.
            if (path != chosen && !ui_.AskYesNo(PathText(path) + U("已存在。要用新的空词库替换它吗？")))
                return;
            overwriteAgreed_ = path;
        } else {
            overwriteAgreed_.clear();
        }
        edtFilePathName->setText(PathText(path));
    });
}

void TfrmZYCK::btCreateNewLibClick() {
    Guarded(ui_, [&] {
        const std::string path = FilePathName();
        if (path.empty()) {
            ui_.ShowMessage(U("请先用“指定...”选择新词库的路径及名称。"));
            return;
        }
        // The file may have appeared since it was chosen: never replace one unasked.
        if (FileExists(path) && path != overwriteAgreed_) {
            if (!ui_.AskYesNo(PathText(path) + U("已存在。要用新的空词库替换它吗？"))) return;
            overwriteAgreed_ = path;
        }
        WriteWholeFileSafely(path, std::string_view());
        ui_.ShowMessage(U(zyck_text::kCreated));
    });
}

void TfrmZYCK::btSpecifyTargetClick() {
    Guarded(ui_, [&] {
        const QStringList paths = ui_.OpenFiles(QString(), QtFilter(zyck_text::kQbsFilter), false);
        if (!paths.isEmpty()) edtTargetLib->setText(paths.front());
    });
}

void TfrmZYCK::btSpecifySourceClick() {
    Guarded(ui_, [&] {
        const QStringList paths = ui_.OpenFiles(QString(), QtFilter(zyck_text::kSourceFilter), false);
        if (!paths.isEmpty()) edtSourceFile->setText(paths.front());
    });
}

void TfrmZYCK::btBeginExpandClick() {
    Guarded(ui_, [&] {
        const std::string target = TargetLib();
        const std::string source = SourceFile();
        if (target.empty() || source.empty()) {
            ui_.ShowMessage(U("请先指定目标词库和来源文件。"));
            return;
        }
        std::string text;
        const bool textSource = IsTextSource(host_, source);
        if (textSource && !ReadTextLexiconForMerge(ui_, source, text)) return;

        std::size_t added = 0;
        {
            TBusyPointer busy(ui_);
            TJobOptions job;
            job.label = U("正在扩充词库") + PathText(target) + U("...");
            added = RunJob(this, job, [&](TProgress& progress) {
                return ExpandLexicon(host_, target, source, textSource ? &text : nullptr, &progress);
            });
        }
        ui_.ShowMessage(U(zyck_text::kExpanded) + QString::number(qulonglong(added)));
    });
}

void ShowLexiconManager(LexiconHost& host, TUi& ui, QWidget* parent) {
    TfrmZYCK dialog(host, ui, parent);
    dialog.exec();
}

} // namespace qb
