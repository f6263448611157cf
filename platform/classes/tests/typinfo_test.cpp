#include "platform/classes/typinfo.h"

#include <gtest/gtest.h>

#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

enum class TShade { shLight, shDark, shDeep };
TW_ENUM_NAMES(TShade, "shLight", "shDark", "shDeep");
using TShades = Set<TShade>;

class TPanelProbe : public TComponent {
  TW_CLASS(TPanelProbe, TComponent)
 public:
  explicit TPanelProbe(TComponent* owner) : TComponent(owner) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  int Width() const { return width_; }
  void SetWidth(int v) { width_ = v < 0 ? 0 : v; }
  int Id() const { return 42; }

  TShade Shade = TShade::shLight;
  TShades Shades;
  bool Visible = true;
  char Accel = 'A';
  double Ratio = 0.5;
  TStringList* Lines = nullptr;
  std::function<void(TObject*)> OnClick;

 private:
  std::string caption_;
  int width_ = 10;
};

class TButtonProbe : public TPanelProbe {
  TW_CLASS(TButtonProbe, TPanelProbe)
 public:
  explicit TButtonProbe(TComponent* owner) : TPanelProbe(owner) {}
  int Default = 0;
  int Width2() const { return 7; }
};

// A form with a published handler.
class TFormProbe : public TComponent {
  TW_CLASS(TFormProbe, TComponent)
 public:
  explicit TFormProbe(TComponent* owner) : TComponent(owner) {}
  void ButtonClick(TObject* sender) { clickedBy = sender; }
  void Other(int) {}
  TObject* clickedBy = nullptr;
};

TW_PUBLISHED(TPanelProbe,
             Prop("Caption", &TPanelProbe::Caption, &TPanelProbe::SetCaption),
             Prop("Width", &TPanelProbe::Width, &TPanelProbe::SetWidth),
             Prop("Id", &TPanelProbe::Id),
             Prop("Shade", &TPanelProbe::Shade),
             Prop("Shades", &TPanelProbe::Shades),
             Prop("Visible", &TPanelProbe::Visible),
             Prop("Accel", &TPanelProbe::Accel),
             Prop("Ratio", &TPanelProbe::Ratio),
             Prop("Lines", &TPanelProbe::Lines),
             Prop("OnClick", &TPanelProbe::OnClick));
TW_PUBLISHED(TButtonProbe,
             Prop("Default", &TButtonProbe::Default),
             Prop("Width", &TButtonProbe::Width2));  // redeclared read-only in the descendant
TW_REGISTER_CLASS(TButtonProbe);

TW_PUBLISHED_METHODS(TFormProbe, Method("ButtonClick", &TFormProbe::ButtonClick));
struct MethodsOnce {
  MethodsOnce() { PublishMethod("Other", &TFormProbe::Other); }
} methodsOnce;

TEST(PropertyRegistry, LookupIsCaseInsensitiveAndWalksUpTheChain) {
  const TPropInfo* caption = GetPropInfo(TButtonProbe::StaticClass(), "caption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->Name, "Caption");
  EXPECT_EQ(caption->Owner, TPanelProbe::StaticClass());
  EXPECT_EQ(caption->Kind, tkString);
  EXPECT_EQ(GetPropInfo(TPanelProbe::StaticClass(), "Default"), nullptr);
  EXPECT_EQ(GetPropInfo(TButtonProbe::StaticClass(), "Nothing"), nullptr);
  // The descendant's own declaration wins.
  EXPECT_EQ(GetPropInfo(TButtonProbe::StaticClass(), "WIDTH")->Owner, TButtonProbe::StaticClass());
  EXPECT_EQ(GetPropInfo(TPanelProbe::StaticClass(), "Width")->Owner, TPanelProbe::StaticClass());
}

TEST(PropertyRegistry, ListIsBaseFirstInDeclarationOrder) {
  std::vector<std::string> names;
  for (const TPropInfo* p : GetPropList(TButtonProbe::StaticClass())) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Caption", "Width", "Id", "Shade", "Shades", "Visible", "Accel", "Ratio",
                                             "Lines", "OnClick", "Default"}));
}

TEST(PropertyRegistry, KindsFollowTheTypes) {
  auto kind = [](const char* n) { return GetPropInfo(TPanelProbe::StaticClass(), n)->Kind; };
  EXPECT_EQ(kind("Width"), tkInteger);
  EXPECT_EQ(kind("Shade"), tkEnumeration);
  EXPECT_EQ(kind("Visible"), tkEnumeration);
  EXPECT_EQ(kind("Shades"), tkSet);
  EXPECT_EQ(kind("Accel"), tkChar);
  EXPECT_EQ(kind("Ratio"), tkFloat);
  EXPECT_EQ(kind("Lines"), tkClass);
  EXPECT_EQ(kind("OnClick"), tkMethod);
  EXPECT_EQ(GetPropInfo(TPanelProbe::StaticClass(), "Shades")->Enum->Names[2], "shDeep");
  EXPECT_EQ(GetPropInfo(TPanelProbe::StaticClass(), "Lines")->PropClass, TStringList::StaticClass());
  EXPECT_TRUE(GetPropInfo(TPanelProbe::StaticClass(), "Id")->ReadOnly());
}

