#include "MainUnit.h"

#include "Controls.h"
#include "DocumentMenu.h"
#include "ExplanUnit.h"
#include "Fonts.h"
#include "GbkText.h"
#include "Icons.h"
#include "JobRunner.h"
#include "MainImeHost.h"
#include "MainManagementHost.h"
#include "MemoryCommands.h"
#include "MemoryLink.h"
#include "PaneStore.h"
#include "PopSourceUnit.h"
#include "QtText.h"
#include "SentenceInHand.h"
#include "SentenceLogic.h"
#include "SettingsStore.h"
#include "UserFolders.h"
#include "imeSetup.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

#include <QToolBar>
#include <QToolButton>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace qb {

namespace {

constexpr const char* kIni = "inisetup";
constexpr const char* kWinPos = "winpos";

// "词库" + name + "没有找到！": the path stays in its own bytes up to the message box.
QString MissingLexiconMessage(const std::string& path) {
    return U("词库") + QString::fromUtf8(path.data(), qsizetype(path.size())) + U("没有找到！");
}

} // namespace

TfrmMainQB::TfrmMainQB(TWorkspaceSetup setup, QWidget* parent)
    : QMainWindow(parent), Source(nullptr), Target(nullptr), setup_(std::move(setup)) {
    if (!setup_.ui) {
        ownUi_ = std::make_unique<TQtUi>();
        setup_.ui = ownUi_.get();
    }
    if (!setup_.programFolder.empty() && setup_.programFolder.back() != '/')
        setup_.programFolder += '/';
    setup_.ui->SetParentWindow(this);
    InstallFontSubstitutions();
    setObjectName(QStringLiteral("frmMainQB"));
    setWindowTitle(U("文渡翻译环境"));
    setWindowIcon(MakeIcon(TIcon::App));
    setFont(RequestedFont("MS Sans Serif", 11));
    resize(608, 394);
    BuildCommands();
    BuildLayout();
    FormCreate();
    RestorePanes();
    WriteKeptPairs();
    StartLexiconAutosave();
}

