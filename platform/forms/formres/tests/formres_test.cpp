// Form descriptions: text and binary forms convert into each other exactly, components are read
// through the property registry (sub-objects, string lists, collections, binary values,
// references, handlers), a form read from its description equals one built in code, and damaged
// descriptions raise errors that name what and where.
#include <gtest/gtest.h>

#include "platform/classes/resources.h"
#include "platform/classes/streams.h"
#include "platform/forms/formres/formres.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {
namespace {

enum class TBoxKind { bkPlain, bkFancy, bkOdd };
TW_ENUM_NAMES(TBoxKind, "bkPlain", "bkFancy", "bkOdd");
enum class TBoxOption { boOne, boTwo, boThree };
TW_ENUM_NAMES(TBoxOption, "boOne", "boTwo", "boThree");
using TBoxOptions = Set<TBoxOption>;

class TBoxItem : public TCollectionItem {
  TW_CLASS(TBoxItem, TCollectionItem)
 public:
  using TCollectionItem::TCollectionItem;
  int Width = 0;
  std::string Text;
};
TW_PUBLISHED(TBoxItem, Prop("Width", &TBoxItem::Width), Prop("Text", &TBoxItem::Text));

// A control with a value of every kind, a string list, a collection and a binary value.
class TBox : public TCustomControl {
  TW_CLASS(TBox, TCustomControl)
 public:
  explicit TBox(TComponent* owner)
      : TCustomControl(owner), items(std::make_unique<TStringList>()), panels(TCollection::FactoryOf<TBoxItem>()) {}
  TBoxKind Kind = TBoxKind::bkPlain;
  TBoxOptions Options;
  double Ratio = 0;
  char Letter = 'a';
  TControl* Buddy = nullptr;
  std::unique_ptr<TStringList> items;
  TCollection panels;
  std::string data;
  int loadedCalls = 0;
  TStrings* Items() const { return items.get(); }
  void SetItems(TStrings* s) { items->Assign(s); }
  TCollection* Panels() const { return const_cast<TCollection*>(&panels); }
  void SetPanels(TCollection* c) { panels.Assign(c); }
  void DefineProperties(TFiler* filer) override {
    TCustomControl::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { data = std::string(static_cast<std::size_t>(s.Size()), '\0'); s.ReadBuffer(data.data(), s.Size()); },
        [this](TStream& s) { s.WriteBuffer(data); }, !data.empty());
  }

 protected:
  void Loaded() override {
    TCustomControl::Loaded();
    ++loadedCalls;
  }
};
TW_PUBLISHED(TBox, Prop("Kind", &TBox::Kind), Prop("Options", &TBox::Options), Prop("Ratio", &TBox::Ratio),
             Prop("Letter", &TBox::Letter), Prop("Buddy", &TBox::Buddy),
             Prop("Items", &TBox::Items, &TBox::SetItems), Prop("Panels", &TBox::Panels, &TBox::SetPanels));
TW_REGISTER_CLASS(TBox);

class TBoxForm : public TForm {
  TW_CLASS(TBoxForm, TForm)
 public:
  using TForm::TForm;
  TBox* Box1 = nullptr;
  TBox* Box2 = nullptr;
  std::vector<std::string> log;
  void Box1Click(TObject*) { log.push_back("click"); }
  void FormCreate(TObject*) { log.push_back("create"); }
};
TW_PUBLISHED_METHODS(TBoxForm, Method("Box1Click", &TBoxForm::Box1Click), Method("FormCreate", &TBoxForm::FormCreate));
TW_FORM_FIELDS(TBoxForm, Field("Box1", &TBoxForm::Box1), Field("Box2", &TBoxForm::Box2));

