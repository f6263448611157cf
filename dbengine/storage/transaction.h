// The server's transaction objects: one per running transaction of a database.  The
// transaction's id is the object's own id (the id it carries on the wire).
#pragma once

#include <cstdint>

#include "dbengine/base/qnlist.h"

namespace tw::dbengine {

class TqnSrTransaction : public TqnSelfListItem {
  TW_CLASS(TqnSrTransaction, TqnSelfListItem)
 public:
  // Stores the new transaction's id in *DatabaseCurrentTransaction (when given); destroying
  // the transaction clears it to 0 again.
  TqnSrTransaction(std::uint32_t DatabaseId, std::uint32_t* DatabaseCurrentTransaction);
  ~TqnSrTransaction() override;

  std::uint32_t DatabaseId() const { return databaseId_; }

 private:
  std::uint32_t databaseId_;
  std::uint32_t* current_;
};

class TqnSrTransactionList : public TqnObject {
  TW_CLASS(TqnSrTransactionList, TqnObject)
 public:
  TqnSrTransactionList();
  ~TqnSrTransactionList() override;

  // Takes ownership; false when a transaction of that id is held already.
  bool Add(TqnSrTransaction* Transaction);
  // Frees the transaction of that id, if held.
  void Delete(std::uint32_t Id);
  TqnSrTransaction* Get(int Index) const;
  TqnSrTransaction* GetById(std::uint32_t Id) const;
  int Count() const;

 private:
  TqnList* list_;
};

}  // namespace tw::dbengine
