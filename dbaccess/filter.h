// A record filter of a cursor: a callback, an expression tree in the interface's filter
// expression format, or both.  The expression block is copied and every node, operand and
// literal offset is checked against the copy, so a damaged block rejects the record instead
// of reading outside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/handles.h"

namespace tw::dbaccess {

class TBaseTable;

// Node classes and operators of the expression format.
enum : std::uint32_t { nodeUNARY = 1, nodeBINARY = 2, nodeCOMPARE = 3, nodeFIELD = 4, nodeCONST = 5, nodeCONTINUE = 7 };
enum : std::uint32_t {
  canISBLANK = 1, canNOTBLANK = 2, canEQ = 3, canNE = 4, canGT = 5, canLT = 6, canGE = 7, canLE = 8,
  canNOT = 9, canAND = 10, canOR = 11,
};

// The value of one evaluated node.  Values up to 256 bytes live in the value itself; a longer
// field value (a long text field) gets a buffer of its whole length.
struct TFilterValue {
  std::uint32_t Class = 7;
  std::uint32_t Kind = 0;  // 29: a truth value
  std::uint16_t Type = 0;
  std::uint16_t Length = 0;
  std::uint8_t* Data() { return FLarge.empty() ? FInline : FLarge.data(); }
  const std::uint8_t* Data() const { return FLarge.empty() ? FInline : FLarge.data(); }
  std::size_t Capacity() const { return FLarge.empty() ? sizeof FInline : FLarge.size(); }
  // Makes room for N bytes, zeroed.
  void Reserve(std::size_t N) {
    if (N > sizeof FInline) FLarge.assign(N, 0);
  }
  bool Truth() const { return (Data()[0] | Data()[1]) != 0; }
  void SetTruth(bool T) {
    Kind = 29;
    Data()[0] = T ? 1 : 0;
    Data()[1] = 0;
  }

 private:
  std::uint8_t FInline[256] = {};
  std::vector<std::uint8_t> FLarge;
};

class TFilterListItem : public TBapiListItem {
  TW_CLASS(TFilterListItem, TBapiListItem)
 public:
  // Expr may be nullptr; its total size is its second 16-bit word.
  TFilterListItem(TBaseTable* Cursor, TTitanCollection* Owner, std::uint32_t ClientData, std::uint16_t Priority,
                  bool CanAbort, const std::uint8_t* Expr, pfDBIFilter Callback);

  bool Active() const { return FActive; }
  void SetActive(bool A) { FActive = A; }
  bool HasExpression() const { return !FExpr.empty(); }
  void FillInfo(std::uint16_t FilterId, FILTERInfo& Info) const;

  bool RecordPasses(std::uint8_t* Record);
  // Evaluates the node at Offset of the node area; raises on a damaged expression.
  void EvaluateNode(std::uint32_t Offset, TFilterValue& Value, int Depth = 0);
  // Compares two values; partial length 0 compares the first value's length.
  int CompareValues(const TFilterValue& A, const TFilterValue& B, std::uint16_t PartialLength, bool CaseInsensitive);
  static std::string ValueAsText(const TFilterValue& V);
  // The value of a number type (16- and 32-bit, signed and unsigned, float); false for others.
  static bool NumberOf(const TFilterValue& V, double& Number);

 private:
  std::uint16_t Word(std::size_t At) const;
  std::uint32_t DWord(std::size_t At) const;
  std::size_t NodeAt(std::uint32_t Offset, std::size_t Need) const;
  std::size_t LiteralAt(std::uint32_t Offset) const;

  TBaseTable* FCursor;
  std::uint32_t FClientData;
  std::uint16_t FPriority;
  bool FCanAbort;
  std::vector<std::uint8_t> FExpr;
  pfDBIFilter FCallback;
  bool FActive = false;
  std::uint8_t* FRecord = nullptr;
};

}  // namespace tw::dbaccess
