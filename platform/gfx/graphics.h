// The drawing layer in one include: geometry, colours, device contexts, fonts, the canvas,
// bitmaps, icons, metafiles, pictures and image lists.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/gfx/color.h"
#include "platform/gfx/devicecontext.h"
#include "platform/gfx/font.h"
#include "platform/gfx/geometry.h"
#include "platform/gfx/graphic.h"
#include "platform/gfx/imagelist.h"
#include "platform/gfx/metafile.h"
#include "platform/gfx/picture.h"