TfrmMainQB::~TfrmMainQB() {
    keyHandler_ = &defaultKeys_;
    try {
        FormDestroy(); // writes every modified lexicon
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------------------------
// Layout and command table

QAction* TfrmMainQB::MakeCommand(const char* name, const char* caption, QKeySequence key) {
    auto* a = new QAction(U(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(a); // shortcuts work whether or not the action is in a menu
    return a;
}

// A command's handler runs inside the general error guard. A checkable action flips its own
// check mark when triggered; UpdateModeDisplay then sets it from the flag, so the mark always
// shows the flag.
void TfrmMainQB::OnTriggered(QAction* action, void (TfrmMainQB::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { Guard([&] { (this->*handler)(); }); });
}

void TfrmMainQB::BuildCommands() {
    QMenuBar* bar = menuBar();
    QMenu* file = BuildFileMenu(bar);
    QMenu* edit = BuildEditMenu(bar);
    BuildOptionsMenu(bar);
    BuildLexiconMenu(bar);
    BuildHelpMenu(bar);
    BuildSentenceCommands();
    documents_ = std::make_unique<TDocumentCommands>(static_cast<TDocumentWindow&>(*this));
    documents_->AddMenuItems(file, edit);

    // The shortcuts that must reach their action even when a pane would take the key for
    // itself (Qt's panes claim Ctrl+K, Ctrl+D, Ctrl+H ... on X11); the edit commands stay the
    // panes' own.
    ownShortcuts_ = {
        ToggleMyIME,     ToggleFullPunct,     ToggleFullWide, actFindWords, ToggleFollow,
        actSmartFollow,  actAddDirect,        actAdjust,      actHelp,      DoGetASent,
        DoExpand,        DoConfirmSelection,  actFillExample, actStepUp,    actStepDown,
        actSearchMemory, actInsertPlaceholder};
    BuildToolBar();
}

QMenu* TfrmMainQB::BuildFileMenu(QMenuBar* bar) {
    mnuClearPanes = MakeCommand("mnuClearPanes", "清空原文和译文(&N)");
    mnuImportMemory = MakeCommand("mnuImportMemory", "导入译文记忆...");
    mnuExportMemory = MakeCommand("mnuExportMemory", "导出译文记忆...");
    mnuExit = MakeCommand("mnuExit", "退出(&X)");
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    OnTriggered(mnuClearPanes, &TfrmMainQB::mnuClearPanesExecute);
    memoryCommands_ = std::make_unique<TMemoryCommands>(static_cast<TMemoryWindow&>(*this));
    connect(mnuImportMemory, &QAction::triggered, this,
            [this] { Guard([&] { memoryCommands_->ImportExecute(); }); });
    connect(mnuExportMemory, &QAction::triggered, this,
            [this] { Guard([&] { memoryCommands_->ExportExecute(); }); });
    // Without a memory file (a window made without one) the memory's commands have nothing to
    // work on.
    for (QAction* a : {mnuImportMemory, mnuExportMemory}) a->setEnabled(!setup_.memoryFile.empty());

    QMenu* file = bar->addMenu(U("文件(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->addAction(mnuClearPanes);
    file->addSeparator();
    file->addActions({mnuImportMemory, mnuExportMemory});
    file->addSeparator();
    file->addAction(mnuExit);
    return file;
}

QMenu* TfrmMainQB::BuildEditMenu(QMenuBar* bar) {
    EditUndo = MakeCommand("EditUndo", "撤消(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z));
    EditCopy = MakeCommand("EditCopy", "复制(&C)", QKeySequence(Qt::CTRL | Qt::Key_C));
    EditCut = MakeCommand("EditCut", "剪切(&T)", QKeySequence(Qt::CTRL | Qt::Key_X));
    EditPaste = MakeCommand("EditPaste", "粘贴(&P)", QKeySequence(Qt::CTRL | Qt::Key_V));
    // Ctrl+T: free among the window's keys, and an exact-Ctrl key, which the input method
    // lets through to the window.
    actSearchMemory =
        MakeCommand("actSearchMemory", "检索译文记忆", QKeySequence(Qt::CTRL | Qt::Key_T));
    EditUndo->setToolTip(U("撤消"));
    EditCopy->setToolTip(U("复制"));
    EditCut->setToolTip(U("剪切"));
    EditPaste->setToolTip(U("粘贴"));
    connect(actSearchMemory, &QAction::triggered, this,
            [this] { Guard([&] { memoryCommands_->SearchExecute(); }); });
    actSearchMemory->setEnabled(!setup_.memoryFile.empty()); // as the memory's file commands
    connect(EditUndo, &QAction::triggered, this, [this] { EditCommand(0); });
    connect(EditCopy, &QAction::triggered, this, [this] { EditCommand(1); });
    connect(EditCut, &QAction::triggered, this, [this] { EditCommand(2); });
    connect(EditPaste, &QAction::triggered, this, [this] { EditCommand(3); });

    QMenu* edit = bar->addMenu(U("编辑(&E)"));
    edit->addAction(EditUndo);
    edit->addSeparator();
    edit->addActions({EditCopy, EditCut, EditPaste});
    edit->addSeparator();
    edit->addAction(actSearchMemory);
    return edit;
}

void TfrmMainQB::BuildOptionsMenu(QMenuBar* bar) {
    mnuIMESetup = MakeCommand("mnuIMESetup", "输入法组合方式...(&I)");
    ToggleMyIME = MakeCommand("ToggleMyIME", "启用文渡输入法", QKeySequence(Qt::CTRL | Qt::Key_Y));
    ToggleFullPunct = MakeCommand("ToggleFullPunct", "全角标点", QKeySequence(Qt::CTRL | Qt::Key_P));
    ToggleFullWide = MakeCommand("ToggleFullWide", "全角字符", QKeySequence(Qt::CTRL | Qt::Key_H));
    actFindWords = MakeCommand("actFindWords", "浏览模式", QKeySequence(Qt::Key_F5));
    ToggleFollow = MakeCommand("ToggleFollow", "选定原文随动", QKeySequence(Qt::CTRL | Qt::Key_F));
    actSmartFollow =
        MakeCommand("actSmartFollow", "候选框灵巧跟踪", QKeySequence(Qt::CTRL | Qt::Key_M));
    actForgetHistory = MakeCommand("actForgetHistory", "清除输入法学习记录...");
    actPrediction = MakeCommand("actPrediction", "预测下一个词");
    actForgetSchemes = MakeCommand("actForgetSchemes", "重新推断输入方案");
    for (QAction* a : {ToggleMyIME, ToggleFullPunct, ToggleFullWide, actFindWords, ToggleFollow,
                       actSmartFollow, actPrediction})
        a->setCheckable(true);
    // 输入法组合方式... is connected with the lexicon-management host (CreateManagement).
    OnTriggered(ToggleMyIME, &TfrmMainQB::ToggleMyIMEExecute);
    OnTriggered(ToggleFullPunct, &TfrmMainQB::ToggleFullPunctExecute);
    OnTriggered(ToggleFullWide, &TfrmMainQB::ToggleFullWideExecute);
    OnTriggered(ToggleFollow, &TfrmMainQB::ToggleFollowExecute);
    OnTriggered(actFindWords, &TfrmMainQB::actFindWordsExecute);
    OnTriggered(actSmartFollow, &TfrmMainQB::actSmartFollowExecute);
    OnTriggered(actPrediction, &TfrmMainQB::actPredictionExecute);
    OnTriggered(actForgetHistory, &TfrmMainQB::actForgetHistoryExecute);
    OnTriggered(actForgetSchemes, &TfrmMainQB::actForgetSchemesExecute);

    QMenu* options = bar->addMenu(U("选项(&O)"));
    options->addActions({mnuIMESetup, ToggleMyIME, ToggleFullPunct, ToggleFullWide});
    options->addSeparator();
    options->addAction(actFindWords);
    options->addSeparator();
    options->addActions({ToggleFollow, actSmartFollow});
    options->addSeparator();
    options->addActions({actPrediction, actForgetHistory, actForgetSchemes});
}

// The lexicon-management commands are connected with their host (CreateManagement).
void TfrmMainQB::BuildLexiconMenu(QMenuBar* bar) {
    mnuMerge = MakeCommand("mnuMerge", "批量添加(&B)");
    actAddDirect = MakeCommand("actAddDirect", "直接添加词条(&D)", QKeySequence(Qt::Key_F8));
    actAdjust = MakeCommand("actAdjust", "添加词条(&A)", QKeySequence(Qt::Key_F9));
    mnuPro = MakeCommand("mnuPro", "专业词库...(&P)");

    QMenu* lex = bar->addMenu(U("词库(&L)"));
    lex->addAction(mnuMerge);
    lex->addSeparator();
    lex->addActions({actAddDirect, actAdjust});
    lex->addSeparator();
    lex->addAction(mnuPro);
}

void TfrmMainQB::BuildHelpMenu(QMenuBar* bar) {
    actHelp = MakeCommand("actHelp", "内容", QKeySequence(Qt::Key_F1));
    mnuWebSite = MakeCommand("mnuWebSite", "网站(&S)");
    mnuMovie = MakeCommand("mnuMovie", "下载电影教学...(&M)");
    mnuAbout = MakeCommand("mnuAbout", "关于文渡翻译环境1.0(&A)");

    QMenu* help = bar->addMenu(U("帮助(&H)"));
    help->addActions({actHelp, mnuWebSite, mnuMovie, mnuAbout});
}

// The sentence commands live on keys and tool buttons, in no menu.
void TfrmMainQB::BuildSentenceCommands() {
    DoGetASent = MakeCommand("DoGetASent", "选一句(&S)", QKeySequence(Qt::CTRL | Qt::Key_J));
    DoExpand = MakeCommand("DoExpand", "扩展一句(&E)", QKeySequence(Qt::CTRL | Qt::Key_K));
    DoExpand->setToolTip(U("扩展一句"));
    DoConfirmSelection =
        MakeCommand("DoConfirmSelection", "确认手工选定(&F)", QKeySequence(Qt::CTRL | Qt::Key_L));
    DoConfirmSelection->setToolTip(U("确认手工选定"));
    actFillExample = MakeCommand("actFillExample", "", QKeySequence(Qt::Key_F11));
    actStepUp = MakeCommand("actStepUp", "", QKeySequence(Qt::CTRL | Qt::Key_U));
    actStepDown = MakeCommand("actStepDown", "", QKeySequence(Qt::CTRL | Qt::Key_D));
    actInsertPlaceholder =
        MakeCommand("actInsertPlaceholder", "插入下一个占位符", QKeySequence(Qt::Key_F7));
    OnTriggered(DoGetASent, &TfrmMainQB::DoGetASentExecute);
    OnTriggered(DoExpand, &TfrmMainQB::DoExpandExecute);
    OnTriggered(DoConfirmSelection, &TfrmMainQB::DoConfirmSelectionExecute);
    OnTriggered(actFillExample, &TfrmMainQB::actFillExampleExecute);
    OnTriggered(actStepUp, &TfrmMainQB::actStepUpExecute);
    OnTriggered(actStepDown, &TfrmMainQB::actStepDownExecute);
    OnTriggered(actInsertPlaceholder, &TfrmMainQB::actInsertPlaceholderExecute);
}

// The tool bar, left to right.
void TfrmMainQB::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setFixedHeight(29);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    auto button = [this](QAction* action, TIcon icon, const char* name, const QString& hint) {
        // A tool button of its own action: the button shows the action's icon and hint while
        // the menu entry keeps its caption.
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(MakeIcon(icon));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(hint);
        b->setCheckable(action->isCheckable());
        connect(b, &QToolButton::clicked, action, [action] { action->trigger(); });
        ToolBar1->addWidget(b);
        return b;
    };
    btBrowseMode = button(actFindWords, TIcon::Browse, "btBrowseMode", QString());
    ToolBar1->addSeparator();
    btGetNextSent = button(DoGetASent, TIcon::NextSentence, "btGetNextSent", QString());
    btExpandSelection = button(DoExpand, TIcon::Expand, "btExpandSelection", DoExpand->toolTip());
    btTransSelection =
        button(DoConfirmSelection, TIcon::Confirm, "btTransSelection", DoConfirmSelection->toolTip());
    ToolBar1->addSeparator();
    btAdd = button(actAdjust, TIcon::Add, "btAdd", QString());
    ToolBar1->addSeparator();
    ToolBar1->addSeparator();
    btUndo = button(EditUndo, TIcon::Undo, "btUndo", EditUndo->toolTip());
    ToolBar1->addSeparator();
    btCopy = button(EditCopy, TIcon::Copy, "btCopy", EditCopy->toolTip());
    btCut = button(EditCut, TIcon::Cut, "btCut", EditCut->toolTip());
    btPaste = button(EditPaste, TIcon::Paste, "btPaste", EditPaste->toolTip());
}

void TfrmMainQB::BuildLayout() {
    BuildStatusBar();
    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(3);
    Splitter2->setChildrenCollapsible(false);
    BuildPanes();
    QWidget* side = BuildSuggestionLists();

    Splitter2->addWidget(Panel1);
    Splitter2->addWidget(side);
    Splitter2->setStretchFactor(0, 3);
    Splitter2->setStretchFactor(1, 1);
    setCentralWidget(Splitter2);
    Splitter2->installEventFilter(this); // FormResize on every size change of the client area
    reTarget->installEventFilter(this);
    reSource->installEventFilter(this);

    Source = TPane(reSource);
    Target = TPane(reTarget);
}

// Four panels of 60 pixels with centred text, a fifth of 50.
void TfrmMainQB::BuildStatusBar() {
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("StatusBar"));
    sb->setSizeGripEnabled(false);
    sb->setFixedHeight(19);
    const char* captions[5] = {"启用输入", "全标", "半符", "原文随动", ""};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(U(captions[i]), sb);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setAlignment(i < 4 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        l->setFixedWidth(i < 4 ? 60 : 50);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        sb->addWidget(l);
        StatusPanels[std::size_t(i)] = l;
    }
}

// The source pane above the target pane, in Panel1 on the left of Splitter2.
void TfrmMainQB::BuildPanes() {
    Panel1 = new QSplitter(Qt::Vertical, Splitter2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setHandleWidth(3); // Splitter1
    Panel1->setChildrenCollapsible(false);

    auto* src = new TRichPane(Panel1);
    src->setObjectName(QStringLiteral("reSource"));
    src->setFont(RequestedFont("MS Sans Serif", 13));
    src->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key
    src->setTabChangesFocus(false);      // takes Tab characters
    src->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    src->setAttribute(Qt::WA_InputMethodEnabled, false);
    KeepSelectionVisible(src);
    reSource = src;
    connect(src, &TRichPane::mouseUp, this, [this] { Guard([&] { reSourceMouseUp(); }); });

    auto* tgt = new TRichPane(Panel1);
    tgt->setObjectName(QStringLiteral("reTarget"));
    tgt->setFont(RequestedFont("宋体", 14));
    tgt->setTabChangesFocus(false);
    tgt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tgt->setAttribute(Qt::WA_InputMethodEnabled, false);
    KeepSelectionVisible(tgt);
    reTarget = tgt;
    connect(tgt, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { Guard([&] { reTargetSelectionChange(); }); });
    connect(tgt, &QPlainTextEdit::selectionChanged, this,
            [this] { Guard([&] { reTargetSelectionChange(); }); });
}

// The sentence's phrases on the right of the panes, in pale yellow; the translation memory's
// matches stand above them, in a list of their own that shows only when there are some (a
// click inserts one, as Ctrl+1 .. Ctrl+5 do).
QWidget* TfrmMainQB::BuildSuggestionLists() {
    auto* list = new TPhraseList(Splitter2);
    list->setObjectName(QStringLiteral("lbLongPhrase"));
    list->setFont(RequestedFont("宋体", 14));
    QPalette pal = list->palette();
    pal.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xE1)); // the pale tooltip background
    pal.setColor(QPalette::Text, QColor(0x00, 0x80, 0x00)); // green
    list->setPalette(pal);
    list->setItemDelegate(
        new TFixedHeightDelegate(std::max(14, QFontMetrics(list->font()).height()), list));
    list->setUniformItemSizes(true);
    list->setFocusPolicy(Qt::NoFocus);
    lbLongPhrase = list;
    connect(list, &TPhraseList::mouseUp, this,
            [this](QPoint p) { Guard([&] { lbLongPhraseMouseUp(p); }); });

    auto* side = new QWidget(Splitter2);
    side->setObjectName(QStringLiteral("pnlSuggestions"));
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    auto* matches = new TPhraseList(side);
    matches->setObjectName(QStringLiteral("lbMemory"));
    matches->setFont(list->font());
    QPalette mpal = matches->palette();
    mpal.setColor(QPalette::Base, QColor(0xEE, 0xF4, 0xFF)); // pale blue, apart from the phrases
    mpal.setColor(QPalette::Text, QColor(0x00, 0x00, 0x80));
    matches->setPalette(mpal);
    matches->setItemDelegate(
        new TFixedHeightDelegate(std::max(14, QFontMetrics(matches->font()).height()), matches));
    matches->setUniformItemSizes(true);
    matches->setFocusPolicy(Qt::NoFocus);
    matches->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    matches->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    matches->setTextElideMode(Qt::ElideRight);
    matches->hide();
    lbMemory = matches;
    connect(matches, &TPhraseList::mouseUp, this, [this](QPoint p) {
        Guard([&] {
            if (QListWidgetItem* item = lbMemory->itemAt(p)) InsertMemoryMatch(lbMemory->row(item));
        });
    });
    list->setParent(side);
    column->addWidget(matches);
    column->addWidget(list, 1);
    return side;
}

void TfrmMainQB::FormResize() {
    // Panel1 = client width * 3 / 4; reSource = Panel1's height / 2 (both truncating).
    const int clientWidth = Splitter2->width();
    const int panelHeight = Splitter2->height();
    const int panelWidth = clientWidth * 3 / 4;
    const int sourceHeight = panelHeight / 2;
    const int handle = Splitter2->handleWidth();
    Splitter2->setSizes({panelWidth, std::max(0, clientWidth - panelWidth - handle)});
    Panel1->setSizes({sourceHeight, std::max(0, panelHeight - sourceHeight - Panel1->handleWidth())});
}

QString TfrmMainQB::StatusText(int panel) const { return StatusPanels[std::size_t(panel)]->text(); }

void TfrmMainQB::EditCommand(int which) {
    auto* edit = qobject_cast<QPlainTextEdit*>(QApplication::focusWidget());
    if (!edit) return;
    switch (which) {
    case 0: edit->undo(); break;
    case 1: edit->copy(); break;
    case 2: edit->cut(); break;
    case 3: edit->paste(); break;
    }
}

bool TfrmMainQB::IsOwnShortcut(const QKeyEvent& e) const {
    QKeySequence pressed(e.keyCombination());
    for (QAction* a : ownShortcuts_)
        if (a->shortcut() == pressed) return true;
    return false;
}

bool TfrmMainQB::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Splitter2 && e->type() == QEvent::Resize) {
        FormResize();
        return false;
    }
    if (watched == reTarget || watched == reSource) {
        if (e->type() == QEvent::ShortcutOverride) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (IsOwnShortcut(*k)) {
                k->ignore(); // let the window's action have it
                return true;
            }
            bool claimed = false;
            if (watched == reTarget) Guard([&] { claimed = keyHandler_->ClaimsShortcut(*k); });
            if (claimed) {
                k->accept(); // no shortcut fires: the key comes as a key press
                return true;
            }
        }
    }
    if (watched == reTarget) {
        switch (e->type()) {
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(e);
            // Ctrl+1 .. Ctrl+5 insert the memory's matches. No command of the window uses them,
            // and exactly-Ctrl keys never reach the input method, so they mean this in every
            // state of it (a code half typed stays in the composition box).
            const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
            if (mods == Qt::ControlModifier && k->key() >= Qt::Key_1 && k->key() <= Qt::Key_5) {
                Guard([&] { InsertMemoryMatch(k->key() - Qt::Key_1); });
                return true;
            }
            bool consumed = false;
            Guard([&] { consumed = reTargetKeyDown(*k) || reTargetKeyPress(*k); });
            return consumed;
        }
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            bool consumed = false;
            Guard([&] { consumed = reTargetKeyUp(*k); });
            return consumed;
        }
        case QEvent::FocusIn: Guard([&] { reTargetEnter(); }); return false;
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

bool TfrmMainQB::reTargetKeyDown(QKeyEvent& e) { return keyHandler_->KeyDown(e); }
bool TfrmMainQB::reTargetKeyPress(QKeyEvent& e) { return keyHandler_->KeyPress(e); }
bool TfrmMainQB::reTargetKeyUp(QKeyEvent& e) { return keyHandler_->KeyUp(e); }
void TfrmMainQB::reTargetEnter() {
    keyHandler_->Enter();
    reTargetSelectionChange();
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TfrmMainQB::FormCreate() {
    // An error in the steps ends FormCreate where it happened (the guard shows it); start-up
    // goes on with the other windows.
    formCreateCompleted_ = Guard([&] { FormCreateSteps(); });
}

void TfrmMainQB::FormCreateSteps() {
    // The converter's dictionaries and language model load beside the lexicons and tables.
    converterLoad_.Start(setup_.makeConverter);
    const std::string& folder = setup_.programFolder;
    // Without verb.spe the lexicons load but no word form is reduced any more ("went" finds
    // nothing under "go"): say so once, with the file error, and start all the same.
    const std::string verb = folder + "verb.spe";
    Guard([&] {
        if (!FileExists(verb)) ThrowCannotOpen(verb);
    });
    // Slot 0 is always the user lexicon. A missing file keeps its slot with an empty lexicon
    // that knows its path, so what the user adds is written there at shutdown.
    const std::string user = UserLexiconPath();
    OpenDict(user);
    if (Dicts.empty()) {
        auto d = std::make_unique<TQbDict>();
        d->SetFileName(user);
        Dicts.push_back(std::move(d));
    }
    MergeRescuedEntries();
    // Slot 1 is always the basic lexicon; a missing one keeps slot 1 empty, so a professional
    // lexicon never moves into its place.
    OpenDict(folder + "BasicDict.qbs");
    if (Dicts.size() < 2) Dicts.emplace_back();
    // Every start types half-width characters with full-width punctuation, the input method on:
    // these three switches are not kept in the settings.
    FullWidthChars = false;
    FullWidthPunct = true;
    ImeEnabled = true;
    // The switches, the scheme order, the window's place and the professional lexicons in use
    // (slots 2 and up) as saved; then the tables of the schemes that are on.
    ReadSettings();
    LoadSchemeTables();
    BrowseMode = false;
    UpdateModeDisplay();
}

void TfrmMainQB::ReadSettings() {
    TSettingsStore store(setup_.settingsFile);
    SmartFollow = store.ReadBool(kIni, "SmartFollowCandi", false);
    FollowSource = store.ReadBool(kIni, "PopSourceSet", true);
    useQp = store.ReadBool(kIni, "useQp", true);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Pos" + std::to_string(i + 1);
        SchemeOrder[std::size_t(i)] = store.ReadInteger(kIni, name.c_str(), i + 1);
    }
    useSp = store.ReadBool(kIni, "useSp", true);
    useZr = store.ReadBool(kIni, "useZr", true);
    useWb = store.ReadBool(kIni, "useWb", true);
    ClassicOrder = store.ReadBool(kIni, "ClassicOrder", false);
    PredictionOn = store.ReadBool(kIni, "Prediction", true);
    SchemePicks = SchemeUsage::Load(store.ReadString(kIni, "SchemePicks", ""));
    // Pos1 to Pos4 that are not a permutation of 1 to 4 fall back to 1, 2, 3, 4.
    std::array<int, 4> sorted = SchemeOrder;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != std::array<int, 4>{1, 2, 3, 4}) SchemeOrder = {1, 2, 3, 4};

    const int left = store.ReadInteger(kWinPos, "left", 10);
    const int top = store.ReadInteger(kWinPos, "top", 10);
    const int width = store.ReadInteger(kWinPos, "width", 640);
    const int height = store.ReadInteger(kWinPos, "height", 480);
    move(left, top);
    resize(width, height);
    EnsureOnScreen();

    for (int n = 1; n <= 10; ++n) {
        const std::string name = "rcdicts" + std::to_string(n);
        std::string path = store.ReadString(kIni, name.c_str(), std::string());
        if (!path.empty()) OpenDict(path);
    }
    settingsRead_ = true;
}

void TfrmMainQB::EnsureOnScreen() {
    // A saved position that lies on no screen is moved onto the primary screen; the rest of
    // the bounds are applied as read. "On a screen" = the top strip of the window (where its
    // title bar is) meets some screen.
    const QRect strip(x(), y(), std::max(1, width()), 30);
    for (QScreen* s : QGuiApplication::screens())
        if (s->geometry().intersects(strip)) return;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        QRect g = primary->availableGeometry();
        move(g.x() + 10, g.y() + 10);
    }
}

