// Menus on the offscreen display: the item tree, shortcuts and accelerators, the bar of a form
// driven by mouse and keyboard, and pop-up menus on a right click.
#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/uilanguage.h"

namespace tw::test {
namespace {

TPoint Center(const TRect& r) { return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

void Click(const TRect& r, MouseButton button = MouseButton::Left) {
  const TPoint p = Center(r);
  InjectMouseDown(p.X, p.Y, button);
  InjectMouseUp(p.X, p.Y, button);
}

class MenusTest : public FormsTest {
 protected:
  void TearDown() override {
    CloseMenus();
    FormsTest::TearDown();
  }

  TMenuItem* NewItem(TComponent* owner, const std::string& caption, TMenuItem* parent,
                     TShortCut shortCut = 0) {
    auto* item = new TMenuItem(owner);
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->OnClick = [this, caption](TObject*) { clicks.push_back(StripHotkey(caption)); };
    if (parent != nullptr) parent->Add(item);
    return item;
  }

  // A shown form with File (Print Ctrl+P, -, Exit), Edit (Options) and Help (F1: Contents).
  TForm* MenuForm() {
    TForm* form = NewForm(300, 200);
    menu = new TMainMenu(form);
    fileMenu = NewItem(form, "&File", menu->Items());
    fileMenu->OnClick = nullptr;
    print = NewItem(form, "&Print", fileMenu, ShortCut('P', {TShiftStateFlag::ssCtrl}));
    NewItem(form, "-", fileMenu);
    exitItem = NewItem(form, "E&xit", fileMenu);
    editMenu = NewItem(form, "&Edit", menu->Items());
    editMenu->OnClick = nullptr;
    options = NewItem(form, "&Options", editMenu);
    helpMenu = NewItem(form, "&Help", menu->Items(), ShortCut(VK_F1, {}));
    helpMenu->OnClick = nullptr;
    NewItem(form, "&Contents", helpMenu);
    form->Show();
    Pump();
    return form;
  }

  std::vector<std::string> clicks;
  TMainMenu* menu = nullptr;
  TMenuItem* fileMenu = nullptr;
  TMenuItem* print = nullptr;
  TMenuItem* exitItem = nullptr;
  TMenuItem* editMenu = nullptr;
  TMenuItem* options = nullptr;
  TMenuItem* helpMenu = nullptr;
};

// --- shortcut words and captions

TEST(ShortCutText, NamesAndParsesModifiersAndKeys) {
  EXPECT_EQ(ShortCutToText(ShortCut('P', {TShiftStateFlag::ssCtrl})), "Ctrl+P");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F1, {})), "F1");
  EXPECT_EQ(ShortCutToText(ShortCut('E', {TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt})), "Ctrl+Alt+E");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {TShiftStateFlag::ssShift, TShiftStateFlag::ssCtrl})), "Shift+Ctrl+Del");
  EXPECT_EQ(ShortCutToText(0), "");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_LSHIFT, {})), "") << "a key without a name has no text";

  for (const char* text : {"Ctrl+P", "F1", "Ctrl+Alt+E", "Shift+Ctrl+Del", "Alt+F12", "Esc", "Ctrl+5"})
    EXPECT_EQ(ShortCutToText(TextToShortCut(text)), text);
  // In German the keys are named as German desktops name them; both languages read back.
  SetUiLanguage(TUiLanguage::German);
  EXPECT_EQ(ShortCutToText(ShortCut('P', {TShiftStateFlag::ssCtrl})), "Strg+P");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {TShiftStateFlag::ssShift, TShiftStateFlag::ssCtrl})), "Umschalt+Strg+Entf");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_PRIOR, {TShiftStateFlag::ssAlt})), "Alt+Bild auf");
  EXPECT_EQ(TextToShortCut("Strg+P"), TextToShortCut("Ctrl+P"));
  EXPECT_EQ(TextToShortCut("Umschalt+Strg+Entf"), TextToShortCut("Shift+Ctrl+Del"));
  EXPECT_EQ(ShortCutToText(TextToShortCut("Ctrl+Alt+E")), "Strg+Alt+E");
  SetUiLanguage(TUiLanguage::English);
  EXPECT_EQ(ShortCutToText(TextToShortCut("Strg+Bild ab")), "Ctrl+PgDn");
  SetUiLanguage(std::nullopt);
  EXPECT_EQ(TextToShortCut("alt+ctrl+e"), TextToShortCut("Ctrl+Alt+E")) << "any order, any case";
  EXPECT_EQ(TextToShortCut(""), 0);
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Hyper+P"), 0);
  EXPECT_EQ(TextToShortCut("F13"), 0);
  EXPECT_EQ(TextToShortCut("PP"), 0);

  Word key = 0;
  TShiftState shift;
  ShortCutToKey(TextToShortCut("Ctrl+Alt+E"), key, shift);
  EXPECT_EQ(key, 'E');
  EXPECT_TRUE(shift.Contains(TShiftStateFlag::ssCtrl));
  EXPECT_TRUE(shift.Contains(TShiftStateFlag::ssAlt));
  EXPECT_FALSE(shift.Contains(TShiftStateFlag::ssShift));
}

