#include "dataset/filterexpr.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "dataset/dberrors.h"
#include "platform/rtl/datetime.h"

namespace tw {

namespace {

using Node = TFilterExpression::Node;

constexpr int kMaxDepth = 64;
// Comparisons in one expression; keeps evaluation and freeing of and/or chains shallow.
constexpr int kMaxComparisons = 256;

class Parser {
 public:
  Parser(const std::string& text, std::vector<std::string>& names) : s_(text), names_(names) {}

  std::unique_ptr<Node> Parse() {
    auto n = Or(0);
    Skip();
    if (p_ != s_.size()) Fail("unexpected text");
    return n;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    DatabaseErrorFmt(dbconst::SInvalidFilter, why + " at position " + std::to_string(p_ + 1));
  }
  void Skip() {
    while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  bool Keyword(const char* word) {
    Skip();
    std::size_t n = std::char_traits<char>::length(word);
    if (p_ + n > s_.size()) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (std::tolower(static_cast<unsigned char>(s_[p_ + i])) != word[i]) return false;
    if (p_ + n < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[p_ + n]);
      if (std::isalnum(c) || c == '_') return false;
    }
    p_ += n;
    return true;
  }
  std::unique_ptr<Node> Or(int depth) {
    auto l = And(depth);
    while (Keyword("or")) {
      auto n = std::make_unique<Node>(Node{Node::Or, {}, {}, 0, std::move(l), And(depth)});
      l = std::move(n);
    }
    return l;
  }
  std::unique_ptr<Node> And(int depth) {
    auto l = Factor(depth);
    while (Keyword("and")) {
      auto n = std::make_unique<Node>(Node{Node::And, {}, {}, 0, std::move(l), Factor(depth)});
      l = std::move(n);
    }
    return l;
  }
  std::unique_ptr<Node> Factor(int depth) {
    if (depth > kMaxDepth) Fail("expression too deeply nested");
    if (Keyword("not")) return std::make_unique<Node>(Node{Node::Not, {}, {}, 0, Factor(depth + 1), nullptr});
    Skip();
    if (p_ < s_.size() && s_[p_] == '(') {
      ++p_;
      auto n = Or(depth + 1);
      Skip();
      if (p_ >= s_.size() || s_[p_] != ')') Fail("missing )");
      ++p_;
      return n;
    }
    auto l = Operand();
    Skip();
    static const char* const ops[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (const char* op : ops) {
      std::size_t n = std::char_traits<char>::length(op);
      if (s_.compare(p_, n, op) == 0) {
        if (++comparisons_ > kMaxComparisons) Fail("expression too long");
        p_ += n;
        auto r = Operand();
        return std::make_unique<Node>(Node{Node::Compare, op, {}, 0, std::move(l), std::move(r)});
      }
    }
    Fail("comparison expected");
  }
  std::unique_ptr<Node> Operand() {
    Skip();
    if (p_ >= s_.size()) Fail("operand expected");
    char c = s_[p_];
    if (c == '\'') {
      std::string t;
      ++p_;
      for (;;) {
        if (p_ >= s_.size()) Fail("unterminated text");
        if (s_[p_] == '\'') {
          if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
            t += '\'';
            p_ += 2;
            continue;
          }
          ++p_;
          break;
        }
        t += s_[p_++];
      }
      return std::make_unique<Node>(Node{Node::Text, {}, t, 0, nullptr, nullptr});
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
      std::size_t start = p_;
      ++p_;
      while (p_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[p_])) || s_[p_] == '.')) ++p_;
      std::string num = s_.substr(start, p_ - start);
      char* end = nullptr;
      double v = std::strtod(num.c_str(), &end);
      if (end == num.c_str() || *end != '\0') Fail("invalid number");
      return std::make_unique<Node>(Node{Node::Number, {}, num, v, nullptr, nullptr});
    }
    std::string name;
    if (c == '[') {
      std::size_t close = s_.find(']', p_);
      if (close == std::string::npos) Fail("missing ]");
      name = s_.substr(p_ + 1, close - p_ - 1);
      p_ = close + 1;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t start = p_;
      while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '_')) ++p_;
      name = s_.substr(start, p_ - start);
    } else {
      Fail("operand expected");
    }
    if (name.empty()) Fail("empty field name");
    names_.push_back(name);
    return std::make_unique<Node>(Node{Node::Field, {}, name, 0, nullptr, nullptr});
  }

  const std::string& s_;
  std::vector<std::string>& names_;
  std::size_t p_ = 0;
  int comparisons_ = 0;
};

