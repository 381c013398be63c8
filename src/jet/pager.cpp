#include "pager.h"

#include "file_io.h"

namespace jet {

const Bytes& Pager::read(uint32_t n) {
    if (n >= pages_) corrupt("存在しないページ " + std::to_string(n) + " を参照しています");
    auto o = overlay_.find(n);
    if (o != overlay_.end()) return o->second;
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
    if (o != overlay_.end()) return o->second;
    Bytes copy = read(n);
    return overlay_.emplace(n, std::move(copy)).first->second;
}

uint32_t Pager::allocate() {
    if (pages_ >= 0x00FFFFFF) throw JetError(errTableTooLarge, "データベースファイルが大きすぎます（ページ数の上限）。");
    uint32_t n = pages_++;
    overlay_[n] = Bytes(kPageSize, 0);
    return n;
}

void Pager::discard() {
    overlay_.clear();
    pages_ = filePages_;
}

void Pager::markCommitted() {
    for (auto& kv : overlay_) cache_[kv.first] = std::move(kv.second);
    overlay_.clear();
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
    before_.clear();
    showingBefore_ = false;
    filePages_ = pages_ = pageCount;
}

}  // namespace jet
