#include "dbaccess/filter.h"

#include <cmath>
#include <cstring>

#include "dbaccess/basetable.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

namespace {
// Header words: version, total size, node count, node start, literal start.
constexpr std::size_t kHeaderSize = 10;
constexpr int kMaxDepth = 256;

[[noreturn]] void Damaged() { throw EConvertError("Invalid filter expression"); }
}  // namespace

TFilterListItem::TFilterListItem(TBaseTable* Cursor, TTitanCollection* Owner, std::uint32_t ClientData,
                                 std::uint16_t Priority, bool CanAbort, const std::uint8_t* Expr,
                                 pfDBIFilter Callback)
    : TBapiListItem(Owner, Cursor),
      FCursor(Cursor),
      FClientData(ClientData),
      FPriority(Priority),
      FCanAbort(CanAbort),
      FCallback(Callback) {
  if (Expr) {
    std::uint16_t size;
    std::memcpy(&size, Expr + 2, 2);
    if (size > 0) FExpr.assign(Expr, Expr + size);
  }
}

void TFilterListItem::FillInfo(std::uint16_t FilterId, FILTERInfo& Info) const {
  Info.iFilterId = FilterId;
  Info.hFilter = Handle();
  Info.iClientData = FClientData;
  Info.iPriority = FPriority;
  Info.bCanAbort = FCanAbort ? 1 : 0;
  Info.pfFilter = reinterpret_cast<std::uintptr_t>(FCallback);
  // The filter's own copy: the caller may have freed the block it handed over.
  Info.pCanExpr = FExpr.empty() ? nullptr : FExpr.data();
  Info.bActive = FActive ? 1 : 0;
}

bool TFilterListItem::RecordPasses(std::uint8_t* Record) {
  if (!FActive) return false;
  FRecord = Record;
  bool passes = true;
  if (FCallback) passes = FCallback(FClientData, Record, 0) != 0;
  if (passes && !FExpr.empty()) {
    try {
      TFilterValue v;
      EvaluateNode(0, v);
      passes = v.Truth();
    } catch (const std::exception&) {
      passes = false;
    }
  }
  return passes;
}

std::uint16_t TFilterListItem::Word(std::size_t At) const {
  if (At + 2 > FExpr.size()) Damaged();
  std::uint16_t w;
  std::memcpy(&w, FExpr.data() + At, 2);
  return w;
}

std::uint32_t TFilterListItem::DWord(std::size_t At) const {
  if (At + 4 > FExpr.size()) Damaged();
  std::uint32_t w;
  std::memcpy(&w, FExpr.data() + At, 4);
  return w;
}

std::size_t TFilterListItem::NodeAt(std::uint32_t Offset, std::size_t Need) const {
  if (FExpr.size() < kHeaderSize) Damaged();
  std::size_t at = std::size_t{Word(6)} + Offset;
  if (at + Need > FExpr.size()) Damaged();
  return at;
}

std::size_t TFilterListItem::LiteralAt(std::uint32_t Offset) const {
  if (FExpr.size() < kHeaderSize) Damaged();
  std::size_t at = std::size_t{Word(8)} + Offset;
  if (at > FExpr.size()) Damaged();
  return at;
}