TEST(ShortCutText, AcceleratorsOfCaptions) {
  EXPECT_EQ(GetHotkey("E&xit"), 'X');
  EXPECT_EQ(GetHotkey("Fish && Chips"), 0) << "a doubled ampersand is a plain one";
  EXPECT_EQ(GetHotkey("Fish && &Chips"), 'C');
  EXPECT_EQ(GetHotkey("Trailing&"), 0);
  EXPECT_EQ(GetHotkey("&\xe4rger"), '\xc4') << "letters of the code page upper-case too";
  EXPECT_EQ(StripHotkey("Fish && &Chips"), "Fish & Chips");
  EXPECT_TRUE(IsMenuAccel('x', "E&xit"));
  EXPECT_TRUE(IsMenuAccel('X', "E&xit"));
  EXPECT_FALSE(IsMenuAccel('E', "E&xit"));
}

// --- the item tree

TEST_F(MenusTest, ItemsAreAddedInsertedMovedAndRemovedAtRunTime) {
  TForm* form = NewForm();
  auto* root = NewItem(form, "&File", nullptr);
  auto* a = NewItem(form, "A", root);
  auto* c = NewItem(form, "C", root);
  auto* b = NewItem(form, "B", nullptr);
  root->Insert(1, b);
  ASSERT_EQ(root->Count(), 3);
  EXPECT_EQ(root->Items(1), b);
  EXPECT_EQ(b->Parent(), root);
  EXPECT_EQ(c->MenuIndex(), 2);
  EXPECT_EQ(root->Find("c"), c) << "found without regard to case";
  EXPECT_EQ(root->Find("&A"), a) << "accelerator marks do not count";
  EXPECT_EQ(root->Find("D"), nullptr);

  EXPECT_THROW(root->Add(b), EMenuError) << "the same item twice";
  EXPECT_THROW(b->Add(root), EMenuError) << "an item cannot hold its own ancestor";
  EXPECT_THROW(root->Items(3), EMenuError);
  EXPECT_THROW(root->Insert(5, NewItem(form, "X", nullptr)), EMenuError);

  c->SetMenuIndex(0);
  EXPECT_EQ(root->IndexOf(c), 0);
  root->Remove(a);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(root->Count(), 2);
  delete b;  // freed by someone else: it leaves its parent
  EXPECT_EQ(root->Count(), 1);
  auto* other = NewItem(form, "Other", nullptr);
  other->Add(c);  // moving to another parent takes it out of the first
  EXPECT_EQ(root->Count(), 0);
  EXPECT_EQ(c->Parent(), other);
  other->Delete(0);
  EXPECT_EQ(other->Count(), 0);
}

TEST_F(MenusTest, RadioItemsOfAGroupExcludeEachOtherAndAutoCheckToggles) {
  TForm* form = NewForm();
  auto* root = NewItem(form, "Language", nullptr);
  auto* en = NewItem(form, "English", root);
  auto* de = NewItem(form, "Deutsch", root);
  auto* other = NewItem(form, "Other group", root);
  for (TMenuItem* i : {en, de}) i->SetRadioItem(true);
  other->SetRadioItem(true);
  other->SetGroupIndex(1);
  other->SetChecked(true);
  en->SetChecked(true);
  de->SetChecked(true);
  EXPECT_FALSE(en->Checked());
  EXPECT_TRUE(de->Checked());
  EXPECT_TRUE(other->Checked()) << "another group keeps its check";

  auto* plain = NewItem(form, "Plain", root);
  plain->SetAutoCheck(true);
  plain->Click();
  EXPECT_TRUE(plain->Checked());
  plain->Click();
  EXPECT_FALSE(plain->Checked());
  en->SetAutoCheck(true);
  en->Click();
  EXPECT_TRUE(en->Checked());
  EXPECT_FALSE(de->Checked());
  plain->SetEnabled(false);
  clicks.clear();
  plain->Click();
  EXPECT_TRUE(clicks.empty()) << "a disabled item does not click";
}