const char* const kBoxFormText =
    "object BoxForm: TBoxForm\n"
    "  Left = 10\n"
    "  Top = 20\n"
    "  Caption = 'Boxes'\n"
    "  OnCreate = FormCreate\n"
    "  object Box1: TBox\n"
    "    Left = 8\n"
    "    Width = 100\n"
    "    Caption = 'It''s a '#13#10'box'\n"
    "    Color = clBtnFace\n"
    "    Font.Style = [fsBold, fsItalic]\n"
    "    Kind = bkFancy\n"
    "    Options = [boOne, boThree]\n"
    "    Ratio = 2.5\n"
    "    Buddy = Box2\n"
    "    Items.Strings = (\n"
    "      'one'\n"
    "      'two')\n"
    "    Panels = <\n"
    "      item\n"
    "        Width = 50\n"
    "        Text = 'first'\n"
    "      end\n"
    "      item\n"
    "        Width = 70\n"
    "      end>\n"
    "    OnClick = Box1Click\n"
    "    Data = {\n"
    "      00FF10}\n"
    "    object Box2: TBox\n"
    "      Left = 3\n"
    "    end\n"
    "  end\n"
    "end\n";

class TBaseBoxForm : public TForm {
  TW_CLASS(TBaseBoxForm, TForm)
 public:
  using TForm::TForm;
};
class TDerivedBoxForm : public TBaseBoxForm {
  TW_CLASS(TDerivedBoxForm, TBaseBoxForm)
 public:
  using TBaseBoxForm::TBaseBoxForm;
};

class FormResTest : public FormsTest {};

TEST_F(FormResTest, TextAndBinaryConvertIntoEachOtherExactly) {
  const std::string text =
      "object Root: TThing\n"
      "  Int = -5\n"
      "  Big = 100000\n"
      "  Huge = 10000000000\n"
      "  Float = 1.25\n"
      "  Whole = 3.0\n"
      "  Single = 0.5s\n"
      "  Money = 12.3456c\n"
      "  When = 45000.5d\n"
      "  Text = 'a''b'#9'c\xC8'\n"
      "  Empty = ''\n"
      "  Flag = True\n"
      "  Nothing = nil\n"
      "  Kind = bkOdd\n"
      "  Set = [a, b]\n"
      "  NoSet = []\n"
      "  List = (\n"
      "    1\n"
      "    'x'\n"
      "    (\n"
      "      2))\n"
      "  Coll = <\n"
      "    item\n"
      "      A = 1\n"
      "    end\n"
      "    item [3]\n"
      "    end>\n"
      "  Bin = {\n"
      "    0001FEFF}\n"
      "  object TAnonymous\n"
      "  end\n"
      "  inherited Old: TOld [2]\n"
      "  end\n"
      "end\n";
  const std::string binary = ObjectTextToBinary(text);
  EXPECT_EQ(binary.substr(0, 4), "TPF0");
  EXPECT_EQ(ObjectBinaryToText(binary), text);
  EXPECT_EQ(ObjectTextToBinary(ObjectBinaryToText(binary)), binary);

  // Long strings are broken into lines joined by '+', and read back whole.
  const std::string longText = "object R: T\n  S = '" + std::string(100, 'x') + "'\nend\n";
  const std::string written = ObjectBinaryToText(ObjectTextToBinary(longText));
  EXPECT_NE(written.find("' +\n"), std::string::npos);
  EXPECT_EQ(ObjectTextToBinary(written), ObjectTextToBinary(longText));
}