void TFilterListItem::EvaluateNode(std::uint32_t Offset, TFilterValue& Value, int Depth) {
  if (Depth > kMaxDepth) Damaged();
  Value = TFilterValue{};
  std::size_t node = NodeAt(Offset, 8);
  std::uint32_t cls = DWord(node);
  std::uint32_t op = DWord(node + 4);
  auto compareOp = [](std::uint32_t o, int c) {
    switch (o) {
      case canEQ: return c == 0;
      case canNE: return c != 0;
      case canGT: return c > 0;
      case canLT: return c < 0;
      case canGE: return c >= 0;
      case canLE: return c < 1;
      default: return false;
    }
  };
  switch (cls) {
    case nodeUNARY: {
      TFilterValue operand;
      EvaluateNode(Word(node + 8), operand, Depth + 1);
      bool blank = true;
      const std::uint8_t* data = operand.Data();
      for (std::size_t i = 0; i < std::min<std::size_t>(operand.Length, operand.Capacity()); ++i)
        if (data[i]) blank = false;
      if (op == canISBLANK) {
        Value.SetTruth(blank);
      } else if (op == canNOTBLANK) {
        Value.SetTruth(!blank);
      } else if (op == canNOT) {
        Value.SetTruth(!operand.Truth());
      } else {
        Value.SetTruth(false);
      }
      return;
    }
    case nodeBINARY: {
      std::uint16_t left = Word(node + 8), right = Word(node + 10);
      if (op == canAND || op == canOR) {
        TFilterValue l;
        EvaluateNode(left, l, Depth + 1);
        if (op == canAND && !l.Truth()) return Value.SetTruth(false);
        if (op == canOR && l.Truth()) return Value.SetTruth(true);
        TFilterValue r;
        EvaluateNode(right, r, Depth + 1);
        return Value.SetTruth(r.Truth());
      }
      TFilterValue l, r;
      EvaluateNode(left, l, Depth + 1);
      EvaluateNode(right, r, Depth + 1);
      Value.SetTruth(compareOp(op, CompareValues(l, r, 0, false)));
      return;
    }
    case nodeCOMPARE: {
      bool caseInsensitive = Word(node + 8) != 0;
      std::uint16_t partial = Word(node + 10);
      TFilterValue l, r;
      EvaluateNode(Word(node + 12), l, Depth + 1);
      EvaluateNode(Word(node + 14), r, Depth + 1);
      Value.SetTruth(compareOp(op, CompareValues(l, r, partial, caseInsensitive)));
      return;
    }
    case nodeFIELD: {
      std::size_t lit = LiteralAt(Word(node + 10));
      std::size_t end = lit;
      while (end < FExpr.size() && FExpr[end]) ++end;
      if (end >= FExpr.size()) Damaged();
      std::string name(reinterpret_cast<const char*>(FExpr.data() + lit), end - lit);
      if (name.empty()) return Value.SetTruth(false);
      TFieldCacheItem* field = FCursor ? FCursor->FindFieldByName(name) : nullptr;
      if (!field) {
        std::string text = StripChar(name, '"');
        Value.Type = fldVARBYTES;
        Value.Length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 255));
        std::memcpy(Value.Data(), text.data(), Value.Length);
        Value.Kind = 29;
        Value.Data()[255] = 0;
        // A text constant stands for itself: its truth is that it was found.
        return;
      }
      // The field is read whole, whatever its length, so that a comparison sees all of it.
      Value.Type = field->Desc.iFldType;
      Value.Length = field->Desc.iLen;
      Value.Reserve(std::size_t{field->Desc.iLen} + 1);
      bool blank = false;
      DBIResult r = FCursor->GetField(field->FieldNumber, FRecord, Value.Data(), blank);
      Value.Kind = 29;
      (void)r;
      return;
    }
    case nodeCONST: {
      std::size_t at = NodeAt(Offset, 14);
      Value.Type = Word(at + 8);
      std::uint16_t size = Word(at + 10);
      std::size_t lit = LiteralAt(Word(at + 12));
      if (lit + size > FExpr.size()) Damaged();
      Value.Reserve(size);
      Value.Length = size;
      std::memcpy(Value.Data(), FExpr.data() + lit, size);
      return;
    }
    case nodeCONTINUE:
      Value.SetTruth(Word(node + 8) != 0);
      return;
    default:
      Value.SetTruth(false);
      return;
  }
}

