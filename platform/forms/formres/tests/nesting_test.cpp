// Components that nest without being controls (items inside their menu), fonts that follow the
// parent or not, and the finer points of the text form.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/forms/formres/formres.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {
namespace {

// A component that holds other components as its children, like a menu its items.
class TNode : public TComponent {
  TW_CLASS(TNode, TComponent)
 public:
  explicit TNode(TComponent* owner) : TComponent(owner) {}
  ~TNode() override {
    if (parent != nullptr) parent->children.erase(std::find(parent->children.begin(), parent->children.end(), this));
    for (TNode* c : children) c->parent = nullptr;
  }
  std::string Label;
  TNode* parent = nullptr;
  std::vector<TNode*> children;
  void Add(TNode* child) {
    child->parent = this;
    children.push_back(child);
  }
};
TW_PUBLISHED(TNode, Prop("Label", &TNode::Label));
TW_REGISTER_CLASS(TNode);

const bool kNodesNest = [] {
  TChildClassInfo info;
  info.Attach = [](TComponent* parent, TComponent* child) { static_cast<TNode*>(parent)->Add(static_cast<TNode*>(child)); };
  info.ParentOf = [](TComponent* child) -> TComponent* { return static_cast<TNode*>(child)->parent; };
  info.Children = [](TComponent* parent) {
    const auto& c = static_cast<TNode*>(parent)->children;
    return std::vector<TComponent*>(c.begin(), c.end());
  };
  RegisterChildClass(TNode::StaticClass(), TNode::StaticClass(), info);
  return true;
}();

class NestingTest : public FormsTest {};

TEST_F(NestingTest, NonControlChildrenNestAndWriteBackInPlace) {
  const std::string text =
      "object Menus: TForm\n"
      "  object File1: TNode\n"
      "    Label = '&File'\n"
      "    object Open1: TNode\n"
      "      Label = '&Open'\n"
      "    end\n"
      "    object Recent1: TNode\n"
      "      object Old1: TNode\n"
      "      end\n"
      "    end\n"
      "  end\n"
      "  object Help1: TNode\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TForm> form(new TForm(nullptr));
  ReadComponentDescription(text, form.get());
  auto* file = dynamic_cast<TNode*>(form->FindComponent("File1"));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->children.size(), 2u);
  EXPECT_EQ(file->children[0]->Label, "&Open");
  EXPECT_EQ(file->children[1]->children.at(0)->Name(), "Old1");
  EXPECT_EQ(file->children[1]->children.at(0)->Owner(), form.get());
  EXPECT_EQ(dynamic_cast<TNode*>(form->FindComponent("Help1"))->parent, nullptr);

  // Written back, each node sits inside its parent again, and nothing twice.
  const std::string written = ComponentToText(form.get());
  for (const char* nested : {"  object File1: TNode\n    Label = '&File'\n    object Open1: TNode\n",
                             "    object Recent1: TNode\n      object Old1: TNode\n      end\n    end\n",
                             "  object Help1: TNode\n  end\n"})
    EXPECT_NE(written.find(nested), std::string::npos) << nested << "\n" << written;
  EXPECT_EQ(written.find("Old1"), written.rfind("Old1"));
}

TEST_F(NestingTest, FontsFollowTheParentUntilSetAndWriteOnlyTheirOwn) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetName("Fonts");
  form->Font()->SetName("Arial");
  auto* follows = new TTestPanel(form.get());
  follows->SetName("Follows");
  follows->SetParent(form.get());
  auto* own = new TTestPanel(form.get());
  own->SetName("Own");
  own->SetParent(form.get());
  own->Font()->SetStyle({TFontStyle::fsBold});
  EXPECT_EQ(follows->Font()->Name(), "Arial");
  EXPECT_FALSE(own->ParentFont());

  RegisterClass<TTestPanel>();
  const std::string text = ComponentToText(form.get());
  const auto followsAt = text.find("object Follows");
  const auto ownAt = text.find("object Own");
  EXPECT_EQ(text.substr(followsAt, ownAt - followsAt).find("Font."), std::string::npos);
  EXPECT_NE(text.find("Font.Style = [fsBold]", ownAt), std::string::npos);

  std::unique_ptr<TForm> read(new TForm(nullptr));
  ReadComponentDescription(text, read.get());
  auto* readFollows = static_cast<TControl*>(read->FindComponent("Follows"));
  auto* readOwn = static_cast<TControl*>(read->FindComponent("Own"));
  EXPECT_TRUE(readFollows->ParentFont());
  EXPECT_EQ(readFollows->Font()->Name(), "Arial");
  EXPECT_FALSE(readOwn->ParentFont());
  EXPECT_TRUE(readOwn->Font()->Style().Contains(TFontStyle::fsBold));
  EXPECT_EQ(ComponentToText(read.get()), text);
  UnRegisterClass(TTestPanel::StaticClass());
}

TEST_F(NestingTest, TextDetails) {
  // Character codes in decimal and hexadecimal; codes beyond the 8-bit range have no byte.
  const std::string bin = ObjectTextToBinary("object A: T\n  S = #65#$42'c'#$263A\nend\n");
  EXPECT_NE(ObjectBinaryToText(bin).find("S = 'ABc?'"), std::string::npos);
  // Negative hexadecimal, currency and single values survive the trip.
  const std::string text = ObjectBinaryToText(ObjectTextToBinary("object A: T\n  N = -$10\n  C = -0.0001c\n  F = 1e-300\nend\n"));
  EXPECT_NE(text.find("N = -16\n"), std::string::npos);
  EXPECT_NE(text.find("C = -0.0001c\n"), std::string::npos);
  EXPECT_NE(text.find("F = 1e-300\n"), std::string::npos);
  // Control characters come out as codes, quotes doubled, and nothing else changes.
  const std::string odd = "object A: T\n  S = #0'x'#10'''y'''\nend\n";
  EXPECT_EQ(ObjectBinaryToText(ObjectTextToBinary(odd)), odd);
  // Names longer than a short string are refused rather than cut.
  EXPECT_THROW(ObjectTextToBinary("object " + std::string(300, 'a') + ": T\nend\n"), EParserError);
  // Deep nesting is refused, not followed until the stack runs out.
  std::string deep = "object A: T\n  L = ";
  for (int i = 0; i < 5000; ++i) deep += "(";
  EXPECT_THROW(ObjectTextToBinary(deep), EParserError);
}

}  // namespace
}  // namespace tw::test