TEST_F(MenusTest, PublishedPropertiesAndTheFormsMenuProperty) {
  TForm* form = NewForm();
  auto* item = new TMenuItem(form);
  SetPropValue(item, "Caption", TValue("&Print"));
  SetOrdProp(item, "ShortCut", TextToShortCut("Ctrl+P"));
  SetEnumProp(item, "Checked", "True");
  EXPECT_EQ(item->Caption(), "&Print");
  EXPECT_EQ(ShortCutToText(item->ShortCut()), "Ctrl+P");
  EXPECT_TRUE(item->Checked());
  ASSERT_NE(GetClass("TMenuItem"), nullptr);
  ASSERT_NE(GetClass("TMainMenu"), nullptr);
  ASSERT_NE(GetClass("TPopupMenu"), nullptr);

  auto* popup = new TPopupMenu(form);
  EXPECT_EQ(FormMenu(form), nullptr) << "a pop-up menu is no form menu";
  auto* second = new TMainMenu(nullptr);
  SetPropValue(form, "Menu", TValue(static_cast<TObject*>(second)));
  EXPECT_EQ(FormMenu(form), second);
  EXPECT_EQ(GetObjectProp(form, "Menu"), second);
  EXPECT_THROW(SetPropValue(form, "Menu", TValue(static_cast<TObject*>(popup))), EPropertyError);
  delete second;
  EXPECT_EQ(FormMenu(form), nullptr) << "a freed menu leaves its form";
}

// --- the bar

TEST_F(MenusTest, AttachingAMenuKeepsTheClientAreaAndReservesTheBar) {
  TForm* form = NewForm(300, 200);
  form->Show();
  Pump();
  const int height = form->Height();
  auto* m = new TMainMenu(form);
  NewItem(form, "&File", m->Items());
  Pump();
  EXPECT_EQ(FormMenu(form), m) << "a main menu made on a form without one becomes its menu";
  EXPECT_EQ(form->ClientHeight(), 200);
  EXPECT_EQ(form->Height(), height + TMainMenu::BarHeight());
  const TRect file = MenuBarItemRect(form, 0);
  EXPECT_EQ(file.Bottom, form->ClientOrigin().Y) << "the bar lies right above the client area";
  EXPECT_EQ(file.Height(), TMainMenu::BarHeight());
  POINT p{Center(file).X, Center(file).Y};
  EXPECT_EQ(SendMessage(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y)), HTMENU);

  SetFormMenu(form, nullptr);
  Pump();
  EXPECT_EQ(form->ClientHeight(), 200);
  EXPECT_EQ(form->Height(), height);
  EXPECT_EQ(MenuBarItemRect(form, 0).Width(), 0);
}