TEST_F(FormResTest, MalformedTextNamesTheLine) {
  auto message = [](const std::string& text) {
    try {
      ObjectTextToBinary(text);
    } catch (const EParserError& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  EXPECT_EQ(message("object A: T\n  X = 1\n  Y = 'open\nend\n"), "Unterminated string on line 3");
  EXPECT_EQ(message("object A: T\n  X = 1\n"), "'end' expected on line 3");
  EXPECT_EQ(message("object A: T\n  X 1\nend\n"), "'=' expected on line 2");
  EXPECT_EQ(message("object A: T\n  X = {0F 1}\nend\n"), "Invalid binary value on line 2");
  EXPECT_EQ(message("object A: T\n  X = {0G}\nend\n"), "Invalid binary value on line 2");
  EXPECT_EQ(message("object A: T\n  X = [a b]\nend\n"), "',' expected on line 2");
  EXPECT_EQ(message("object A: T\nend\nextra"), "End of text expected on line 3");
  EXPECT_EQ(message("thing A: T\nend\n"), "'object' expected on line 1");
  EXPECT_EQ(message("object A: T\n  X = 99999999999999999999\nend\n"), "Integer out of range: 99999999999999999999 on line 2");
  EXPECT_EQ(message("object A: T\n  X = 'a' +\nend\n"), "String expected on line 3");
  // A value its type cannot hold is refused, not stored as infinity or as a wrapped amount.
  EXPECT_EQ(message("object A: T\n  X = 1e39s\nend\n"), "Invalid floating-point number '1e39' on line 2");
  EXPECT_EQ(message("object A: T\n  X = -81" + std::string(60, '0') + "s\nend\n"),
            "Invalid floating-point number '-81" + std::string(60, '0') + "' on line 2");
  EXPECT_EQ(message("object A: T\n  X = 1e15c\nend\n"), "Invalid floating-point number '1e15' on line 2");
  EXPECT_EQ(message("object A: T\n  X = -922337203685478c\nend\n"),
            "Invalid floating-point number '-922337203685478' on line 2");
  EXPECT_EQ(message("object A: T\n  X = 1e400\nend\n"), "Invalid floating-point number '1e400' on line 2");
  // The largest values of each type still convert, both ways.
  for (const char* v : {"3.4028235e+38s", "-3.4028235e+38s", "922337203685477.5c", "-922337203685477.5c", "1e-50s"}) {
    const std::string text = std::string("object A: T\n  X = ") + v + "\nend\n";
    const std::string binary = ObjectTextToBinary(text);
    EXPECT_EQ(ObjectTextToBinary(ObjectBinaryToText(binary)), binary) << v;
  }
}

TEST_F(FormResTest, DamagedBinaryRaisesReadErrors) {
  const std::string binary = ObjectTextToBinary(kBoxFormText);
  for (std::size_t cut = 0; cut < binary.size(); ++cut)
    EXPECT_THROW(ObjectBinaryToText(binary.substr(0, cut)), EReadError) << cut;
  EXPECT_THROW(ObjectBinaryToText("XPF0"), EReadError);
}

TEST_F(FormResTest, ReadingSetsPropertiesChildrenReferencesAndHandlers) {
  auto* form = new TBoxForm(Application());
  ReadComponentDescription(kBoxFormText, form);
  BindComponentFields(form);
  ASSERT_NE(form->Box1, nullptr);
  ASSERT_NE(form->Box2, nullptr);
  EXPECT_EQ(form->Name(), "BoxForm");
  EXPECT_EQ(form->Caption(), "Boxes");
  EXPECT_EQ(form->Left(), 10);
  TBox* box = form->Box1;
  EXPECT_EQ(box->Parent(), form);
  EXPECT_EQ(form->Box2->Parent(), box);
  EXPECT_EQ(form->Box2->Owner(), form);
  EXPECT_EQ(box->Caption(), "It's a \r\nbox");
  EXPECT_EQ(box->Color(), clBtnFace);
  EXPECT_EQ(box->Font()->Style(), (TFontStyles{TFontStyle::fsBold, TFontStyle::fsItalic}));
  EXPECT_EQ(box->Kind, TBoxKind::bkFancy);
  EXPECT_EQ(box->Options, (TBoxOptions{TBoxOption::boOne, TBoxOption::boThree}));
  EXPECT_DOUBLE_EQ(box->Ratio, 2.5);
  EXPECT_EQ(box->Buddy, form->Box2);  // a reference to a component read later
  EXPECT_EQ(box->items->CommaText(), "one,two");
  ASSERT_EQ(box->panels.Count(), 2);
  EXPECT_EQ(static_cast<TBoxItem*>(box->panels.Items(0))->Text, "first");
  EXPECT_EQ(static_cast<TBoxItem*>(box->panels.Items(1))->Width, 70);
  EXPECT_EQ(box->data, std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(box->loadedCalls, 1);
  EXPECT_FALSE(box->ComponentState().Contains(TComponentStateFlag::csLoading));
  box->Click();
  EXPECT_EQ(form->log, std::vector<std::string>{"click"});
  FireEvent(form->OnCreate, form);
  EXPECT_EQ(form->log.back(), "create");
}

TEST_F(FormResTest, FormFromItsResourceEqualsTheSameFormBuiltInCode) {
  RegisterResource("TBoxForm", kBoxFormText);
  TBoxForm* read = CreateFormFromResource<TBoxForm>();
  UnregisterResource("TBoxForm");
  EXPECT_EQ(read->log, std::vector<std::string>{"create"});  // OnCreate bound before creation ran
  EXPECT_EQ(Application()->MainForm(), read);

  auto* built = new TBoxForm(Application());
  built->SetName("BoxForm2");
  built->SetLeft(10);
  built->SetTop(20);
  built->SetCaption("Boxes");
  auto* box1 = new TBox(built);
  box1->SetName("Box1");
  box1->SetParent(built);
  box1->SetLeft(8);
  box1->SetWidth(100);
  box1->SetCaption("It's a \r\nbox");
  box1->SetColor(clBtnFace);
  box1->Font()->SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
  box1->Kind = TBoxKind::bkFancy;
  box1->Options = {TBoxOption::boOne, TBoxOption::boThree};
  box1->Ratio = 2.5;
  box1->items->SetCommaText("one,two");
  static_cast<TBoxItem*>(box1->panels.Add())->Width = 50;
  static_cast<TBoxItem*>(box1->panels.Items(0))->Text = "first";
  static_cast<TBoxItem*>(box1->panels.Add())->Width = 70;
  box1->data = std::string("\x00\xFF\x10", 3);
  auto* box2 = new TBox(built);
  box2->SetName("Box2");
  box2->SetParent(box1);
  box2->SetLeft(3);
  box1->Buddy = box2;

  std::string a = ComponentToText(read);
  std::string b = ComponentToText(built);
  b.replace(b.find("BoxForm2"), 8, "BoxForm");
  EXPECT_EQ(a, b);
  // And what was written reads back into the same form.
  std::unique_ptr<TBoxForm> again(new TBoxForm(nullptr));
  ReadComponentDescription(ComponentToBinary(read), again.get());
  std::string c = ComponentToText(again.get());
  EXPECT_EQ(c, a);
}

TEST_F(FormResTest, DamagedDescriptionsRaiseClearErrors) {
  auto message = [](const std::string& text) -> std::string {
    auto* form = new TBoxForm(Application());
    try {
      ReadComponentDescription(text, form);
    } catch (const Exception& e) {
      delete form;
      return e.Message();
    }
    delete form;
    return "no error";
  };
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TBox\n    Colour = 3\n  end\nend\n"),
            "Error reading B.Colour: Unknown property: Colour on line 3");
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TNoSuchBox\n  end\nend\n"), "Class TNoSuchBox not found on line 2");
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TBox\n    Kind = bkNone\n  end\nend\n"),
            "Error reading B.Kind: Invalid property value on line 3");
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TBox\n    OnClick = Missing\n  end\nend\n"),
            "Error reading B.OnClick: the event handler Missing does not exist in TBoxForm on line 3");
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TBox\n    Buddy = Nobody\n  end\nend\n"),
            "Error reading B.Buddy: component Nobody not found on line 3");
  EXPECT_EQ(message("object F: TBoxForm\n  object B: TBox\n  end\n  object B: TBox\n  end\nend\n").substr(0, 16),
            "Error reading B:");
  EXPECT_EQ(message("object F: TBoxForm\n  Left = 'text'\nend\n"), "Error reading F.Left: Invalid property value on line 2");
  // Binary damage: every truncation fails cleanly.
  const std::string binary = ObjectTextToBinary(kBoxFormText);
  for (std::size_t cut = 4; cut < binary.size(); cut += 7) {
    auto* form = new TBoxForm(Application());
    EXPECT_THROW(ReadComponentDescription(binary.substr(0, cut), form), Exception) << cut;
    delete form;
  }
}