void TfrmMainQB::CreateOtherWindows() {
    // Once the main window and its lexicons are there: candidate window and composition box, floating
    // source window, add-entry dialog, explanation window; all hidden.
    CreateImeWindows();
    if (!frmPopSource) frmPopSource = new TfrmPopSource(this);
    CreateManagement();
    if (!frmShowExplain) frmShowExplain = new TfrmShowExplain(this);
}

void TfrmMainQB::CreateImeWindows() {
    // The input method (src/ime): its controller creates the composition box TfrmBianma and
    // the candidate window TfrmCandidates, hidden; the target pane's key events go
    // to it through reTargetKeyDown / KeyPress / KeyUp.
    if (ime_) return;
    ime_ = std::make_unique<TMainImeHost>(static_cast<TImeWindow&>(*this));
    inputWindows_.box = ime_->Controller().frmBianma();
    inputWindows_.candidates = ime_->Controller().frmCandidates();
    SetTargetKeyHandler(ime_.get());
}

void TfrmMainQB::CreateManagement() {
    // The add-entry dialog comes with the host; the commands run inside the error guard.
    if (management_) return;
    management_ = std::make_unique<TMainManagementHost>(static_cast<TManagementWindow&>(*this));
    ManagementHost& h = *management_;
    ConnectCommand(h, mnuMerge, mnuMergeClick);
    ConnectCommand(h, actAddDirect, actAddDirectExecute);
    ConnectCommand(h, actAdjust, actAdjustExecute);
    ConnectCommand(h, mnuPro, mnuProClick);
    ConnectCommand(h, mnuIMESetup, mnuIMESetupClick);
    ConnectCommand(h, actHelp, actHelpExecute);
    ConnectCommand(h, mnuWebSite, mnuWebSiteClick);
    ConnectCommand(h, mnuMovie, mnuMovieClick);
    ConnectCommand(h, mnuAbout, mnuAboutClick);
}