TEST_F(MenusTest, MouseOpensTheBarsMenuSwitchesAcrossAndAClickChooses) {
  TForm* form = MenuForm();
  Click(MenuBarItemRect(form, 0));
  Pump();
  ASSERT_TRUE(MenuActive());
  ASSERT_NE(MenuLevelWindow(0), 0u);
  EXPECT_TRUE(IsWindowVisible(MenuLevelWindow(0)));
  EXPECT_EQ(GetActiveWindow(), form->Handle()) << "the drop-down does not take activation";
  EXPECT_EQ(MenuBarSelection(), 0);

  // Moving across the bar opens the other menu.
  const TPoint edit = Center(MenuBarItemRect(form, 1));
  InjectMouseMove(edit.X, edit.Y);
  Pump();
  EXPECT_EQ(MenuBarSelection(), 1);
  const TPoint optionsAt = Center(MenuLevelItemRect(0, 0));
  InjectMouseMove(optionsAt.X, optionsAt.Y);
  Pump();
  EXPECT_EQ(MenuLevelSelection(0), 0);
  InjectMouseDown(optionsAt.X, optionsAt.Y);
  InjectMouseUp(optionsAt.X, optionsAt.Y);
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks, std::vector<std::string>{"Options"});

  // A click on a separator or a disabled item chooses nothing; a click outside closes.
  exitItem->SetEnabled(false);
  Click(MenuBarItemRect(form, 0));
  Pump();
  Click(MenuLevelItemRect(0, 1));
  Click(MenuLevelItemRect(0, 2));
  Pump();
  EXPECT_TRUE(MenuActive());
  const TPoint inside = form->ClientToScreen(Point(150, 150));
  InjectMouseDown(inside.X, inside.Y);
  InjectMouseUp(inside.X, inside.Y);
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks.size(), 1u);

  // Another window taking the activation closes the menu.
  Click(MenuBarItemRect(form, 0));
  Pump();
  ASSERT_TRUE(MenuActive());
  TForm* other = NewForm();
  other->Show();
  Pump();
  EXPECT_FALSE(MenuActive());
  other->Hide();
  form->SetFocus();
  Pump();

  // A second press on the open item closes its menu.
  Click(MenuBarItemRect(form, 0));
  Pump();
  ASSERT_TRUE(MenuActive());
  Click(MenuBarItemRect(form, 0));
  Pump();
  EXPECT_FALSE(MenuActive());
}

TEST_F(MenusTest, AltLetterOpensAMenuAndArrowsEnterAndEscWork) {
  TForm* form = MenuForm();
  print->SetHint("Prints the list");
  InjectKeyDown(VK_MENU);
  InjectKey('F');
  InjectKeyUp(VK_MENU);
  Pump();
  ASSERT_TRUE(MenuActive()) << "Alt+F opens File";
  EXPECT_EQ(Application()->Hint(), "Prints the list") << "the selected item's hint is the application's";
  EXPECT_EQ(MenuBarSelection(), 0);
  EXPECT_EQ(MenuLevelSelection(0), 0) << "the first item is selected";
  InjectKey(VK_DOWN);
  Pump();
  EXPECT_EQ(MenuLevelSelection(0), 2) << "the separator is skipped";
  InjectKey(VK_DOWN);
  Pump();
  EXPECT_EQ(MenuLevelSelection(0), 0) << "and the selection wraps";
  InjectKey(VK_RETURN);
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks, std::vector<std::string>{"Print"});
  EXPECT_EQ(Application()->Hint(), "");

  // Esc closes the drop-down and leaves the keyboard on the bar; a second Esc leaves the menu.
  InjectKeyDown(VK_MENU);
  InjectKey('F');
  InjectKeyUp(VK_MENU);
  Pump();
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_TRUE(MenuActive());
  EXPECT_EQ(MenuLevelWindow(0), 0u);
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(MenuActive());

  // F10 puts the keyboard on the bar; Right, Down and Enter choose Edit > Options.
  InjectKey(VK_F10);
  Pump();
  ASSERT_TRUE(MenuActive());
  InjectKey(VK_RIGHT);
  InjectKey(VK_DOWN);
  Pump();
  EXPECT_EQ(MenuBarSelection(), 1);
  InjectKey(VK_RETURN);
  Pump();
  EXPECT_EQ(clicks.back(), "Options");

  // Alt alone, then a letter of the open menu chooses that item.
  InjectKey(VK_MENU);
  Pump();
  ASSERT_TRUE(MenuActive()) << "Alt pressed and released alone enters the bar";
  InjectKey('F');
  Pump();
  InjectKey('X');
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks.back(), "Exit");

  // Function and numeric-pad keys share their numbers with lower-case letters: Alt with numeric
  // pad 3 (0x63, 'c') is no accelerator of "&Calc".
  auto* calc = NewItem(form, "&Calc", menu->Items());
  NewItem(form, "&Sum", calc);
  InjectKeyDown(VK_MENU);
  InjectKey(VK_NUMPAD3);
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_FALSE(MenuActive());
  ASSERT_TRUE(form->Visible());
  InjectKeyDown(VK_MENU);
  InjectKey('C');
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(MenuBarSelection(), 3);
}

