// A table of the tests' database, freed by the fixture that keeps the list.
#pragma once

#include <string>
#include <vector>

#include "dataset/table.h"

namespace tw::test {

inline TTable* NewTableIn(std::vector<TTable*>& made, const std::string& name) {
  auto* t = new TTable(nullptr);
  made.push_back(t);
  t->SetDatabaseName("Tidewell");
  t->SetTableName(name);
  return t;
}

}  // namespace tw::test