void TfrmMainQB::ActivateFromOutside() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TfrmMainQB::closeEvent(QCloseEvent* e) {
    e->accept();
    Q_EMIT closed();
}

void TfrmMainQB::FormDestroy() {
    if (formDestroyed_) return;
    // The last sentence's translation, as the next selection would have recorded it; written by
    // the memory's worker while the lexicons are saved.
    Guard([&] { RecordTypedTranslation(); });
    if (inHand_) inHand_->StopTyping();
    formDestroyed_ = true;
    // Every step runs whatever failed before it: the panes, the settings store, then each
    // lexicon on its own; each failure is shown.
    if (keepPanesTimer_) keepPanesTimer_->stop();
    keepPanesFailed_ = false;
    KeepPanes();
    // The last write is waited for here, and a failure of it shown like any other.
    if (panesWriter_) panesWriter_->Finish(TPaneFileWriter::kShutdownWaitMs);
    // A start-up that stopped before the settings were read holds the defaults, not the
    // user's settings: writing them would replace the saved window, schemes and list of
    // professional lexicons.
    if (settingsRead_) Guard([&] { WriteSettings(); });
    // What the input method learned; a failure is shown and the lexicons are saved all the same.
    Guard([&] {
        if (ClauseConverter* c = converterLoad_.Held()) c->SaveHistory();
    });
    FreeLexiconsForShutdown();
    Guard([&] { EndMemory(); });
    sentence_.SentencePhrases.clear();
    sentence_.SentenceCodeKeys.clear();
    sentence_.SentenceCodeWords.clear();
    sentence_.SentenceSenseKeys.clear();
    sentence_.SentenceSenseWords.clear();
    for (SchemeTables& t : Tables) t.Clear();
}

