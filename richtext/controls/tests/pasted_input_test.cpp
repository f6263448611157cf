// What other programs put on the clipboard: text with the line ends of its source (LF from
// Linux programs through the X11 clipboard, CR LF, CR), each ending a paragraph; RTF naming
// picture files, read from disk only when the editor allows it.
#include <unistd.h>

#include "platform/forms/clipbrd.h"
#include "platform/gfx/graphic.h"
#include "platform/rtl/files.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using PastedInput = RichTextTest;

void PutText(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, text);
  CloseClipboard();
}

TEST_F(PastedInput, LfCrAndCrLfEachEndOneParagraph) {
  Type("[]");
  Key(VK_LEFT);
  PutText("one\ntwo\rthree\r\nfour");
  rt->PasteFromClipboard();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"[one", "two", "three", "four]"}));
}

TEST_F(PastedInput, AnEmptyLineBetweenLfLinesStaysAnEmptyParagraph) {
  PutText("first\n\nthird\n");
  rt->PasteFromClipboard();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"first", "", "third", ""}));
}

TEST_F(PastedInput, PictureFilesNamedByPastedRtfLoadOnlyWhenTheEditorAllowsIt) {
  const std::string name = ExpandFileName("pasted_pic_" + std::to_string(getpid()) + ".bmp");
  TBitmap bmp;
  bmp.SetSize(5, 4);
  bmp.SaveToFile(name);
  const std::string rtf = "{\\rtf1 {\\*\\picfile \"" + name + "\"}}";
  auto paste = [&] {
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    SetClipboardData(RegisterClipboardFormat("Rich Text Format"), rtf);
    CloseClipboard();
    rt->PasteFromClipboard();
  };
  EXPECT_FALSE(rt->LoadPictureFiles());
  paste();
  ASSERT_EQ(E().Objects().size(), 1u);
  EXPECT_EQ(E().Objects().back()->Graphic, nullptr);
  EXPECT_TRUE(E().Objects().back()->Linked);
  // The second paste names the same file: its object now gets the picture.
  rt->SetLoadPictureFiles(true);
  paste();
  ASSERT_EQ(E().Objects().size(), 1u);
  ASSERT_NE(E().Objects().back()->Graphic, nullptr);
  EXPECT_EQ(E().Objects().back()->Graphic->Width(), 5);
  DeleteFile(name);
}

}  // namespace
}  // namespace tw::richtext::testing
