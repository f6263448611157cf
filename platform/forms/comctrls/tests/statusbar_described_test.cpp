// A status bar read from a form description: its panels arrive as a collection with their
// text, width, alignment and bevel, write back the same way, and copy between bars.
#include <memory>

#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/comctrls/statusbar.h"
#include "platform/forms/formres/formres.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class StatusBarDescribedTest : public ComCtrlsTest {
 protected:
  void SetUp() override {
    ComCtrlsTest::SetUp();
    RegisterComCtrlsClasses();
  }
};

const char* const kDescription =
    "object StatusForm: TForm\n"
    "  Caption = 'Status'\n"
    "  object Bar: TStatusBar\n"
    "    Panels = <\n"
    "      item\n"
    "        Text = 'Ready'\n"
    "        Width = 120\n"
    "        Alignment = taCenter\n"
    "      end\n"
    "      item\n"
    "        Text = 'Line 1'\n"
    "        Alignment = taRightJustify\n"
    "        Bevel = pbRaised\n"
    "      end>\n"
    "    SimplePanel = False\n"
    "  end\n"
    "end\n";

TEST_F(StatusBarDescribedTest, PanelsAreReadWrittenAndCopiedAsACollection) {
  std::unique_ptr<TForm> read(new TForm(nullptr));
  ReadComponentDescription(kDescription, read.get());
  auto* bar = dynamic_cast<TStatusBar*>(read->FindComponent("Bar"));
  ASSERT_NE(bar, nullptr);
  TStatusPanels* panels = bar->Panels();
  ASSERT_EQ(panels->Count(), 2);
  EXPECT_EQ(panels->Items(0)->Text(), "Ready");
  EXPECT_EQ(panels->Items(0)->Width(), 120);
  EXPECT_EQ(panels->Items(0)->Alignment(), TAlignment::taCenter);
  EXPECT_EQ(panels->Items(1)->Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(panels->Items(1)->Bevel(), pbRaised);
  EXPECT_EQ(panels->Items(1)->Width(), 50);
  EXPECT_EQ(panels->Items(1)->Index(), 1);
  EXPECT_EQ(panels->Items(1)->Collection(), panels);

  // Written out and read again: the same text.
  const std::string written = ComponentToText(read.get());
  EXPECT_NE(written.find("Alignment = taRightJustify"), std::string::npos) << written;
  std::unique_ptr<TForm> again(new TForm(nullptr));
  ReadComponentDescription(written, again.get());
  EXPECT_EQ(ComponentToText(again.get()), written);

  // Copying panels to another bar, and onto themselves, keeps every panel.
  auto* copy = new TStatusBar(form);
  copy->SetPanels(panels);
  ASSERT_EQ(copy->Panels()->Count(), 2);
  EXPECT_EQ(copy->Panels()->Items(0)->Text(), "Ready");
  EXPECT_EQ(copy->Panels()->Items(1)->Bevel(), pbRaised);
  copy->SetPanels(copy->Panels());
  EXPECT_EQ(copy->Panels()->Count(), 2);
  static_cast<TCollection*>(copy->Panels())->Assign(copy->Panels());
  EXPECT_EQ(copy->Panels()->Count(), 2);

  // A change to a panel reaches the collection's listeners; inserting places the panel.
  int changes = 0;
  copy->Panels()->OnChange = [&](TCollection*) { ++changes; };
  copy->Panels()->Items(0)->SetText("Busy");
  EXPECT_EQ(changes, 1);
  TStatusPanel* first = copy->Panels()->Insert(0);
  EXPECT_EQ(copy->Panels()->IndexOf(first), 0);
  EXPECT_EQ(copy->Panels()->Items(1)->Text(), "Busy");
  EXPECT_THROW(copy->Panels()->Items(3), EListError);
}

TEST_F(StatusBarDescribedTest, AnUnknownAlignmentNameIsAReadError) {
  std::string text = kDescription;
  text.replace(text.find("taCenter"), 8, "taMiddle");
  std::unique_ptr<TForm> read(new TForm(nullptr));
  EXPECT_THROW(ReadComponentDescription(text, read.get()), Exception);
}

}  // namespace
}  // namespace tw::test
