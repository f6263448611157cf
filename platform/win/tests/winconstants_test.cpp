// The window system's numbers that code written against it sends and compares: message boxes,
// edit, combo-box and list-box messages keep their exact values, and no two messages of one
// control family share a number.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/win/winapi.h"

namespace tw {
namespace {

bool AllDistinct(std::vector<UINT> values) {
  std::sort(values.begin(), values.end());
  return std::adjacent_find(values.begin(), values.end()) == values.end();
}

TEST(WindowSystemNumbers, MessageBoxFlagsAndResultsHaveTheirFixedValues) {
  static_assert(MB_OK == 0 && MB_OKCANCEL == 1 && MB_ABORTRETRYIGNORE == 2 && MB_YESNOCANCEL == 3 &&
                MB_YESNO == 4 && MB_RETRYCANCEL == 5);
  static_assert(MB_ICONERROR == 0x10 && MB_ICONQUESTION == 0x20 && MB_ICONWARNING == 0x30 && MB_ICONINFORMATION == 0x40);
  static_assert(MB_DEFBUTTON2 == 0x100 && MB_DEFBUTTON3 == 0x200 && MB_SYSTEMMODAL == 0x1000 && MB_TASKMODAL == 0x2000);
  // Every button style and icon fits its mask, so a box can take them apart again.
  for (UINT type : {MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL})
    EXPECT_EQ(type & MB_TYPEMASK, type);
  for (UINT icon : {MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK}) EXPECT_EQ(icon & MB_ICONMASK, icon);
  for (UINT def : {MB_DEFBUTTON1, MB_DEFBUTTON2, MB_DEFBUTTON3}) EXPECT_EQ(def & MB_DEFMASK, def);
  EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(WindowSystemNumbers, EditComboAndListMessagesAreDistinctAndExact) {
  static_assert(EM_LINEINDEX == 0xBB && EM_REPLACESEL == 0xC2 && EM_LINEFROMCHAR == 0xC9 && EM_EMPTYUNDOBUFFER == 0xCD);
  static_assert(CB_ADDSTRING == 0x143 && CB_SETCURSEL == 0x14E && CB_FINDSTRINGEXACT == 0x158);
  static_assert(LB_ADDSTRING == 0x180 && LB_GETCOUNT == 0x18B && LB_ITEMFROMPOINT == 0x1A9);
  static_assert(CB_ERR == -1 && LB_ERR == -1 && CB_ERRSPACE == -2);
  EXPECT_TRUE(AllDistinct({EM_GETSEL, EM_SETSEL, EM_GETRECT, EM_SCROLLCARET, EM_GETMODIFY, EM_SETMODIFY, EM_GETLINECOUNT,
                           EM_LINEINDEX, EM_REPLACESEL, EM_LIMITTEXT, EM_CANUNDO, EM_UNDO, EM_LINEFROMCHAR,
                           EM_EMPTYUNDOBUFFER, EM_SETREADONLY}));
  const std::vector<UINT> combo{CB_GETEDITSEL,   CB_LIMITTEXT,      CB_SETEDITSEL,    CB_ADDSTRING,
                                CB_DELETESTRING, CB_GETCOUNT,       CB_GETCURSEL,     CB_GETLBTEXT,
                                CB_GETLBTEXTLEN, CB_INSERTSTRING,   CB_RESETCONTENT,  CB_FINDSTRING,
                                CB_SELECTSTRING, CB_SETCURSEL,      CB_SHOWDROPDOWN,  CB_GETITEMDATA,
                                CB_SETITEMDATA,  CB_GETDROPPEDCONTROLRECT, CB_SETITEMHEIGHT, CB_GETITEMHEIGHT,
                                CB_GETDROPPEDSTATE, CB_FINDSTRINGEXACT, CB_GETTOPINDEX, CB_SETTOPINDEX};
  const std::vector<UINT> list{LB_ADDSTRING,     LB_INSERTSTRING, LB_DELETESTRING,   LB_RESETCONTENT, LB_SETSEL,
                               LB_SETCURSEL,     LB_GETSEL,       LB_GETCURSEL,      LB_GETTEXT,      LB_GETTEXTLEN,
                               LB_GETCOUNT,      LB_SELECTSTRING, LB_GETTOPINDEX,    LB_FINDSTRING,   LB_GETSELCOUNT,
                               LB_GETSELITEMS,   LB_SETTOPINDEX,  LB_GETITEMRECT,    LB_GETITEMDATA,  LB_SETITEMDATA,
                               LB_SETCARETINDEX, LB_GETCARETINDEX, LB_SETITEMHEIGHT, LB_GETITEMHEIGHT, LB_FINDSTRINGEXACT,
                               LB_ITEMFROMPOINT};
  std::vector<UINT> both = combo;
  both.insert(both.end(), list.begin(), list.end());
  EXPECT_TRUE(AllDistinct(both));
  // Combo-box messages lie in 0x140..0x15F, list-box ones in 0x180..0x1AF, apart from the rest.
  for (UINT m : combo) EXPECT_TRUE(m >= 0x140 && m <= 0x15F) << m;
  for (UINT m : list) EXPECT_TRUE(m >= 0x180 && m <= 0x1AF) << m;
}

}  // namespace
}  // namespace tw
