// TfrmMainQB and the translation memory: the pair recorded when the next sentence is selected,
// the match list of the selected sentence, its insertion by click and by Ctrl+1 .. Ctrl+5.
#include "MainUnit.h"

#include "GbkText.h"
#include "MemoryJournal.h"
#include "MemoryLink.h"
#include "MyUtils.h"
#include "SentenceLogic.h"
#include "TypedSpan.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace qb {

namespace {
QString U(const char* utf8) { return QString::fromUtf8(utf8); }
constexpr int kMatchRows = 5;
} // namespace

TMemoryLink* TfrmMainQB::Memory() {
    if (setup_.memoryFile.empty() || formDestroyed_) return nullptr;
    if (!memory_) {
        memory_ = std::make_unique<TMemoryLink>(setup_.memoryFile);
        connect(memory_.get(), &TMemoryLink::matchesFound, this,
                [this](const QString& s, const QList<TMemoryMatch>& m) {
                    Guard([&] { ShowMatches(s, m); });
                });
        connect(memory_.get(), &TMemoryLink::failed, this,
                [this](const QString& message) { Guard([&] { MemoryFailed(message); }); });
        connect(memory_.get(), &TMemoryLink::kept, this,
                [this](const QString& reason, const QString& journal) {
                    Guard([&] { MemoryKept(reason, journal); });
                });
    }
    return memory_.get();
}

void TfrmMainQB::WriteKeptPairs() {
    // Pairs a former run could not write wait in the journal: written now if the file takes
    // them (a start that selects no sentence touches the memory only then).
    if (setup_.memoryFile.empty() || !FileExists(tm::JournalPathFor(setup_.memoryFile))) return;
    if (TMemoryLink* memory = Memory()) memory->WriteKept();
}

void TfrmMainQB::SentenceChosen() {
    if (setup_.memoryFile.empty()) return;
    if (!typed_) typed_ = new TTypedSpan(reTarget);
    const QString sentence = Source.SelUnicode();
    const int start = Source.SelStart();
    // Ctrl+K (or a wider manual selection) that grows the sentence in hand from where it began:
    // what is typed so far belongs to the grown sentence, and goes on counting for it. "Dr." of
    // "Dr. Li came." selected alone and grown to the whole sentence is no pair of its own.
    const bool grown = typed_->Active() && start == pendingStart_ && !pendingSource_.isEmpty() &&
                       sentence.startsWith(pendingSource_);
    if (grown) {
        typed_->SetSource(sentence);
    } else {
        // "library" rendered 库 in the sentence just left: the new one offers 库 first already.
        if (RecordTypedTranslation()) ProcessSentence(Source.SelText());
        typed_->Start(sentence);
    }
    pendingSource_ = sentence;
    pendingStart_ = start;
    if (TMemoryLink* memory = Memory()) {
        // The shown matches are the previous sentence's until the answer comes: greyed, and a
        // click on them does nothing.
        lbMemory->setEnabled(false);
        if (sentence.trimmed().isEmpty()) {
            memory->Cancel();
            lbMemory->clear();
            lbMemory->hide();
        } else {
            memory->Lookup(sentence);
        }
    }
}

bool TfrmMainQB::RecordTypedTranslation() {
    if (!typed_) return false;
    // The sentence in hand, and every earlier one whose translation was mended since it was
    // recorded (the newer translation wins, the older stays in the pair's history).
    const auto pairs = typed_->TakeChanged();
    if (pairs.empty()) return false;
    std::size_t learned = 0;
    for (const auto& [source, target] : pairs) {
        StringList pooled;
        TReducedFrom reduced;
        PoolLookups(ToGbk(source), Dicts, pooled, &reduced);
        learned += Renderings.Learn(pooled, ToGbk(target));
        // Text that came in other ways than a library pick (a table word, a memory match, a
        // paste) teaches the conversion too, as a committed sentence does.
        if (ClauseConverter* c = Converter()) c->LearnText(ToGbk(target));
    }
    if (TMemoryLink* memory = Memory())
        for (const auto& [source, target] : pairs) memory->Record(source, target);
    return learned > 0;
}

void TfrmMainQB::ShowMatches(const QString& sentence, const QList<TMemoryMatch>& matches) {
    if (sentence != pendingSource_) return;
    lbMemory->clear();
    for (const TMemoryMatch& m : matches) {
        if (lbMemory->count() == kMatchRows) break;
        // One line in the list; the translation's own line breaks stay in what is inserted.
        QString line = m.target;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        auto* item = new QListWidgetItem(QStringLiteral("[%1%] %2").arg(m.score).arg(line), lbMemory);
        item->setData(Qt::UserRole, m.target);
        item->setToolTip(m.tooltip);
    }
    lbMemory->setEnabled(true);
    if (lbMemory->count() == 0) {
        lbMemory->hide();
        return;
    }
    const int rowHeight = lbMemory->sizeHintForRow(0);
    lbMemory->setFixedHeight(rowHeight * lbMemory->count() + 2 * lbMemory->frameWidth());
    lbMemory->show();
}

void TfrmMainQB::InsertMemoryMatch(int index) {
    if (!lbMemory || !lbMemory->isEnabled() || lbMemory->isHidden()) return;
    QListWidgetItem* item = lbMemory->item(index);
    if (!item) return;
    Target.MarkChinese();
    Target.SetSelUnicode(item->data(Qt::UserRole).toString());
    Target.SetFocus();
}

void TfrmMainQB::MemoryFailed(const QString& message) {
    // No answer comes for the sentence in hand: the greyed matches of the previous one go.
    lbMemory->clear();
    lbMemory->hide();
    // Once a run: the translator goes on working without the memory.
    if (memoryFailShown_) return;
    memoryFailShown_ = true;
    Ui().ShowMessage(U("译文记忆无法使用：") + QLatin1Char('\n') + message);
}

void TfrmMainQB::MemoryKept(const QString& reason, const QString& journal) {
    // Once a run: the pairs after the first go to the same place.
    if (memoryKeptShown_) return;
    memoryKeptShown_ = true;
    Ui().ShowMessage(U("译文记忆暂时无法写入：") + QLatin1Char('\n') + reason + QLatin1Char('\n') +
                     U("记下的译文已保存在") + journal +
                     U("，译文记忆能写入时（最迟在下次启动时）会自动补记。"));
}

void TfrmMainQB::EndMemory() {
    // The last pair, recorded like the others; the worker is given its time only after the
    // lexicons are saved, so a memory file that hangs delays nothing that matters more.
    if (!memory_) return;
    // A worker still waiting on the file after that ends with the process; the file's log
    // keeps the file whole.
    memory_->Cancel();
    memory_->Finish(TMemoryLink::kShutdownWaitMs);
    memory_.reset();
}

} // namespace qb
