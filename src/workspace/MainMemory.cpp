// TfrmMainQB and the translation memory: the pair recorded when the next sentence is selected,
// the match list of the selected sentence, its insertion by click and by Ctrl+1 .. Ctrl+5.
#include "MainUnit.h"

#include "DocumentMenu.h"

#include "GbkText.h"
#include "MemoryJournal.h"
#include "MemoryLink.h"
#include "MyUtils.h"
#include "QtText.h"
#include "SentenceInHand.h"
#include "SentenceLogic.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace qb {

namespace {
constexpr int kMatchRows = 5;
} // namespace

TSentenceInHand& TfrmMainQB::InHand() {
    if (!inHand_)
        inHand_ =
            std::make_unique<TSentenceInHand>(reTarget, setup_.memoryFile, [this](TMemoryLink& link) {
                connect(&link, &TMemoryLink::matchesFound, this,
                        [this](const QString& s, const QList<TMemoryMatch>& m) {
                            Guard([&] { ShowMatches(s, m); });
                        });
                connect(&link, &TMemoryLink::failed, this,
                        [this](const QString& message) { Guard([&] { MemoryFailed(message); }); });
                connect(&link, &TMemoryLink::kept, this,
                        [this](const QString& reason, const QString& journal) {
                            Guard([&] { MemoryKept(reason, journal); });
                        });
            });
    return *inHand_;
}

TMemoryLink* TfrmMainQB::Memory() {
    if (setup_.memoryFile.empty() || formDestroyed_) return nullptr;
    return InHand().Memory();
}

void TfrmMainQB::WriteKeptPairs() {
    // Pairs a former run could not write wait in the journal: written now if the file takes
    // them (a start that selects no sentence touches the memory only then).
    if (setup_.memoryFile.empty() || !FileExists(tm::JournalPathFor(setup_.memoryFile))) return;
    if (TMemoryLink* memory = Memory()) memory->WriteKept();
}

void TfrmMainQB::SentenceChosen() {
    if (setup_.memoryFile.empty()) return;
    const QString sentence = Source.SelUnicode();
    // Ctrl+K (or a wider manual selection) that grows the sentence in hand from where it began:
    // what is typed so far belongs to the grown sentence, and goes on counting for it. "Dr." of
    // "Dr. Li came." selected alone and grown to the whole sentence is no pair of its own.
    // With a document open the translation is typed in the unit's own paragraph, where the
    // caret was put, not after the last sentence's text (unit 4 translated before unit 3).
    InHand().Take(
        sentence, Source.SelStart(),
        [this] {
            // "library" rendered 库 in the sentence just left: the new one offers 库 first already.
            if (RecordTypedTranslation()) ProcessSentence(Source.SelText());
        },
        documents_->IsOpen());
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
    if (!inHand_) return false;
    // The sentence in hand, and every earlier one whose translation was mended since it was
    // recorded (the newer translation wins, the older stays in the pair's history).
    const auto pairs = formDestroyed_ ? TSentenceInHand::TPairs{} : inHand_->Settle();
    std::size_t learned = 0;
    for (const auto& [source, target] : pairs) {
        StringList pooled;
        TReducedFrom reduced;
        PoolLookups(ToGbk(source), Dicts, pooled, &reduced);
        learned += Renderings.Learn(pooled, ToGbk(target));
        // Text that came in other ways than a library pick (a table word, a memory match, a
        // paste) teaches the conversion too, as a committed sentence does.
        if (ClauseConverter* c = Converter()) c->LearnText(ToGbk(target));
        Renderings.LearnWords(ToGbk(target), Converter());
    }
    return learned > 0;
}

void TfrmMainQB::DropSentenceInHand() {
    // The sentence in hand keeps what was typed for it; then nothing is pending any more, and
    // the matches of a sentence that is gone go with it.
    RecordTypedTranslation();
    if (inHand_) inHand_->Drop();
    lbMemory->clear();
    lbMemory->hide();
}

// What was typed for the sentence in hand is recorded, and every pair asked for is in the
// file, before anything reads the file on its own. The sentence stays in hand: what is typed for
// it afterwards is recorded again at the next Ctrl+J, the newer translation.
void TfrmMainQB::SettleSentenceInHand() {
    RecordTypedTranslation();
    if (inHand_) inHand_->CloseMemory(TMemoryLink::kShutdownWaitMs, true);
}

void TfrmMainQB::ShowMatches(const QString& sentence, const QList<TMemoryMatch>& matches) {
    if (!inHand_ || sentence != inHand_->Source()) return;
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
    // The best match's words that the sentence's differences leave alone come by their codes
    // and in the prediction, after the sentence's own senses.
    StringList words;
    if (!matches.isEmpty()) {
        StringList lacking;
        for (const QString& piece : matches.front().lacking) lacking.push_back(ToGbk(piece));
        words = MatchWordLines(ToGbk(matches.front().target), lacking, Dicts, Converter());
    }
    if (words != sentence_.SentenceMatchWords) { // most sentences have no match
        sentence_.SentenceMatchWords = std::move(words);
        BuildSenseTable();
    }
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
    // A worker still waiting on the file after that ends with the process; the file's log
    // keeps the file whole.
    if (inHand_) inHand_->CloseMemory(TMemoryLink::kShutdownWaitMs, false);
}

} // namespace qb
