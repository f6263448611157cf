// Record filter expressions of the form  Lang = 'ENG' and (Nr > 10 or Nr = 0).  Operands are
// field names (plain or in brackets), quoted texts ('' for a quote) and numbers; comparisons
// are = <> < > <= >=; they join with and, or, not and parentheses.  Text compares exactly;
// numbers compare by value.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/fields.h"

namespace tw {

class TFilterExpression {
 public:
  // Raises EDatabaseError "Invalid filter expression: ..." for text that does not parse.
  explicit TFilterExpression(const std::string& text);
  ~TFilterExpression();
  // Field names the expression uses, in order of appearance.
  const std::vector<std::string>& FieldNames() const { return FFieldNames; }
  // Evaluates with a lookup of field values by name (Null compares unequal to everything).
  bool Evaluate(const std::function<TFieldValue(const std::string&)>& lookup) const;

  // The parsed expression: and/or/not over comparisons of fields, texts and numbers.
  struct Node {
    enum Kind { And, Or, Not, Compare, Field, Text, Number } kind;
    std::string op;  // comparison operator: = <> < > <= >=
    std::string text;  // field name, text constant, or the number as written
    double number = 0;
    std::unique_ptr<Node> left, right;
  };
  const Node& Root() const { return *FRoot; }

 private:
  std::unique_ptr<Node> FRoot;
  std::vector<std::string> FFieldNames;
};

}  // namespace tw
