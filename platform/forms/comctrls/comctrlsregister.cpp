#include "platform/forms/comctrls/comctrls.h"

namespace tw {

void RegisterComCtrlsClasses() {
  RegisterClass<TComboBox>();
  RegisterClass<TListBox>();
  RegisterClass<TScrollBar>();
  RegisterClass<TTrackBar>();
  RegisterClass<TStatusBar>();
  RegisterClass<TPageControl>();
  RegisterClass<TTabSheet>();
  RegisterClass<TTabSet>();
  RegisterClass<TStringGrid>();
  RegisterClass<TOutline>();
}

}  // namespace tw