TEST_F(MenusTest, ShortcutsFireWithTheMenuClosedAndKeysOfOtherFormsAreLeftAlone) {
  TForm* form = MenuForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetTabStop(true);
  std::vector<Word> keysSeen;
  panel->OnKeyDown = [&](TObject*, Word& key, TShiftState) { keysSeen.push_back(key); };
  form->SetActiveControl(panel);
  Pump();

  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('P');
  Pump();
  InjectKeyUp('P');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(clicks, std::vector<std::string>{"Print"});
  EXPECT_EQ(std::count(keysSeen.begin(), keysSeen.end(), Word('P')), 0) << "the control does not see the shortcut";
  EXPECT_FALSE(MenuActive());

  // A disabled item's shortcut does nothing, and the key reaches the control.
  print->SetEnabled(false);
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('P');
  Pump();
  InjectKeyUp('P');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(std::count(keysSeen.begin(), keysSeen.end(), Word('P')), 1);

  // F1 belongs to the Help item, which has sub-items: its drop-down opens.
  InjectKey(VK_F1);
  Pump();
  EXPECT_TRUE(MenuActive());
  EXPECT_EQ(MenuBarSelection(), 2);
  CloseMenus();

  // An item added at run time fires too; one removed no longer does.
  auto* late = NewItem(form, "&Late", fileMenu, ShortCut('L', {TShiftStateFlag::ssCtrl}));
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('L');
  Pump();
  InjectKeyUp('L');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(clicks.back(), "Late");
  fileMenu->Remove(late);
  const auto before = clicks.size();
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('L');
  Pump();
  InjectKeyUp('L');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(clicks.size(), before);
  delete late;

  // Keys of another form without a menu are not the menu's.
  TForm* other = NewForm();
  other->Show();
  Pump();
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('P');
  Pump();
  InjectKeyUp('P');
  InjectKeyUp(VK_CONTROL);
  InjectKey(VK_F10);
  Pump();
  EXPECT_EQ(clicks.size(), before);
  EXPECT_FALSE(MenuActive());
}

TEST_F(MenusTest, ItemsChangedAtRunTimeShowInTheDropDown) {
  TForm* form = MenuForm();
  NewItem(form, "&Recent", fileMenu);
  InjectKeyDown(VK_MENU);
  InjectKey('F');
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_FALSE(MenuLevelItemRect(0, 3).Width() == 0) << "the new item is the fourth line";
  InjectKey('R');
  Pump();
  EXPECT_EQ(clicks.back(), "Recent");

  // Hidden items are left out; freeing an item while its menu is open closes the menu.
  exitItem->SetVisible(false);
  Click(MenuBarItemRect(form, 0));
  Pump();
  EXPECT_TRUE(MenuLevelItemRect(0, 3).Width() == 0);
  delete print;
  EXPECT_FALSE(MenuActive());
  Pump();
  EXPECT_EQ(MenuLevelWindow(0), 0u);
}

TEST_F(MenusTest, SubMenusOpenByArrowAndMouseAndRunTheParentsOnClickFirst) {
  TForm* form = MenuForm();
  auto* recent = NewItem(form, "&Recent", fileMenu);
  int prepared = 0;
  recent->OnClick = [&](TObject*) {
    ++prepared;
    recent->Clear();
    NewItem(form, "one.txt", recent);
    NewItem(form, "two.txt", recent);
  };
  InjectKeyDown(VK_MENU);
  InjectKey('F');
  InjectKeyUp(VK_MENU);
  Pump();
  ASSERT_TRUE(MenuActive());
  // Recent has no sub-items yet: Enter clicks it, which fills it.
  InjectKey('R');
  Pump();
  EXPECT_EQ(prepared, 1);
  ASSERT_EQ(recent->Count(), 2);
  InjectKeyDown(VK_MENU);
  InjectKey('F');
  InjectKeyUp(VK_MENU);
  Pump();
  InjectKey('R');
  Pump();
  ASSERT_NE(MenuLevelWindow(1), 0u) << "now its sub-menu opens";
  EXPECT_EQ(prepared, 2) << "after its OnClick refreshed it";
  InjectKey(VK_LEFT);
  Pump();
  EXPECT_EQ(MenuLevelWindow(1), 0u);
  // By mouse: hovering opens the sub-menu, a click chooses.
  const TPoint r = Center(MenuLevelItemRect(0, 3));
  InjectMouseMove(r.X, r.Y);
  Pump();
  ASSERT_NE(MenuLevelWindow(1), 0u);
  Click(MenuLevelItemRect(1, 1));
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks.back(), "two.txt");
}

// --- pop-up menus

