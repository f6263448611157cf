// Text pasted from other programs: the clipboard gives it with the line ends of its source
// (LF from Linux programs through the X11 clipboard, CR LF, CR); each ends a paragraph.
#include "platform/forms/clipbrd.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using PastedLineEnds = RichTextTest;

void PutText(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, text);
  CloseClipboard();
}

TEST_F(PastedLineEnds, LfCrAndCrLfEachEndOneParagraph) {
  Type("[]");
  Key(VK_LEFT);
  PutText("one\ntwo\rthree\r\nfour");
  rt->PasteFromClipboard();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"[one", "two", "three", "four]"}));
}

TEST_F(PastedLineEnds, AnEmptyLineBetweenLfLinesStaysAnEmptyParagraph) {
  PutText("first\n\nthird\n");
  rt->PasteFromClipboard();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"first", "", "third", ""}));
}

}  // namespace
}  // namespace tw::richtext::testing
