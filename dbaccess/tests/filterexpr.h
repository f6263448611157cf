// Builds filter expression blocks in the interface's published format, as the data-set
// classes hand them to DbiAddFilter.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "dbaccess/filter.h"

namespace tw::dbaccess::test {

// Builds expression blocks: nodes in one area, literals in a pool.
class ExprBuilder {
 public:
  std::uint16_t Field(const std::string& Name) {
    std::uint16_t lit = Literal(Name.c_str(), Name.size() + 1);
    return Node(nodeFIELD, 0, {0, lit});
  }
  std::uint16_t Const(std::uint16_t Type, const void* Data, std::uint16_t Size) {
    std::uint16_t lit = Literal(Data, Size);
    return Node(nodeCONST, 0, {Type, Size, lit});
  }
  std::uint16_t Binary(std::uint32_t Op, std::uint16_t L, std::uint16_t R) { return Node(nodeBINARY, Op, {L, R}); }
  std::uint16_t Unary(std::uint32_t Op, std::uint16_t X) { return Node(nodeUNARY, Op, {X}); }
  std::uint16_t Compare(std::uint32_t Op, bool NoCase, std::uint16_t Partial, std::uint16_t L, std::uint16_t R) {
    return Node(nodeCOMPARE, Op, {static_cast<std::uint16_t>(NoCase), Partial, L, R});
  }
  // The block with the node at Root first: the root must be at offset 0, so nodes are laid out
  // with the root moved to the front by the caller building it last and calling Block(root).
  std::vector<std::uint8_t> Block(std::uint16_t Root) {
    std::vector<std::uint8_t> nodes = nodes_;
    // Put a continue-free jump: copy the root node to the front by prefixing a binary "and"
    // of the root with a true constant would change meaning, so instead rotate offsets.
    std::vector<std::uint8_t> out(10, 0);
    auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(out.data() + at, &v, 2); };
    // Node area begins with a 16-byte unary NOT(NOT(root)) pair at offsets 0 and 12.
    std::vector<std::uint8_t> prefix;
    auto node = [&](std::uint32_t cls, std::uint32_t op, std::uint16_t operand) {
      std::uint8_t n[12] = {};
      std::memcpy(n, &cls, 4);
      std::memcpy(n + 4, &op, 4);
      std::memcpy(n + 8, &operand, 2);
      prefix.insert(prefix.end(), n, n + 12);
    };
    node(nodeUNARY, canNOT, 12);
    node(nodeUNARY, canNOT, static_cast<std::uint16_t>(Root + 24));
    std::vector<std::uint8_t> area = prefix;
    // Shift every stored node offset by 24.
    for (std::size_t off : operandPositions_) {
      std::uint16_t v;
      std::memcpy(&v, nodes.data() + off, 2);
      v = static_cast<std::uint16_t>(v + 24);
      std::memcpy(nodes.data() + off, &v, 2);
    }
    area.insert(area.end(), nodes.begin(), nodes.end());
    put16(0, 1);
    put16(6, 10);
    put16(8, static_cast<std::uint16_t>(10 + area.size()));
    out.insert(out.end(), area.begin(), area.end());
    out.insert(out.end(), literals_.begin(), literals_.end());
    put16(2, static_cast<std::uint16_t>(out.size()));
    return out;
  }

 private:
  std::uint16_t Literal(const void* Data, std::size_t Size) {
    auto at = static_cast<std::uint16_t>(literals_.size());
    const auto* p = static_cast<const std::uint8_t*>(Data);
    literals_.insert(literals_.end(), p, p + Size);
    return at;
  }
  std::uint16_t Node(std::uint32_t Cls, std::uint32_t Op, std::initializer_list<std::uint16_t> Words) {
    auto at = static_cast<std::uint16_t>(nodes_.size());
    std::uint8_t head[8];
    std::memcpy(head, &Cls, 4);
    std::memcpy(head + 4, &Op, 4);
    nodes_.insert(nodes_.end(), head, head + 8);
    std::size_t i = 0;
    for (std::uint16_t w : Words) {
      bool isOperand = (Cls == nodeUNARY) || (Cls == nodeBINARY) || (Cls == nodeCOMPARE && i >= 2);
      if (isOperand) operandPositions_.push_back(nodes_.size());
      nodes_.push_back(static_cast<std::uint8_t>(w));
      nodes_.push_back(static_cast<std::uint8_t>(w >> 8));
      ++i;
    }
    return at;
  }
  std::vector<std::uint8_t> nodes_;
  std::vector<std::uint8_t> literals_;
  std::vector<std::size_t> operandPositions_;
};

}  // namespace tw::dbaccess::test
