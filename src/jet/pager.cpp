#include "pager.h"

#include "file.h"

#include <cstdlib>

#include "file_io.h"

namespace jet {

Pager::~Pager() { dropSpill(); }

Bytes* Pager::unspill(uint32_t n) {
    auto s = spilled_.find(n);
    if (s == spilled_.end()) return nullptr;
    Bytes page(kPageSize);
    io::readFull(spillFd_, page.data(), kPageSize, s->second);
    // The scratch copy stays: its place is used again when the page goes back out.
    return &overlay_.emplace(n, std::move(page)).first->second;
}

const Bytes& Pager::read(uint32_t n) {
    if (n >= pages_) corrupt("存在しないページ " + std::to_string(n) + " を参照しています");
    auto o = overlay_.find(n);
    if (o != overlay_.end()) return o->second;
    if (Bytes* s = unspill(n)) return *s;
    auto b = before_.find(n);
    if (b != before_.end()) return b->second;
    auto c = cache_.find(n);
    if (c != cache_.end()) return c->second;
    Bytes page(kPageSize);
    io::readFull(fd_, page.data(), kPageSize, static_cast<uint64_t>(n) * kPageSize);
    return cache_.emplace(n, std::move(page)).first->second;
}

Bytes& Pager::modify(uint32_t n) {
    auto o = overlay_.find(n);
    Bytes* page = o != overlay_.end() ? &o->second : unspill(n);
    if (savepoint_ && n < savepoint_->pages && !savepoint_->before.count(n))
        savepoint_->before.emplace(n, page ? std::optional<Bytes>(*page) : std::nullopt);
    if (page) return *page;
    Bytes copy = read(n);
    return overlay_.emplace(n, std::move(copy)).first->second;
}

void Pager::forEachChange(const std::function<void(uint32_t, const Bytes&)>& visit) {
    auto o = overlay_.begin();
    auto s = spilled_.begin();
    Bytes buffer(kPageSize);
    while (o != overlay_.end() || s != spilled_.end()) {
        if (s == spilled_.end() || (o != overlay_.end() && o->first <= s->first)) {
            if (s != spilled_.end() && s->first == o->first) ++s;  // the copy in memory is newer
            visit(o->first, o->second);
            ++o;
        } else {
            io::readFull(spillFd_, buffer.data(), kPageSize, s->second);
            visit(s->first, buffer);
            ++s;
        }
    }
}

void Pager::countChanges(uint32_t& changed, uint32_t& appended) const {
    changed = appended = 0;
    for (auto& kv : overlay_) (isNew(kv.first) ? appended : changed) += 1;
    for (auto& kv : spilled_)
        if (!overlay_.count(kv.first)) (isNew(kv.first) ? appended : changed) += 1;
}

void Pager::spillIfLarge() {
    if (!spillLimit_ || savepoint_ || overlay_.size() <= spillLimit_) return;
    try {
        if (spillFd_ < 0) {
            spillFd_ = platform::createScratchFile(spillFolder_);
            if (spillFd_ < 0) {
                spillFd_ = -1;
                spillLimit_ = 0;  // no scratch file here: the transaction stays in memory
                return;
            }
        }
        for (auto& kv : overlay_) {
            auto s = spilled_.find(kv.first);
            uint64_t at = s != spilled_.end() ? s->second : spillEnd_;
            io::writeFull(spillFd_, kv.second.data(), kPageSize, at, "spill-write");
            if (s == spilled_.end()) {
                spilled_.emplace(kv.first, at);
                spillEnd_ += kPageSize;
            }
        }
    } catch (const JetError&) {
        // A full disk: keep the pages in memory; the commit will say what is wrong.
        spillLimit_ = 0;
        return;
    }
    overlay_.clear();
}

void Pager::savepoint() { savepoint_ = Savepoint{pages_, {}}; }

void Pager::rollbackToSavepoint() {
    if (!savepoint_) return;
    for (auto& kv : savepoint_->before) {
        if (kv.second) overlay_[kv.first] = std::move(*kv.second);
        else overlay_.erase(kv.first);
    }
    overlay_.erase(overlay_.lower_bound(savepoint_->pages), overlay_.end());
    spilled_.erase(spilled_.lower_bound(savepoint_->pages), spilled_.end());
    pages_ = savepoint_->pages;
    savepoint_.reset();
}

void Pager::dropSpill() {
    spilled_.clear();
    spillEnd_ = 0;
    if (spillFd_ >= 0) {
        platform::closeFile(spillFd_);
        spillFd_ = -1;
    }
}

uint32_t Pager::allocate() {
    if (pages_ >= kMaxPages) throw JetError(errTableTooLarge, "データベースファイルが大きすぎます（ページ数の上限）。");
    uint32_t n = pages_++;
    overlay_[n] = Bytes(kPageSize, 0);
    return n;
}

void Pager::discard() {
    overlay_.clear();
    dropSpill();
    savepoint_.reset();
    pages_ = filePages_;
}

void Pager::markCommitted() {
    if (overlay_.size() + cache_.size() > 4096) cache_.clear();
    for (auto& kv : overlay_) cache_[kv.first] = std::move(kv.second);
    overlay_.clear();
    dropSpill();
    savepoint_.reset();
    filePages_ = pages_;
}

void Pager::showBefore(uint32_t pageCount, std::map<uint32_t, Bytes> before) {
    reset(pageCount);
    before_ = std::move(before);
    showingBefore_ = true;
}

void Pager::reset(uint32_t pageCount) {
    cache_.clear();
    overlay_.clear();
    dropSpill();
    savepoint_.reset();
    before_.clear();
    showingBefore_ = false;
    filePages_ = pages_ = pageCount;
}

}  // namespace jet