std::string TFilterListItem::ValueAsText(const TFilterValue& V) {
  const std::uint8_t* bytes = V.Data();
  auto data = [&](std::size_t n) { return std::min<std::size_t>(n, std::min<std::size_t>(V.Length, V.Capacity())); };
  switch (V.Type) {
    case fldZSTRING:
    case fldVARBYTES: {
      std::size_t n = 0;
      while (n < data(V.Capacity()) && bytes[n]) ++n;
      return std::string(reinterpret_cast<const char*>(bytes), n);
    }
    case fldDATE: {
      std::int32_t d;
      std::memcpy(&d, bytes, 4);
      try {
        return DateToStr(static_cast<double>(d) - 693594.0);
      } catch (const std::exception&) {
        return std::string();
      }
    }
    case fldBOOL: return (bytes[0] | bytes[1]) ? "1" : "0";
    case fldINT16: {
      std::int16_t v;
      std::memcpy(&v, bytes, 2);
      return Format("%5.5d", {static_cast<int>(v)});
    }
    case fldINT32: {
      std::int32_t v;
      std::memcpy(&v, bytes, 4);
      return Format("%10.10d", {static_cast<int>(v)});
    }
    case fldUINT16:
    case fldUINT32: {
      // Unsigned numbers are written like their signed neighbours, never as empty text.
      double v = 0;
      NumberOf(V, v);
      return Format(V.Type == fldUINT16 ? "%5.5d" : "%10.10d", {static_cast<std::int64_t>(v)});
    }
    case fldFLOAT: {
      double v;
      std::memcpy(&v, bytes, 8);
      if (!std::isfinite(v)) return std::string();
      return Format("%f", {v});
    }
    case fldBYTES: return std::string(reinterpret_cast<const char*>(bytes), data(V.Capacity()));
    case fldTIME: {
      std::int32_t ms;
      std::memcpy(&ms, bytes, 4);
      if (ms < 0 || ms >= 86400000) return std::string();
      return TimeToStr(static_cast<double>(ms) / 86400000.0);
    }
    default: return std::string();
  }
}

bool TFilterListItem::NumberOf(const TFilterValue& V, double& Number) {
  const std::uint8_t* bytes = V.Data();
  const std::size_t length = std::min<std::size_t>(V.Length, V.Capacity());
  switch (V.Type) {
    case fldINT16:
    case fldUINT16: {
      // A one-byte field (an 8-bit integer or byte of the engine) is presented as 16 bits.
      if (length == 1) {
        Number = V.Type == fldINT16 ? static_cast<std::int8_t>(bytes[0]) : bytes[0];
        return true;
      }
      if (length < 2) return false;
      std::uint16_t raw;
      std::memcpy(&raw, bytes, 2);
      Number = V.Type == fldINT16 ? static_cast<std::int16_t>(raw) : raw;
      return true;
    }
    case fldINT32:
    case fldUINT32: {
      if (length < 4) return false;
      std::uint32_t raw;
      std::memcpy(&raw, bytes, 4);
      Number = V.Type == fldINT32 ? static_cast<std::int32_t>(raw) : raw;
      return true;
    }
    case fldFLOAT: {
      if (length < 8) return false;
      std::memcpy(&Number, bytes, 8);
      return !std::isnan(Number);
    }
    default: return false;
  }
}

int TFilterListItem::CompareValues(const TFilterValue& A, const TFilterValue& B, std::uint16_t PartialLength,
                                   bool CaseInsensitive) {
  // Numbers of different widths or kinds compare as the numbers they are.
  if (double a = 0, b = 0; A.Type != B.Type && NumberOf(A, a) && NumberOf(B, b)) return a < b ? -1 : (a > b ? 1 : 0);
  if (A.Type != B.Type) {
    std::string a = ValueAsText(A).substr(0, 255), b = ValueAsText(B).substr(0, 255);
    if (CaseInsensitive) {
      int c = CompareText(a, b);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  std::uint32_t len = PartialLength ? PartialLength : A.Length;
  len = static_cast<std::uint32_t>(std::min<std::size_t>(len, A.Capacity()));
  // Both sides are read over the same length: a shorter second value is padded with zeros.
  const std::uint8_t* b = B.Data();
  std::vector<std::uint8_t> padded;
  if (B.Capacity() < len) {
    padded.assign(len, 0);
    std::memcpy(padded.data(), b, B.Capacity());
    b = padded.data();
  }
  if (!FCursor) return CompareBytes(A.Data(), b, len);
  return FCursor->CompareFieldValues(A.Type, A.Data(), b, CaseInsensitive, len);
}

}  // namespace tw::dbaccess
