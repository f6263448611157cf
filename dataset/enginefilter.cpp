#include "dataset/enginefilter.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "dbaccess/dbitypes.h"

namespace tw {

namespace {

using Node = TFilterExpression::Node;

// Node classes and operators of the expression format.
constexpr std::uint32_t kBinary = 2, kField = 4, kConst = 5;
constexpr std::uint32_t kEq = 3, kNe = 4, kGt = 5, kLt = 6, kGe = 7, kLe = 8, kAnd = 10, kOr = 11;
constexpr std::uint16_t kHeaderSize = 10;
// The access layer refuses deeper trees; a deeper block would reject every record.
constexpr int kMaxDepth = 100;

// A node of the block before it is laid out.
struct TPart {
  std::uint32_t Op = 0;  // kAnd, kOr, or a comparison
  // Comparisons: the field and the constant in the field's own interface type.
  std::string Field;
  std::uint16_t FieldNo = 0;
  std::uint16_t ConstType = 0;
  std::vector<std::uint8_t> Const;
  std::unique_ptr<TPart> Left, Right;
  int Depth = 1;
};

using PartPtr = std::unique_ptr<TPart>;

std::string Mirrored(const std::string& op) {
  if (op == "<") return ">";
  if (op == ">") return "<";
  if (op == "<=") return ">=";
  if (op == ">=") return "<=";
  return op;
}

std::uint32_t OperatorCode(const std::string& op) {
  if (op == "=") return kEq;
  if (op == "<>") return kNe;
  if (op == ">") return kGt;
  if (op == "<") return kLt;
  if (op == ">=") return kGe;
  return kLe;
}

template <typename T>
std::vector<std::uint8_t> Bytes(T value) {
  std::vector<std::uint8_t> out(sizeof value);
  std::memcpy(out.data(), &value, sizeof value);
  return out;
}

// A comparison of a field with a constant, when the access layer decides it as the data set
// does for every record the data set accepts.  A blank field reads as zeros there: "<>" against
// a zero constant would reject blanks that the data set accepts, so it is not handed over.
PartPtr Comparison(const Node& field, const std::string& op, const Node& constant, const TEngineFieldLookup& lookup) {
  TEngineFilterField f;
  if (!lookup(field.text, f)) return nullptr;
  auto part = std::make_unique<TPart>();
  part->Op = OperatorCode(op);
  part->Field = f.Name;
  part->FieldNo = f.FieldNo;
  switch (f.DataType) {
    case TFieldType::ftString: {
      // Texts by equality only: ordering in the access layer follows the language's collation.
      if (constant.kind != Node::Text || op != "=") return nullptr;
      const std::string& t = constant.text;
      if (t.size() > static_cast<std::size_t>(f.Size) || t.size() > 254 || t.find('\0') != std::string::npos)
        return nullptr;
      part->ConstType = dbaccess::fldZSTRING;
      part->Const.assign(t.begin(), t.end());
      part->Const.push_back(0);
      return part;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftWord:
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc: {
      if (constant.kind != Node::Number) return nullptr;
      const double v = constant.number;
      if (!std::isfinite(v) || v != std::trunc(v) || (op == "<>" && v == 0)) return nullptr;
      if (f.DataType == TFieldType::ftSmallint) {
        if (v < INT16_MIN || v > INT16_MAX) return nullptr;
        part->ConstType = dbaccess::fldINT16;
        part->Const = Bytes(static_cast<std::int16_t>(v));
      } else if (f.DataType == TFieldType::ftWord) {
        if (v < 0 || v > UINT16_MAX) return nullptr;
        part->ConstType = dbaccess::fldUINT16;
        part->Const = Bytes(static_cast<std::uint16_t>(v));
      } else {
        if (v < INT32_MIN || v > INT32_MAX) return nullptr;
        part->ConstType = dbaccess::fldINT32;
        part->Const = Bytes(static_cast<std::int32_t>(v));
      }
      return part;
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: {
      if (constant.kind != Node::Number) return nullptr;
      const double v = constant.number;
      if (!std::isfinite(v) || (op == "<>" && v == 0)) return nullptr;
      part->ConstType = dbaccess::fldFLOAT;
      part->Const = Bytes(v);
      return part;
    }
    default: return nullptr;
  }
}

PartPtr Joined(std::uint32_t op, PartPtr l, PartPtr r) {
  auto part = std::make_unique<TPart>();
  part->Op = op;
  part->Depth = 1 + std::max(l->Depth, r->Depth);
  part->Left = std::move(l);
  part->Right = std::move(r);
  return part;
}

PartPtr Translate(const Node& n, const TEngineFieldLookup& lookup) {
  switch (n.kind) {
    case Node::And: {
      PartPtr l = Translate(*n.left, lookup), r = Translate(*n.right, lookup);
      if (!l || !r) return l ? std::move(l) : std::move(r);
      return Joined(kAnd, std::move(l), std::move(r));
    }
    case Node::Or: {
      PartPtr l = Translate(*n.left, lookup), r = Translate(*n.right, lookup);
      if (!l || !r) return nullptr;
      return Joined(kOr, std::move(l), std::move(r));
    }
    case Node::Compare: {
      const Node& a = *n.left;
      const Node& b = *n.right;
      const bool aConst = a.kind == Node::Text || a.kind == Node::Number;
      const bool bConst = b.kind == Node::Text || b.kind == Node::Number;
      if (a.kind == Node::Field && bConst) return Comparison(a, n.op, b, lookup);
      if (b.kind == Node::Field && aConst) return Comparison(b, Mirrored(n.op), a, lookup);
      return nullptr;
    }
    default: return nullptr;  // "not" would need the exact answer
  }
}

class TBlockWriter {
 public:
  // Lays out the part and what it refers to; answers the part's node offset.
  std::size_t Write(const TPart& p) {
    if (p.Op == kAnd || p.Op == kOr) {
      std::size_t at = Reserve(12);
      PutNode(at, kBinary, p.Op);
      Put16(FNodes, at + 8, Write(*p.Left));
      Put16(FNodes, at + 10, Write(*p.Right));
      return at;
    }
    // A comparison: a binary node over a field node and a constant node.
    std::size_t at = Reserve(12);
    PutNode(at, kBinary, p.Op);
    std::size_t field = Reserve(12);
    PutNode(field, kField, 0);
    Put16(FNodes, field + 8, p.FieldNo);
    Put16(FNodes, field + 10, Literal(p.Field.c_str(), p.Field.size() + 1));
    std::size_t constant = Reserve(14);
    PutNode(constant, kConst, 0);
    Put16(FNodes, constant + 8, p.ConstType);
    Put16(FNodes, constant + 10, p.Const.size());
    Put16(FNodes, constant + 12, Literal(p.Const.data(), p.Const.size()));
    Put16(FNodes, at + 8, field);
    Put16(FNodes, at + 10, constant);
    return at;
  }

  std::vector<std::uint8_t> Block() const {
    const std::size_t total = kHeaderSize + FNodes.size() + FLiterals.size();
    if (total > UINT16_MAX) return {};  // sizes and offsets are 16-bit words
    std::vector<std::uint8_t> out(kHeaderSize, 0);
    Put16(out, 0, 1);
    Put16(out, 2, total);
    Put16(out, 4, FCount);
    Put16(out, 6, kHeaderSize);
    Put16(out, 8, kHeaderSize + FNodes.size());
    out.insert(out.end(), FNodes.begin(), FNodes.end());
    out.insert(out.end(), FLiterals.begin(), FLiterals.end());
    return out;
  }

 private:
  static void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::size_t value) {
    const auto w = static_cast<std::uint16_t>(value);
    std::memcpy(v.data() + at, &w, 2);
  }
  std::size_t Reserve(std::size_t size) {
    std::size_t at = FNodes.size();
    FNodes.resize(at + size, 0);
    ++FCount;
    return at;
  }
  void PutNode(std::size_t at, std::uint32_t cls, std::uint32_t op) {
    std::memcpy(FNodes.data() + at, &cls, 4);
    std::memcpy(FNodes.data() + at + 4, &op, 4);
  }
  std::size_t Literal(const void* data, std::size_t size) {
    std::size_t at = FLiterals.size();
    const auto* p = static_cast<const std::uint8_t*>(data);
    FLiterals.insert(FLiterals.end(), p, p + size);
    return at;
  }

  std::vector<std::uint8_t> FNodes;
  std::vector<std::uint8_t> FLiterals;
  std::size_t FCount = 0;
};

}  // namespace

std::vector<std::uint8_t> BuildEngineFilter(const TFilterExpression& expression, const TEngineFieldLookup& lookup) {
  PartPtr root = Translate(expression.Root(), lookup);
  if (!root || root->Depth > kMaxDepth) return {};
  TBlockWriter writer;
  writer.Write(*root);
  return writer.Block();
}

}  // namespace tw