void TfrmMainQB::WriteSettings() {
    TSettingsStore store(setup_.settingsFile);
    store.WriteBool(kIni, "SmartFollowCandi", SmartFollow);
    store.WriteBool(kIni, "PopSourceSet", FollowSource);
    store.WriteBool(kIni, "useQp", useQp);
    store.WriteBool(kIni, "useSp", useSp);
    store.WriteBool(kIni, "useZr", useZr);
    store.WriteBool(kIni, "useWb", useWb);
    store.WriteBool(kIni, "ClassicOrder", ClassicOrder);
    store.WriteBool(kIni, "Prediction", PredictionOn);
    store.WriteString(kIni, "SchemePicks", SchemePicks.Save());
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Pos" + std::to_string(i + 1);
        store.WriteInteger(kIni, name.c_str(), SchemeOrder[std::size_t(i)]);
    }
    store.WriteInteger(kWinPos, "left", x());
    store.WriteInteger(kWinPos, "top", y());
    store.WriteInteger(kWinPos, "width", width());
    store.WriteInteger(kWinPos, "height", height());
    int n = 0;
    for (std::size_t s = 2; s < Dicts.size(); ++s) {
        const std::string name = Dicts[s] ? Dicts[s]->FileName() : std::string();
        ++n;
        if (n > 10) break;
        store.WriteString(kIni, ("rcdicts" + std::to_string(n)).c_str(), name);
    }
    if (!store.Flush()) ThrowCannotCreate(setup_.settingsFile.toStdString());
}

void TfrmMainQB::FreeLexiconsForShutdown() {
    // A write of the user lexicon still under way ends first, so the save below is the last.
    if (autosaveTimer_) autosaveTimer_->stop();
    lexiconWriter_.Drain();
    // A modified lexicon is written when it is freed; one that cannot be written has its
    // entries rescued (and the failure shown) before it is freed all the same.
    for (auto& slot : Dicts) {
        if (!slot) continue;
        try {
            slot->Save();
        } catch (const std::exception& e) {
            RescueLexicon(*slot, e.what());
        }
        slot.reset();
    }
}

