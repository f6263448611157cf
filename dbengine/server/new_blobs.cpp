#include "dbengine/server/new_blobs.h"

#include <iterator>

namespace tw::dbengine {

void TqnNewBlobs::Keep(std::uint32_t Nr, std::uint32_t Trans) {
  // A change under another transaction: the one before ended (committed) unseen.
  if (Trans != trans_) {
    before_.clear();
    trans_ = Trans;
  }
  const auto it = creators_.find(Nr);
  before_.try_emplace(Nr, it != creators_.end() ? it->second : 0u);
}

void TqnNewBlobs::Created(std::uint32_t Nr, std::uint32_t Cursor, std::uint32_t Trans) {
  Keep(Nr, Trans);
  creators_[Nr] = Cursor;
}

void TqnNewBlobs::Taken(std::uint32_t Nr, std::uint32_t Trans) {
  if (creators_.count(Nr) == 0) return;
  Keep(Nr, Trans);
  creators_.erase(Nr);
}

bool TqnNewBlobs::CreatedBy(std::uint32_t Nr, std::uint32_t Cursor) const {
  const auto it = creators_.find(Nr);
  return it != creators_.end() && it->second == Cursor;
}

void TqnNewBlobs::TransactionEnded(std::uint32_t Trans, bool Committed) {
  if (Trans != trans_) return;
  if (!Committed) {
    for (const auto& [nr, cursor] : before_) {
      if (cursor != 0) creators_[nr] = cursor;
      else creators_.erase(nr);
    }
  }
  before_.clear();
  trans_ = 0;
}

void TqnNewBlobs::CursorGone(std::uint32_t Cursor) {
  for (auto it = creators_.begin(); it != creators_.end();)
    it = it->second == Cursor ? creators_.erase(it) : std::next(it);
  for (auto& [nr, cursor] : before_)
    if (cursor == Cursor) cursor = 0;
}

}  // namespace tw::dbengine
