// Message texts of the docking toolbars.
#pragma once

namespace tw::toolbars {

inline constexpr const char* SDockInsideBar = "A TDockX control cannot be placed inside a TToolbarX or another TDockX";
inline constexpr const char* SDockHasControls = "Cannot change Position of a TDockX if it already contains controls";
inline constexpr const char* SToolbarNeedsForm = "TToolbarX must be owned by a form";
inline constexpr const char* SToolbarParent = "TToolbarX can only be placed on a TDockX or directly on the form";
inline constexpr const char* SDockNameNotSet = "DockTo's Name property not set";
inline constexpr const char* SSepParent = "TToolbarSepX can only be placed on a TToolbarX";

}  // namespace tw::toolbars
