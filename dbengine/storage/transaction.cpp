#include "dbengine/storage/transaction.h"

namespace tw::dbengine {

TqnSrTransaction::TqnSrTransaction(std::uint32_t DatabaseId, std::uint32_t* DatabaseCurrentTransaction)
    : databaseId_(DatabaseId), current_(DatabaseCurrentTransaction) {
  if (current_ != nullptr) *current_ = Id();
}

TqnSrTransaction::~TqnSrTransaction() {
  if (current_ != nullptr && *current_ == Id()) *current_ = 0;
}

TqnSrTransactionList::TqnSrTransactionList() : list_(new TqnList) { list_->SetCapacity(32); }

TqnSrTransactionList::~TqnSrTransactionList() { delete list_; }

bool TqnSrTransactionList::Add(TqnSrTransaction* Transaction) { return list_->Insert(Transaction); }

void TqnSrTransactionList::Delete(std::uint32_t Id) {
  const std::int32_t key = static_cast<std::int32_t>(Id);
  list_->Delete(QNKeyOf(key));
}

TqnSrTransaction* TqnSrTransactionList::Get(int Index) const { return list_->ItemAs<TqnSrTransaction>(Index); }

TqnSrTransaction* TqnSrTransactionList::GetById(std::uint32_t Id) const {
  const std::int32_t key = static_cast<std::int32_t>(Id);
  const int i = list_->IndexOf(QNKeyOf(key));
  return i < 0 ? nullptr : Get(i);
}

int TqnSrTransactionList::Count() const { return list_->Count(); }

}  // namespace tw::dbengine