TEST_F(MenusTest, RightClickOpensTheControlsPopupMenuAndAClickChooses) {
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 80, 60);
  auto* popup = new TPopupMenu(form);
  NewItem(form, "&Copy", popup->Items());
  NewItem(form, "&Paste", popup->Items(), ShortCut('V', {TShiftStateFlag::ssCtrl}));
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  panel->SetPopupMenu(popup);
  form->Show();
  Pump();

  DriveIdle({[&] {
              ASSERT_TRUE(MenuActive());
              const TRect paste = MenuLevelItemRect(0, 1);
              const TPoint at = panel->ClientToScreen(Point(20, 20));
              EXPECT_EQ(paste.Left, at.X + 3) << "the menu opens at the click";
              Click(paste);
            }},
            [] {
              CloseMenus();
              ADD_FAILURE() << "the pop-up menu did not end";
            });
  InjectClick(panel->Handle(), 20, 20, MouseButton::Right);
  Pump();
  Application()->OnIdle = nullptr;
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(popup->PopupComponent(), panel);
  EXPECT_EQ(clicks, std::vector<std::string>{"Paste"});

  // The pop-up menu's shortcut works while its control has the focus.
  form->SetActiveControl(panel);
  Pump();
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('V');
  Pump();
  InjectKeyUp('V');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(clicks.size(), 2u);

  // The context-menu key opens the focused control's menu; Enter chooses its first item.
  DriveIdle({[] { InjectKey(VK_DOWN); }, [] { InjectKey(VK_RETURN); }}, [] {
    CloseMenus();
    ADD_FAILURE() << "the menu opened by key did not end";
  });
  InjectKey(VK_APPS);
  Pump();
  Application()->OnIdle = nullptr;
  EXPECT_EQ(clicks.back(), "Copy");
  const std::size_t afterKey = clicks.size();
  clicks.resize(afterKey - 1);

  // Without AutoPopup a right click shows nothing; Esc closes a menu opened in code.
  popup->SetAutoPopup(false);
  InjectClick(panel->Handle(), 20, 20, MouseButton::Right);
  Pump();
  EXPECT_FALSE(MenuActive());
  DriveIdle({[] { InjectKey(VK_ESCAPE); }}, [] {
    CloseMenus();
    ADD_FAILURE() << "Esc did not close the menu";
  });
  popup->Popup(200, 200);
  Application()->OnIdle = nullptr;
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks.size(), 2u);
  EXPECT_EQ(popups, 3);

  // A menu of another owner freed while the control still names it is left alone.
  auto* foreign = new TPopupMenu(nullptr);
  NewItem(nullptr, "&Gone", foreign->Items(), ShortCut('G', {TShiftStateFlag::ssCtrl}));
  panel->SetPopupMenu(foreign);
  TMenuItem* gone = foreign->Items()->Items(0);
  delete foreign;
  delete gone;
  InjectClick(panel->Handle(), 20, 20, MouseButton::Right);
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown('G');
  Pump();
  InjectKeyUp('G');
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(MenusTest, FreeingTheFormWithAnOpenMenuClosesIt) {
  TForm* form = MenuForm();
  Click(MenuBarItemRect(form, 0));
  Pump();
  ASSERT_TRUE(MenuActive());
  delete form;
  Pump();
  EXPECT_FALSE(MenuActive());

  // The same with a menu that the form does not own.
  TForm* second = NewForm();
  auto* foreignMenu = new TMainMenu(Application());
  auto* top = NewItem(Application(), "&Top", foreignMenu->Items());
  NewItem(Application(), "&Sub", top);
  SetFormMenu(second, foreignMenu);
  second->Show();
  Pump();
  Click(MenuBarItemRect(second, 0));
  Pump();
  ASSERT_TRUE(MenuActive());
  delete second;
  Pump();
  EXPECT_FALSE(MenuActive());
  EXPECT_EQ(foreignMenu->Form(), nullptr);
  // Input goes on normally afterwards.
  TForm* other = NewForm();
  auto* panel = new TTestPanel(other);
  panel->SetParent(other);
  panel->SetTabStop(true);
  int keys = 0;
  panel->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keys; };
  other->SetActiveControl(panel);
  other->Show();
  Pump();
  InjectKey('A');
  Pump();
  EXPECT_EQ(keys, 1);
}

}  // namespace
}  // namespace tw::test