TFieldValue ValueOf(const Node& n, const std::function<TFieldValue(const std::string&)>& lookup) {
  switch (n.kind) {
    case Node::Text: return n.text;
    case Node::Number: return n.number;
    case Node::Field: return lookup(n.text);
    default: return std::monostate{};
  }
}

bool AsNumber(const TFieldValue& v, double& out) {
  if (auto p = std::get_if<std::int64_t>(&v)) { out = static_cast<double>(*p); return true; }
  if (auto p = std::get_if<double>(&v)) { out = *p; return true; }
  if (auto p = std::get_if<bool>(&v)) { out = *p ? 1 : 0; return true; }
  if (auto p = std::get_if<std::string>(&v)) {
    char* end = nullptr;
    out = std::strtod(p->c_str(), &end);
    return !p->empty() && end && *end == '\0';
  }
  return false;
}

// A value as a point in time, counted on: a number is a date-time value (before 30 December
// 1899 its fraction is the time of its day, taken positive), a text is read as a date and time.
bool AsMoment(const TFieldValue& v, double& out) {
  double d = 0;
  if (auto p = std::get_if<std::string>(&v)) {
    if (!TryStrToDateTime(*p, d)) return false;
  } else if (!AsNumber(v, d)) {
    return false;
  }
  const double day = std::trunc(d);
  out = day + std::fabs(d - day);
  return true;
}

bool Compare(const std::string& op, int cmp) {
  if (op == "=") return cmp == 0;
  if (op == "<>") return cmp != 0;
  if (op == "<") return cmp < 0;
  if (op == ">") return cmp > 0;
  if (op == "<=") return cmp <= 0;
  return cmp >= 0;
}

bool Eval(const Node& n, const std::function<TFieldValue(const std::string&)>& lookup) {
  switch (n.kind) {
    case Node::And: return Eval(*n.left, lookup) && Eval(*n.right, lookup);
    case Node::Or: return Eval(*n.left, lookup) || Eval(*n.right, lookup);
    case Node::Not: return !Eval(*n.left, lookup);
    case Node::Compare: {
      TFieldValue a = ValueOf(*n.left, lookup), b = ValueOf(*n.right, lookup);
      if (std::holds_alternative<std::monostate>(a) || std::holds_alternative<std::monostate>(b))
        return n.op == "<>" && !(std::holds_alternative<std::monostate>(a) && std::holds_alternative<std::monostate>(b));
      bool textCompare = std::holds_alternative<std::string>(a) && std::holds_alternative<std::string>(b);
      double x = 0, y = 0;
      if (!textCompare && AsNumber(a, x) && AsNumber(b, y)) return Compare(n.op, x < y ? -1 : (x > y ? 1 : 0));
      // A date or time field against a text: the text is read as a date or time (the user's
      // settings), and both compare as moments.
      if (!textCompare && AsMoment(a, x) && AsMoment(b, y)) return Compare(n.op, x < y ? -1 : (x > y ? 1 : 0));
      auto text = [](const TFieldValue& v) -> std::string {
        if (auto p = std::get_if<std::string>(&v)) return *p;
        double d = 0;
        AsNumber(v, d);
        return std::to_string(d);
      };
      int c = text(a).compare(text(b));
      return Compare(n.op, c);
    }
    default: return false;
  }
}

}  // namespace

TFilterExpression::TFilterExpression(const std::string& text) {
  Parser p(text, FFieldNames);
  FRoot = p.Parse();
}

TFilterExpression::~TFilterExpression() = default;

bool TFilterExpression::Evaluate(const std::function<TFieldValue(const std::string&)>& lookup) const {
  return Eval(*FRoot, lookup);
}

}  // namespace tw
