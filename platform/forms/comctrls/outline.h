// TOutline: a tree of text nodes shown as indented rows that expand and collapse, with
// plus/minus boxes and tree lines, keyboard and mouse use, and the whole tree also offered as
// tab-indented lines.  Node indexes are 1-based in tree order (0 means none), as the class
// library numbers them; ItemIndex is the 0-based row among the shown nodes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"

namespace tw {

enum class TOutlineStyle { osText, osPlusMinusText, osPictureText, osPlusMinusPictureText, osTreeText, osTreePictureText };
TW_ENUM_NAMES(TOutlineStyle, "osText", "osPlusMinusText", "osPictureText", "osPlusMinusPictureText", "osTreeText",
              "osTreePictureText");
using enum TOutlineStyle;
enum class TOutlineOption { ooDrawTreeRoot, ooDrawFocusRect, ooStretchBitmaps };
TW_ENUM_NAMES(TOutlineOption, "ooDrawTreeRoot", "ooDrawFocusRect", "ooStretchBitmaps");
using enum TOutlineOption;
using TOutlineOptions = Set<TOutlineOption>;

class TOutline;

class TOutlineNode : public TPersistent {
  TW_CLASS(TOutlineNode, TPersistent)
 public:
  TOutlineNode(TOutline* outline, TOutlineNode* parent) : outline_(outline), parent_(parent) {}

  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  void* Data() const { return data_; }
  void SetData(void* value) { data_ = value; }
  // 1 for a top-level node.
  int Level() const;
  // The node's 1-based index in tree order.
  int Index() const;
  // nullptr for a top-level node.
  TOutlineNode* Parent() const;
  bool HasItems() const { return !children_.empty(); }
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool value);
  void Expand() { SetExpanded(true); }
  void Collapse() { SetExpanded(false); }
  void FullExpand();
  void FullCollapse();
  // Shown when every ancestor is expanded.
  bool IsVisible() const;
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TOutlineNode* Child(int i) const { return children_[static_cast<std::size_t>(i)].get(); }
  // Indexes of relatives (0 when none).
  int GetFirstChild() const;
  int GetLastChild() const;
  int GetNextChild(int index) const;
  int GetPrevChild(int index) const;
  // Texts from the top joined by the outline's separator.
  std::string FullPath() const;

 private:
  friend class TOutline;
  TOutline* outline_;
  TOutlineNode* parent_;
  std::string text_;
  void* data_ = nullptr;
  bool expanded_ = false;
  std::vector<std::unique_ptr<TOutlineNode>> children_;
};

using TOutlineEvent = std::function<void(TObject* Sender, int Index)>;

class TOutline : public TCustomControl {
  TW_CLASS(TOutline, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TOutline(TComponent* owner);
  ~TOutline() override;

  // --- the tree
  int ItemCount() const;
  // Raises EOutlineError for an index that names no node.
  TOutlineNode* Items(int index) const;
  // A sibling after the last child of `index`'s parent (0: a new top-level node); returns the
  // new node's index.
  int Add(int index, const std::string& text) { return AddObject(index, text, nullptr); }
  int AddObject(int index, const std::string& text, void* data);
  // The last child of `index` (0: top level).
  int AddChild(int index, const std::string& text) { return AddChildObject(index, text, nullptr); }
  int AddChildObject(int index, const std::string& text, void* data);
  // Before node `index`, at its level (0: at the end of the top level).
  int Insert(int index, const std::string& text) { return InsertObject(index, text, nullptr); }
  int InsertObject(int index, const std::string& text, void* data);
  // Removes the node with everything below it.
  void Delete(int index);
  void Clear();
  // First node with that text (case-insensitive), 0 when none.
  int GetTextItem(const std::string& text) const;
  int GetDataItem(const void* data) const;
  void FullExpand();
  void FullCollapse();
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  // The tree as lines, one per node, indented by a tab per level below the top.
  TStrings* Lines() const;
  void SetLines(TStrings* value);

  // --- selection and view
  int SelectedItem() const { return selected_; }
  void SetSelectedItem(int index);
  int ItemIndex() const;
  void SetItemIndex(int row);
  int TopItem() const { return top_; }
  void SetTopItem(int row);
  int RowCount() const;
  int ItemHeight() const;
  void SetItemHeight(int value);
  // The shown node at a client point; 0 when none.
  int GetItem(int x, int y) const;
  TOutlineStyle OutlineStyle() const { return style_; }
  void SetOutlineStyle(TOutlineStyle value);
  TOutlineOptions Options() const { return options_; }
  void SetOptions(TOutlineOptions value);
  const std::string& ItemSeparator() const { return separator_; }
  void SetItemSeparator(const std::string& value) { separator_ = value; }
  // The node shown in `row` (0-based), 0 when none.
  int RowItem(int row) const;

  TOutlineEvent OnExpand;
  TOutlineEvent OnCollapse;

 protected:
  friend class TOutlineNode;
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Resize() override;
  void WMGetDlgCode(TMessage& msg);
  void WMVScroll(TMessage& msg);
  void WMMouseWheel(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);

  void Changed();
  void NodeExpandedChanged(TOutlineNode* node);
  void Reindex() const;
  void MakeVisible(int row);
  void UpdateScrollBar();
  int Indent() const { return 16; }
  bool HasPlusMinus() const;
  bool HasTree() const { return style_ == osTreeText || style_ == osTreePictureText; }
  bool HasPictures() const;
  int NodeLeft(const TOutlineNode* node) const;

 private:
  class TOutlineLines;
  TOutlineNode* NodeOrRoot(int index) const;
  int InsertNode(TOutlineNode* parent, std::size_t pos, const std::string& text, void* data);

  std::unique_ptr<TOutlineNode> root_;
  std::unique_ptr<TOutlineLines> lines_;
  mutable std::vector<TOutlineNode*> flat_;   // tree order
  mutable std::vector<TOutlineNode*> shown_;  // visible rows
  mutable bool dirty_ = true;
  int selected_ = 0;
  int top_ = 0;
  int itemHeight_ = 0;
  int updateCount_ = 0;
  TOutlineStyle style_ = osTreePictureText;
  TOutlineOptions options_{ooDrawTreeRoot, ooDrawFocusRect};
  std::string separator_ = "\\";
};

TW_DECLARE_EXCEPTION(EOutlineError, Exception);

}  // namespace tw
