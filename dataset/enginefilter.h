// The part of a filter expression that the access layer can evaluate itself, written in the
// interface's filter-expression format (a header of 16-bit words, a node area with the root at
// offset 0, a literal pool).
//
// The block never rejects a record that the expression accepts; it may accept more.  Only
// comparisons of a field with a constant of the field's own kind are handed over (texts by
// equality, numbers by every comparison), a comparison that is not handed over is left out of
// an "and", and an "or" or "not" over one is not handed over at all.  The data set evaluates the
// whole expression on the records that pass, so the block only spares it the records that
// cannot match.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dataset/fields.h"
#include "dataset/filterexpr.h"

namespace tw {

// What the block needs to know of a field named in the expression.
struct TEngineFilterField {
  std::string Name;  // as the table names it
  std::uint16_t FieldNo = 0;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;  // characters of a string field
};

// Answers false for a name that is no field of the table.
using TEngineFieldLookup = std::function<bool(const std::string& name, TEngineFilterField& field)>;

// The expression block, or an empty vector when no part of the expression can be handed over.
std::vector<std::uint8_t> BuildEngineFilter(const TFilterExpression& expression, const TEngineFieldLookup& lookup);

}  // namespace tw
