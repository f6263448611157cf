// Pictures the picture tests of the rich-text engine draw with.
#pragma once

#include <memory>

#include "platform/gfx/metafile.h"

namespace tw::richtext::test {

// A metafile of `width` x `height` units: the left half filled with `left`, the right half
// with `right`, without outlines.
inline std::unique_ptr<TMetafile> TwoBoxes(int width, int height, TColor left, TColor right) {
  auto m = std::make_unique<TMetafile>();
  TMetafileCanvas c(m.get(), width, height);
  c.Pen()->SetStyle(TPenStyle::psClear);
  c.Brush()->SetColor(left);
  c.Rectangle(0, 0, width / 2, height);
  c.Brush()->SetColor(right);
  c.Rectangle(width / 2, 0, width, height);
  c.Finish();
  return m;
}

}  // namespace tw::richtext::test