std::string TfrmMainQB::RescueFolderPath() const {
    std::string folder = setup_.rescueFolder.empty() ? RescueFolder() : setup_.rescueFolder;
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string TfrmMainQB::DataFolderPath() const {
    std::string folder = setup_.dataFolder.empty() ? UserDataFolder() : setup_.dataFolder;
    if (folder.back() != '/') folder += '/';
    return folder;
}

namespace {
// `folder` + `base`, or with -yyyyMMdd-HHmmss (and -2, -3 ...) before the extension when that
// name is taken: mydict.txt, mydict-20260312-174501.txt, mydict-20260312-174501-2.txt.
std::string FreeNameIn(const std::string& folder, const std::string& base) {
    // Anything at a name takes it, a folder included (FileExists says no to a folder).
    auto taken = [](const std::string& p) {
        struct stat st;
        return ::lstat(p.c_str(), &st) == 0;
    };
    if (!taken(folder + base)) return folder + base;
    const std::string stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    const auto dot = base.find_last_of('.');
    const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : base.substr(dot);
    std::string path = folder + stem + "-" + stamp + ext;
    for (int n = 2; taken(path); ++n)
        path = folder + stem + "-" + stamp + "-" + std::to_string(n) + ext;
    return path;
}
} // namespace

void TfrmMainQB::RescueLexicon(TQbDict& dict, const std::string& error) {
    // Nothing the user added is lost: the entries go to the user's data folder, and the
    // message says where (entirely in Chinese: the file error alone would say "Cannot create").
    const QString name = QString::fromUtf8(dict.FileName());
    try {
        const std::string folder = RescueFolderPath();
        QDir().mkpath(QString::fromStdString(folder));
        ::chmod(folder.c_str(), 0700); // the entries are the user's alone, like the file below
        std::string base = dict.FileName();
        if (auto cut = base.find_last_of('/'); cut != std::string::npos)
            base = base.substr(cut + 1);
        if (base.empty()) base = "lexicon.txt";
        const std::string path = FreeNameIn(folder, base);
        WriteWholeFileSafely(path, dict.SaveToBytes(dict.IsScrambledFile()), kPrivateFileMode);
        const QString where = QString::fromUtf8(path);
        Ui().ShowMessage(dict.LoadFailed()
                             ? U("词库") + name +
                                   U("没有完整读出，不能覆盖原文件；词库的内容已另存为") + where
                             : U("词库") + name + U("无法写入；词库的内容已另存为") + where);
    } catch (const std::exception& e) {
        Ui().ShowMessage(QString::fromUtf8(error) + QLatin1Char('\n') + QString::fromUtf8(e.what()));
    }
}

std::string TfrmMainQB::UserLexiconPath() {
    // A program folder the user can write keeps "mydict.txt" beside the program. A system-wide
    // install (/usr/lib/quillbridge, read-only for its users) gives every user a lexicon of
    // their own in their data folder, started as a copy of the program folder's one.
    const std::string& folder = setup_.programFolder;
    const std::string beside = folder + "mydict.txt";
    if (::access(folder.c_str(), W_OK) == 0) return beside;
    const std::string own = DataFolderPath() + "mydict.txt";
    if (!FileExists(own) && FileExists(beside)) {
        Guard([&] {
            const std::string bytes = ReadWholeFile(beside);
            QDir().mkpath(QString::fromStdString(DataFolderPath()));
            WriteWholeFileSafely(own, bytes, kPrivateFileMode);
        });
    }
    return own;
}

void TfrmMainQB::MergeRescuedEntries() {
    // What a shutdown could not write went to the rescue folder; the user lexicon's share of it
    // comes back here, once: merged, saved, and the files moved to merged/ beside them. Files
    // of other lexicons are named, for the user to merge with the manager's expansion.
    TQbDict* user = Dicts.empty() ? nullptr : Dicts[0].get();
    if (!user || user->LoadFailed()) return;
    const std::string rescue = RescueFolderPath();
    auto isUserRescue = [](const QString& n) {
        return n == QLatin1String("mydict.txt") ||
               (n.startsWith(QLatin1String("mydict-")) && n.endsWith(QLatin1String(".txt")));
    };
    std::vector<std::string> mine, others;
    const QFileInfoList found =
        QDir(QString::fromStdString(rescue)).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& f : found) {
        if (f.fileName().contains(QLatin1String(".tmp"))) continue; // a save cut short
        (isUserRescue(f.fileName()) ? mine : others).push_back(f.filePath().toStdString());
    }
    if (setup_.rescueFolder.empty()) {
        // Earlier versions rescued into the data folder itself, as mydict-<time>.txt.
        for (const QFileInfo& f :
             QDir(QString::fromStdString(DataFolderPath())).entryInfoList(QDir::Files, QDir::Name))
            if (f.fileName().startsWith(QLatin1String("mydict-")) &&
                f.fileName().endsWith(QLatin1String(".txt")))
                mine.push_back(f.filePath().toStdString());
    }
    if (mine.empty() && others.empty()) return;

    QString message;
    if (!mine.empty()) {
        std::vector<std::string> merged;
        for (const std::string& f : mine)
            if (Guard([&] { user->MergeTextFile(f); })) merged.push_back(f);
        if (!merged.empty() && Guard([&] { user->Save(); })) {
            const std::string to = rescue + "merged/";
            QDir().mkpath(QString::fromStdString(to));
            message += U("找到上次未能写入用户词库的词条：");
            for (const std::string& f : merged) {
                std::string base = f.substr(f.find_last_of('/') + 1);
                const std::string target = FreeNameIn(to, base);
                ::rename(f.c_str(), target.c_str());
                message += QLatin1Char('\n') + QString::fromUtf8(f);
            }
            message += QLatin1Char('\n') + U("这些词条已并入用户词库") +
                       QString::fromUtf8(user->FileName()) + U("，原文件已移到") +
                       QString::fromUtf8(to);
        }
    }
    if (!others.empty()) {
        if (!message.isEmpty()) message += QLatin1String("\n\n");
        message += U("找到另存的专业词库内容：");
        for (const std::string& f : others) message += QLatin1Char('\n') + QString::fromUtf8(f);
        message += QLatin1Char('\n') + U("可用“专业词库...”的“扩充”页并回原词库。");
    }
    if (!message.isEmpty()) Ui().ShowMessage(message);
}

