#include "SentenceInHand.h"

#include "MemoryLink.h"
#include "TypedSpan.h"

namespace qb {

TSentenceInHand::TSentenceInHand(QPlainTextEdit* target, std::string memoryFile,
                                 std::function<void(TMemoryLink&)> onLinkMade)
    : target_(target), memoryFile_(std::move(memoryFile)), onLinkMade_(std::move(onLinkMade)) {}

TSentenceInHand::~TSentenceInHand() = default;

bool TSentenceInHand::Take(const QString& source, int start, const std::function<void()>& beforeNew,
                           bool atCaret) {
    if (memoryFile_.empty()) return false;
    if (!typed_) typed_ = new TTypedSpan(target_);
    const bool grown =
        typed_->Active() && start == start_ && !source_.isEmpty() && source.startsWith(source_);
    if (grown) {
        typed_->SetSource(source);
    } else {
        if (beforeNew) beforeNew();
        typed_->Start(source, atCaret);
    }
    source_ = source;
    start_ = start;
    return grown;
}

TSentenceInHand::TPairs TSentenceInHand::Settle() {
    if (!typed_) return {};
    TPairs pairs = typed_->TakeChanged();
    if (!pairs.empty())
        if (TMemoryLink* memory = Memory())
            for (const auto& [source, target] : pairs) memory->Record(source, target);
    return pairs;
}

void TSentenceInHand::Drop() {
    if (typed_) typed_->Stop();
    source_.clear();
    start_ = -1;
    if (memory_) memory_->Cancel();
}

QString TSentenceInHand::Typed() const {
    return typed_ && typed_->Active() ? typed_->Text() : QString();
}

void TSentenceInHand::StopTyping() {
    if (typed_) typed_->Stop();
}

TMemoryLink* TSentenceInHand::Memory() {
    if (memoryFile_.empty() || closed_) return nullptr;
    if (!memory_) {
        memory_ = std::make_unique<TMemoryLink>(memoryFile_);
        if (onLinkMade_) onLinkMade_(*memory_);
    }
    return memory_.get();
}

void TSentenceInHand::CloseMemory(int ms, bool reopen) {
    closed_ = !reopen;
    if (!memory_) return;
    if (!reopen) memory_->Cancel();
    memory_->Finish(ms);
    memory_.reset();
}

} // namespace qb
