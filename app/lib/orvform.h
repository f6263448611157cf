// TOrvForm: the base form of the application's windows.  It restores its placement when shown
// and stores it when hidden, keeps values under its section of the settings key, lays out the
// right-aligned tool buttons "pbExit", "pbSearch" and "pbPin", and has the keyboard shortcuts of
// the data-set navigators and the search button.
#pragma once

#include <string>

#include "platform/forms/forms.h"

namespace tw::app {

class TPlacement;

// The buttons of a data-set navigator that the form's shortcut keys press.
enum class TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };

// A component of the form that takes navigator button clicks (a data-set navigator).
class INavigatorTarget {
 public:
  virtual ~INavigatorTarget() = default;
  virtual void BtnClick(TNavigateBtn button) = 0;
};

// A data grid control of the form: Enter in it moves to the next column instead of the next
// control.
class IDataGridColumns {
 public:
  virtual ~IDataGridColumns() = default;
  virtual int ColumnCount() const = 0;
  virtual int SelectedColumn() const = 0;
  virtual void SetSelectedColumn(int column) = 0;
};

class TOrvForm : public TForm {
  TW_CLASS(TOrvForm, TForm)
 public:
  explicit TOrvForm(TComponent* owner);
  // Runs OnDestroy while the form is still whole also when it is deleted directly.
  ~TOrvForm() override;
  // OnDestroy, then every component of the form is marked as going (csDestroying).
  void BeforeDestruction() override;

  TPlacement* Placement1 = nullptr;

  // One string value under the form's section (FormKeyName) below the settings key.
  void WriteString(const std::string& ident, const std::string& value);
  std::string ReadString(const std::string& ident, const std::string& defaultValue);
  // A font as "name,size,colour,styles" (e.g. "Arial,12,255,b").
  void WriteFont(const std::string& ident, const TFont* font);
  void ReadFont(const std::string& ident, TFont* font);

  // The handlers the form binds to its own events (published for form descriptions).
  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormHide(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void FormDestroy(TObject* sender);
  void FormResize(TObject* sender);
  // Enter moves to the next control, in a data grid to the next column (from the last to the
  // first); the key is consumed.
  void FormKeyPress(TObject* sender, char& key);
  void FormKeyUp(TObject* sender, Word& key, TShiftState shift);
  // Stores the window's place while it is shown in its normal state (at hiding and closing).
  void SavePlacement();

 protected:
  // Presses `button` on every navigator of the form.
  virtual void NavigatorClick(TNavigateBtn button);
};

// The font value that WriteFont stores, and its reading (the style is cleared first; a field
// without its "," ends the reading; a size that is not a usable point size gives 10).
std::string FontToValue(const TFont* font);
void ValueToFont(const std::string& value, TFont* font);

}  // namespace tw::app