// ---------------------------------------------------------------------------------------------
// The user lexicon kept on disk during the run

void TfrmMainQB::StartLexiconAutosave() {
    if (!Dicts.empty() && Dicts[0]) lexiconSubmitted_ = Dicts[0]->Revision();
    // Every second: a crash, a kill or a power cut loses at most the entries of the last second
    // or two, not every entry added since the start. Comparing two counters costs nothing; the
    // lexicon's bytes are taken only when it changed.
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setInterval(1000);
    connect(autosaveTimer_, &QTimer::timeout, this, [this] { Guard([&] { AutosaveUserLexicon(); }); });
    autosaveTimer_->start();
}

void TfrmMainQB::AutosaveUserLexicon() {
    if (formDestroyed_ || Dicts.empty() || !Dicts[0]) return;
    // A merge into the user lexicon may be running on a worker (批量添加): the next tick, after
    // it, writes the lexicon whole.
    if (JobRunning()) return;
    TQbDict& user = *Dicts[0];
    const std::string error = lexiconWriter_.LastError();
    if (error.empty()) {
        autosaveFailShown_ = false;
    } else if (!autosaveFailShown_) {
        // The entries stay in memory and the write is tried again each second; shutdown saves
        // them elsewhere if the file still cannot be written.
        autosaveFailShown_ = true;
        Ui().ShowMessage(U("用户词库暂时无法写入，新词条先留在内存中：") + QLatin1Char('\n') +
                         QString::fromUtf8(error));
    }
    const bool retry = !error.empty() && !lexiconWriter_.Busy();
    if (user.Revision() == lexiconSubmitted_ && !retry) return;
    // A lexicon read only in part is never written over its file (shutdown rescues it), and
    // one without a file has nowhere to go.
    if (user.LoadFailed() || user.FileName().empty()) return;
    // The bytes are taken here, on the window's thread, between two edits; the disk is the
    // writer's affair.
    lexiconSubmitted_ = user.Revision();
    lexiconWriter_.Submit(user.FileName(), user.SaveToBytes(user.IsScrambledFile()));
}

// ---------------------------------------------------------------------------------------------
// The kept panes

void TfrmMainQB::RestorePanes() {
    if (setup_.panesFile.empty()) return;
    const std::string& path = setup_.panesFile;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        std::optional<TPaneState> state;
        try {
            const std::string bytes = ReadWholeFile(path);
            state = PaneStateFromBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        } catch (const std::exception&) {
            // Unreadable (an I/O error, no permission, a folder in its place): kept aside below
            // like a damaged one, so the next change does not write over what may be read later.
        }
        if (state) {
            restoringPanes_ = true;
            reSource->setPlainText(state->source);
            reTarget->setPlainText(state->target);
            reTarget->moveCursor(QTextCursor::End);
            Source.Select(state->selStart, state->selLength);
            documents_->Restore(state->document, state->segments);
            restoringPanes_ = false;
        } else {
            // Not a panes file (cut, or written by something else), or not readable: kept
            // aside under a name no earlier one holds, never overwritten by the next change.
            const std::string slash = path.substr(0, path.rfind('/') + 1);
            const std::string aside = FreeNameIn(slash, path.substr(slash.size()) + ".bad");
            if (::rename(path.c_str(), aside.c_str()) == 0) {
                Ui().ShowMessage(U("上次的原文和译文无法读出，原文件已改名为") +
                                 QString::fromUtf8(aside));
            } else {
                // Neither read nor moved: this run keeps nothing rather than write over it.
                Ui().ShowMessage(U("上次的原文和译文无法读出，也无法改名；这次不保存两栏的内容：") +
                                 QString::fromUtf8(path));
                setup_.panesFile.clear();
                return;
            }
        }
    }
    panesWriter_ = new TPaneFileWriter(path, this);
    connect(panesWriter_, &TPaneFileWriter::written, this, [this](const QString& error) {
        if (error.isEmpty()) {
            keepPanesFailed_ = false;
            return;
        }
        // One message for a run of failures (a full disk would otherwise show one a second).
        if (!keepPanesFailed_) Ui().ShowMessage(error);
        keepPanesFailed_ = true;
    });
    keepPanesTimer_ = new QTimer(this);
    keepPanesTimer_->setSingleShot(true);
    // Started by the first change and not restarted by the next ones, so steady typing is
    // written every second rather than only after a pause.
    keepPanesTimer_->setInterval(1000);
    connect(keepPanesTimer_, &QTimer::timeout, this, [this] { KeepPanes(); });
    for (QPlainTextEdit* pane : {reSource, reTarget})
        connect(pane, &QPlainTextEdit::textChanged, this, [this] { PanesChanged(); });
    connect(reSource, &QPlainTextEdit::selectionChanged, this, [this] { PanesChanged(); });
    connect(reSource, &QPlainTextEdit::cursorPositionChanged, this, [this] { PanesChanged(); });
}

void TfrmMainQB::PanesChanged() {
    if (restoringPanes_ || formDestroyed_ || !keepPanesTimer_) return;
    if (!keepPanesTimer_->isActive()) keepPanesTimer_->start();
}

void TfrmMainQB::KeepPanes() {
    if (!panesWriter_) return;
    // Only the snapshot is taken here; the source's text comes from its pane model, which keeps
    // it from the last change (converting 500,000 characters again would cost milliseconds).
    TPaneState state;
    state.source = Source.Unicode();
    state.target = reTarget->toPlainText();
    state.selStart = Source.SelStart();
    state.selLength = Source.SelLength();
    state.document = documents_->PathForPanes();
    state.segments = documents_->SegmentsForPanes();
    panesWriter_->Write(std::move(state));
}

void TfrmMainQB::PaneDocumentsReplaced() {
    Source = TPane(reSource);
    Target = TPane(reTarget);
}

void TfrmMainQB::mnuClearPanesExecute() {
    if (!Ui().AskYesNo(U("清空原文和译文两栏吗？清空后无法恢复。"))) return;
    DropSentenceInHand();
    reSource->clear();
    reTarget->clear();
    if (frmPopSource) frmPopSource->hide();
    KeepPanes();
}

// ---------------------------------------------------------------------------------------------
// Lexicons in use

TQbDict* TfrmMainQB::Lexicon(int slot) const {
    if (slot < 0 || std::size_t(slot) >= Dicts.size()) return nullptr;
    return Dicts[std::size_t(slot)].get();
}

int TfrmMainQB::IndexOfDict(const std::string& name) const {
    for (std::size_t i = 0; i < Dicts.size(); ++i)
        if (Dicts[i] && Dicts[i]->FileName() == name) return int(i);
    return -1;
}

