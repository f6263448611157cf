#include "dataset/dbilink.h"

#include <mutex>

#include "dataset/dberrors.h"

namespace tw {

namespace {
std::shared_ptr<TDbiLink>& Installed() {
  static std::shared_ptr<TDbiLink> link;
  return link;
}
}  // namespace

TDbiLink& DbiLink() {
  auto& link = Installed();
  if (!link) {
    link = MakeAccessLayerLink();
    if (!link) DatabaseError("No database access layer is linked in");
  }
  return *link;
}

void SetDbiLink(std::shared_ptr<TDbiLink> link) { Installed() = std::move(link); }

}  // namespace tw