TEST_F(FormResTest, DescendantDescriptionsChangeWhatTheAncestorMade) {
  RegisterResource("TBaseBoxForm",
                   "object BaseBoxForm: TBaseBoxForm\n  Caption = 'Base'\n  Tag = 7\n"
                   "  object Box1: TBox\n    Left = 1\n    Top = 2\n  end\nend\n");
  RegisterResource("TDerivedBoxForm",
                   "inherited DerivedBoxForm: TDerivedBoxForm\n  Caption = 'Derived'\n"
                   "  inherited Box1: TBox\n    Left = 5\n    object Box3: TBox\n    end\n  end\nend\n");
  auto* form = CreateFormFromResource<TDerivedBoxForm>();
  EXPECT_EQ(form->Caption(), "Derived");
  EXPECT_EQ(form->Tag(), 7);
  EXPECT_EQ(form->Name(), "BaseBoxForm");  // the first description names the form
  ASSERT_EQ(form->ComponentCount(), 2);
  auto* box1 = dynamic_cast<TBox*>(form->FindComponent("Box1"));
  ASSERT_NE(box1, nullptr);
  EXPECT_EQ(box1->Left(), 5);
  EXPECT_EQ(box1->Top(), 2);
  EXPECT_EQ(box1->loadedCalls, 2);  // once per description that read it
  EXPECT_EQ(form->FindComponent("Box3")->Owner(), form);
  EXPECT_EQ(static_cast<TControl*>(form->FindComponent("Box3"))->Parent(), box1);

  // The base alone does not know the descendant's changes.
  auto* base = CreateFormFromResource<TBaseBoxForm>();
  EXPECT_EQ(base->Caption(), "Base");
  EXPECT_EQ(base->ComponentCount(), 1);

  RegisterResource("TDerivedBoxForm", "inherited D: TDerivedBoxForm\n  inherited Missing: TBox\n  end\nend\n");
  try {
    CreateFormFromResource<TDerivedBoxForm>();
    ADD_FAILURE() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "A component named Missing was not found in the ancestor on line 2");
  }
  UnregisterResource("TBaseBoxForm");
  UnregisterResource("TDerivedBoxForm");
}