TEST(PropertyValues, GetAndSetThroughTheRegistry) {
  TButtonProbe b(nullptr);
  SetStrProp(&b, "caption", "OK");
  EXPECT_EQ(b.Caption(), "OK");
  SetOrdProp(&b, "Default", 1);
  EXPECT_EQ(b.Default, 1);
  SetEnumProp(&b, "Shade", "SHDEEP");
  EXPECT_EQ(b.Shade, TShade::shDeep);
  EXPECT_EQ(GetEnumProp(&b, "Shade"), "shDeep");
  SetEnumProp(&b, "Visible", "False");
  EXPECT_FALSE(b.Visible);
  SetPropValue(&b, "Shades", TSetValue{0b101});
  EXPECT_TRUE(b.Shades.Contains(TShade::shLight) && b.Shades.Contains(TShade::shDeep));
  SetPropValue(&b, "Accel", "Z");
  EXPECT_EQ(b.Accel, 'Z');
  SetFloatProp(&b, "Ratio", 2);
  EXPECT_EQ(GetFloatProp(&b, "Ratio"), 2.0);
  TStringList lines;
  SetPropValue(&b, "Lines", &lines);
  EXPECT_EQ(GetObjectProp(&b, "Lines"), &lines);
  EXPECT_EQ(GetOrdProp(&b, "Id"), 42);
  SetStrProp(&b, "Name", "Button1");  // inherited from TComponent, with its checks
  EXPECT_EQ(b.Name(), "Button1");
  EXPECT_THROW(SetStrProp(&b, "Name", "1x"), EComponentError);
  SetOrdProp(&b, "Tag", -3);
  EXPECT_EQ(GetPropInfo(&b, "Tag")->Kind, tkInteger);
  EXPECT_EQ(b.Tag(), -3);

  EXPECT_THROW(SetOrdProp(&b, "Id", 1), EPropertyError);             // read-only
  EXPECT_THROW(SetStrProp(&b, "Default", "x"), EPropertyError);      // wrong kind
  EXPECT_THROW(SetEnumProp(&b, "Shade", "shNone"), EPropertyError);  // no such name
  EXPECT_THROW(SetOrdProp(&b, "Shade", 3), EPropertyError);          // ordinal out of range
  EXPECT_THROW(SetPropValue(&b, "Lines", TValue(static_cast<TObject*>(&b))), EPropertyError);  // wrong class
  try {
    GetPropValue(&b, "Missing");
    FAIL();
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), "Unknown property: Missing");
  }
}

TEST(PropertyValues, EventsBindPublishedMethodsByName) {
  TFormProbe form(nullptr);
  auto* button = new TButtonProbe(&form);
  EXPECT_TRUE(MethodExists(&form, "buttonclick"));
  EXPECT_FALSE(GetPropValue(button, "OnClick").AsMethod().Assigned);
  SetPropValue(button, "OnClick", TMethod{&form, "ButtonClick"});
  ASSERT_TRUE(button->OnClick);
  button->OnClick(button);
  EXPECT_EQ(form.clickedBy, button);
  EXPECT_TRUE(GetPropValue(button, "OnClick").AsMethod().Assigned);
  // A handler of another signature does not fit the event.
  EXPECT_THROW(SetPropValue(button, "OnClick", TMethod{&form, "Other"}), EPropertyError);
  SetPropValue(button, "OnClick", TMethod{});
  EXPECT_FALSE(button->OnClick);
}

TEST(ClassRegistry, CreatesComponentsByName) {
  TComponent owner(nullptr);
  EXPECT_EQ(GetClass("tbuttonprobe"), TButtonProbe::StaticClass());
  EXPECT_EQ(GetClass("TUnknown"), nullptr);
  TComponent* c = CreateComponent("TButtonProbe", &owner);
  EXPECT_TRUE(c->Is<TButtonProbe>());
  EXPECT_EQ(c->Owner(), &owner);
  try {
    FindClass("TUnknown");
    FAIL();
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), "Class TUnknown not found");
  }
  RegisterClass<TPanelProbe>();
  EXPECT_NE(GetClass("TPanelProbe"), nullptr);
  UnRegisterClass(TPanelProbe::StaticClass());
  EXPECT_EQ(GetClass("TPanelProbe"), nullptr);
}

}  // namespace
}  // namespace tw
