// The font, find, replace and printer-setup dialogs, driven by injected keys.
#include <gtest/gtest.h>

#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/gfx/printer.h"

namespace tw::test {
namespace {

class CommonDialogsTest : public FormsTest {
 protected:
  static void Drive(std::vector<std::function<void()>> steps) {
    DriveIdle(std::move(steps), [] {
      ADD_FAILURE() << "the dialog did not end";
      if (TCustomForm* f = Screen()->ActiveForm()) f->SetModalResult(mrAbort);
    });
  }
  template <typename T>
  static T* Part(TForm* form, const std::string& name) {
    return dynamic_cast<T*>(form->FindComponent(name));
  }
  static void Choose(TListBox* list, const std::string& text) {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Items()->Strings(i) == text) list->SetItemIndex(i);
    FireEvent(list->OnClick, list);
  }
  static void AltKey(UINT vk) {
    InjectKeyDown(VK_MENU);
    InjectKey(vk);
    InjectKeyUp(VK_MENU);
  }
};

TEST_F(CommonDialogsTest, FontDialogChoosesFamilyStyleAndSizeAndChecksTheSize) {
  auto* dlg = new TFontDialog(Application());
  dlg->Font()->SetName("Arial");
  dlg->Font()->SetSize(10);
  std::vector<std::string> families;
  bool refusedSize = false;
  Drive({[&] {
           TForm* f = dlg->DialogForm();
           auto* list = Part<TListBox>(f, "FontList");
           for (int i = 0; i < list->Items()->Count(); ++i) families.push_back(list->Items()->Strings(i));
           Choose(list, "Courier New");
           Choose(Part<TListBox>(f, "StyleList"), "Bold Italic");
           auto* size = Part<TEdit>(f, "SizeEdit");
           size->SetFocus();
           size->SelectAll();
           InjectText("abc");
         },
         [] { InjectKey(VK_RETURN); },  // the size is refused in a message box
         [] { InjectKey(VK_RETURN); },  // which Enter closes
         [&] {
           TForm* f = dlg->DialogForm();
           refusedSize = f != nullptr && f->Visible();
           auto* size = Part<TEdit>(f, "SizeEdit");
           size->SetFocus();
           size->SelectAll();
           InjectText("14");
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_TRUE(refusedSize);
  EXPECT_NE(std::find(families.begin(), families.end(), "Arial"), families.end());
  EXPECT_NE(std::find(families.begin(), families.end(), "Liberation Sans"), families.end())
      << "the families fontconfig knows are offered";
  EXPECT_EQ(dlg->Font()->Name(), "Courier New");
  EXPECT_EQ(dlg->Font()->Size(), 14);
  EXPECT_TRUE(dlg->Font()->Style().Contains(TFontStyle::fsBold));
  EXPECT_TRUE(dlg->Font()->Style().Contains(TFontStyle::fsItalic));

  Drive({[&] {
           Choose(Part<TListBox>(dlg->DialogForm(), "FontList"), "Arial");
           InjectKey(VK_ESCAPE);
         }});
  EXPECT_FALSE(dlg->Execute());
  EXPECT_EQ(dlg->Font()->Name(), "Courier New") << "Cancel keeps the font";

  // With fdForceFontExist a name that is not in the list is refused.
  dlg->SetOptions({fdEffects, fdForceFontExist});
  bool refusedName = false;
  Drive({[&] {
           auto* name = Part<TEdit>(dlg->DialogForm(), "FontEdit");
           name->SelectAll();
           InjectText("No Such Face");
         },
         [] { InjectKey(VK_RETURN); },
         [] { InjectKey(VK_RETURN); },
         [&] {
           refusedName = dlg->DialogForm() != nullptr;
           auto* name = Part<TEdit>(dlg->DialogForm(), "FontEdit");
           name->SetFocus();
           name->SelectAll();
           InjectText("Times New Roman");
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_TRUE(refusedName);
  EXPECT_EQ(dlg->Font()->Name(), "Times New Roman");
}

TEST_F(CommonDialogsTest, FindDialogIsModelessAndReportsTextAndOptions) {
  auto* dlg = new TFindDialog(Application());
  std::vector<std::string> finds;
  dlg->OnFind = [&](TObject*) {
    std::string entry = dlg->FindText();
    if (dlg->Options().Contains(frFindNext)) entry += " next";
    if (dlg->Options().Contains(frDown)) entry += " down";
    if (dlg->Options().Contains(frMatchCase)) entry += " case";
    finds.push_back(entry);
  };
  ASSERT_TRUE(dlg->Execute());
  Pump();
  EXPECT_TRUE(dlg->Showing()) << "Execute returns with the dialog shown";
  InjectText("cat");
  InjectKey(VK_RETURN);
  Pump();
  AltKey('C');  // Match case
  Pump();
  AltKey('U');  // Up
  Pump();
  AltKey('F');  // Find Next
  Pump();
  EXPECT_EQ(finds, (std::vector<std::string>{"cat next down", "cat next case"}));
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(dlg->Showing());
  EXPECT_TRUE(dlg->Options().Contains(frMatchCase)) << "the options stay for the next time";

  // Options set before showing appear in the dialog; CloseDialog hides it.
  dlg->SetOptions({frDown});
  dlg->SetFindText("dog");
  dlg->Execute();
  Pump();
  InjectKey(VK_RETURN);
  Pump();
  EXPECT_EQ(finds.back(), "dog next down");
  dlg->CloseDialog();
  Pump();
  EXPECT_FALSE(dlg->Showing());
}

TEST_F(CommonDialogsTest, ReplaceDialogReportsReplaceAndReplaceAll) {
  auto* dlg = new TReplaceDialog(Application());
  std::vector<std::string> log;
  dlg->OnFind = [&](TObject*) { log.push_back("find " + dlg->FindText()); };
  dlg->OnReplace = [&](TObject*) {
    log.push_back(std::string(dlg->Options().Contains(frReplaceAll) ? "all " : "one ") + dlg->FindText() + ">" +
                  dlg->ReplaceText());
  };
  dlg->SetOptions({});
  dlg->Execute();
  Pump();
  InjectText("cat");
  InjectKey(VK_TAB);
  Pump();
  InjectText("dog");
  Pump();
  AltKey('R');
  Pump();
  AltKey('A');
  Pump();
  AltKey('F');
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"one cat>dog", "all cat>dog", "find cat"}));
  EXPECT_FALSE(dlg->Options().Contains(frReplaceAll)) << "each action sets only its own flag";
  dlg->CloseDialog();
}

class FakeSpooler : public TPrintSpooler {
 public:
  std::vector<std::string> Destinations() override { return {"Laser", "Inkjet"}; }
  std::string DefaultDestination() override { return "Laser"; }
  bool Submit(const std::string&, const std::string&, const std::string&, std::string&) override { return true; }
};

TEST_F(CommonDialogsTest, PrinterSetupChoosesPrinterPaperAndOrientation) {
  auto previous = SetPrinter(std::make_unique<TPrinter>(std::make_unique<FakeSpooler>()));
  auto* dlg = new TPrinterSetupDialog(Application());
  std::vector<std::string> printers;
  Drive({[&] {
           TForm* f = dlg->DialogForm();
           auto* combo = Part<TComboBox>(f, "PrinterCombo");
           for (int i = 0; i < combo->Items()->Count(); ++i) printers.push_back(combo->Items()->Strings(i));
           combo->SetItemIndex(2);
           Part<TComboBox>(f, "PaperCombo")->SetItemIndex(1);
           Part<TRadioButton>(f, "LandscapeRadio")->SetChecked(true);
           InjectKey(VK_RETURN);
         }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(printers, (std::vector<std::string>{"(Default printer)", "Laser", "Inkjet"}));
  EXPECT_EQ(Printer()->PrinterName(), "Inkjet");
  EXPECT_EQ(Printer()->PaperSize().Name, PaperLetter().Name);
  EXPECT_EQ(Printer()->Orientation(), TPrinterOrientation::poLandscape);

  Drive({[&] {
           Part<TRadioButton>(dlg->DialogForm(), "PortraitRadio")->SetChecked(true);
           InjectKey(VK_ESCAPE);
         }});
  EXPECT_FALSE(dlg->Execute());
  EXPECT_EQ(Printer()->Orientation(), TPrinterOrientation::poLandscape) << "Cancel changes nothing";
  SetPrinter(std::move(previous));
}

}  // namespace
}  // namespace tw::test