TEST_F(FormResTest, IntegersTakeWhat32BitsHoldAndReadingMakesNoWindow) {
  auto* form = new TBoxForm(Application());
  ReadComponentDescription("object F: TBoxForm\n  Tag = -2147483648\n  Left = $FFFFFFFF\n  Color = $8000000F\nend\n", form);
  EXPECT_EQ(form->Left(), -1);
  EXPECT_EQ(form->Color(), clBtnFace);
  EXPECT_EQ(form->Tag(), -2147483648LL);
  EXPECT_THROW(ReadComponentDescription("object F: TBoxForm\n  Tag = 10000000000\nend\n", form), EReadError);
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_THROW(ReadComponentDescription("object F: TBoxForm\n  Left = 5000000000\nend\n", form), EReadError);
  EXPECT_THROW(ReadComponentDescription("object F: TBoxForm\n  Left = -3000000000\nend\n", form), EReadError);
}

TEST_F(FormResTest, MissingFieldComponentIsReported) {
  auto* form = new TBoxForm(Application());
  ReadComponentDescription("object F: TBoxForm\n  object Box1: TBox\n  end\nend\n", form);
  try {
    BindComponentFields(form);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "The component Box2 of TBoxForm is missing");
  }
}

}  // namespace
}  // namespace tw::test