void TfrmMainQB::OpenDict(const std::string& name) {
    if (!FileExists(name)) {
        Ui().ShowMessage(MissingLexiconMessage(name));
        return;
    }
    if (IndexOfDict(name) != -1) return;
    Dicts.push_back(std::make_unique<TQbDict>());
    TBusyPointer busy(Ui());
    Dicts.back()->Load(name, setup_.programFolder + "verb.spe");
}

void TfrmMainQB::CloseDict(const std::string& name) {
    for (auto& slot : Dicts) {
        if (!slot || slot->FileName() != name) continue;
        // Written first: a lexicon that cannot be written stays loaded and listed, and the
        // failure reaches the caller.
        slot->Save();
        slot.reset();
    }
}

// ---------------------------------------------------------------------------------------------
// Scheme tables

const SchemeTables& TfrmMainQB::Table(int schemeId) const {
    return Tables.at(std::size_t(schemeId - 1));
}

SchemeChoice TfrmMainQB::SchemeSettings() const {
    SchemeChoice c;
    c.use = {useQp, useSp, useZr, useWb};
    c.order = SchemeOrder;
    c.classicOrder = ClassicOrder;
    c.inferred = SchemePicks.Inferred();
    c.lead = SchemePicks.Leading(c.use, c.order);
    return c;
}

void TfrmMainQB::SetSchemeSettings(const SchemeChoice& choice) {
    useQp = choice.use[0];
    useSp = choice.use[1];
    useZr = choice.use[2];
    useWb = choice.use[3];
    SchemeOrder = choice.order;
    ClassicOrder = choice.classicOrder;
}

bool TfrmMainQB::SchemeOn(int id) const {
    switch (id) {
    case 1: return useQp;
    case 2: return useSp;
    case 3: return useZr;
    case 4: return useWb;
    }
    return false;
}

void TfrmMainQB::LoadSchemeTables() {
    for (int id : kLoadOrder) {
        const SchemeInfo& info = Schemes()[std::size_t(id - 1)];
        LoadScheme(Tables[std::size_t(id - 1)], setup_.programFolder, info.stem, SchemeOn(id));
    }
}

void TfrmMainQB::GetWordCodes(std::string_view word, StringList& codes, int schemeId) const {
    const SchemeTables& t = Tables[std::size_t(schemeId - 1)];
    qb::GetWordCodes(word, codes, t.CharKeys, t.CharCodes);
}

// ---------------------------------------------------------------------------------------------
// Mode toggles

void TfrmMainQB::UpdateModeDisplay() {
    StatusPanels[0]->setText(ImeEnabled ? U("输入启动") : U("输入关闭"));
    StatusPanels[1]->setText(FullWidthPunct ? U("全角标点") : U("半角标点"));
    StatusPanels[2]->setText(FullWidthChars ? U("全角字符") : U("半角字符"));
    StatusPanels[3]->setText(FollowSource ? U("原文随动") : U("原文固定"));
    ToggleFullWide->setChecked(FullWidthChars);
    ToggleFullPunct->setChecked(FullWidthPunct);
    ToggleMyIME->setChecked(ImeEnabled);
    ToggleFollow->setChecked(FollowSource);
    actFindWords->setChecked(BrowseMode);
    actSmartFollow->setChecked(SmartFollow);
    actPrediction->setChecked(PredictionOn);
    actPrediction->setEnabled(!ClassicOrder); // the tables' order offers no prediction
    if (btBrowseMode) btBrowseMode->setChecked(BrowseMode);
}

TWorkspaceModes TfrmMainQB::Modes() const {
    TWorkspaceModes m;
    m.ImeEnabled = ImeEnabled;
    m.FullWidthPunct = FullWidthPunct;
    m.FullWidthChars = FullWidthChars;
    m.FollowSource = FollowSource;
    m.SmartFollow = SmartFollow;
    m.BrowseMode = BrowseMode;
    m.PredictionOn = PredictionOn;
    m.StepOffset = StepOffset;
    return m;
}

void TfrmMainQB::SetModes(const TWorkspaceModes& m) {
    ImeEnabled = m.ImeEnabled;
    FullWidthPunct = m.FullWidthPunct;
    FullWidthChars = m.FullWidthChars;
    FollowSource = m.FollowSource;
    SmartFollow = m.SmartFollow;
    BrowseMode = m.BrowseMode;
    PredictionOn = m.PredictionOn;
    StepOffset = m.StepOffset;
    UpdateModeDisplay();
}

void TfrmMainQB::ApplySchemeSettings(const SchemeChoice& choice) {
    SetSchemeSettings(choice);
    UpdateModeDisplay(); // 预测下一个词 is greyed in the tables' order
}

void TfrmMainQB::ToggleMyIMEExecute() {
    ImeEnabled = !ImeEnabled;
    UpdateModeDisplay();
}

void TfrmMainQB::ToggleFullPunctExecute() {
    FullWidthPunct = !FullWidthPunct;
    if (!FullWidthPunct) FullWidthChars = false;
    UpdateModeDisplay();
}

void TfrmMainQB::ToggleFullWideExecute() {
    FullWidthChars = !FullWidthChars;
    UpdateModeDisplay();
}

void TfrmMainQB::ToggleFollowExecute() {
    FollowSource = !FollowSource;
    if (!FollowSource && frmPopSource) frmPopSource->hide();
    UpdateModeDisplay();
}

// ---------------------------------------------------------------------------------------------
// Whole-clause pinyin

ClauseConverter* TfrmMainQB::Converter() {
    ClauseConverter* c = converterLoad_.Get();
    if (!c && setup_.makeConverter && !converterMissingShown_) {
        // Said once, where the typing goes on: a message box here would take the key typed.
        converterMissingShown_ = true;
        statusBar()->showMessage(kNoClauseConverterMessage, 20000);
    }
    return c;
}

void TfrmMainQB::actForgetHistoryExecute() {
    ClauseConverter* c = Converter();
    if (!c) {
        Ui().ShowMessage(U("没有安装整句输入所需的拼音库，没有学习记录可以清除。"));
        return;
    }
    if (!Ui().AskYesNo(U("清除输入法从你的选词中学到的全部记录吗？清除后不能恢复。"))) return;
    c->ForgetHistory();
    c->SaveHistory(); // at once: a crash before shutdown must not bring the old history back
}

// The picks start over: until three fall to one scheme the first enabled scheme leads again, as
// for a new user (a colleague who types 五笔 at this desk after a 全拼 typist).
void TfrmMainQB::actForgetSchemesExecute() { SchemePicks.Forget(); }

} // namespace qb
