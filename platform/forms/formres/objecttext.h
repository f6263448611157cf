// Conversion between the text form of a component description and the binary value format.
//
//   object frmMain: TfrmMain
//     Caption = 'Tidewell'#13#10'second line'
//     Font.Style = [fsBold]
//     Lines.Strings = (
//       'one'
//       'two')
//     Panels = <
//       item
//         Width = 50
//       end>
//     LanguagesData = {
//       0A0B0C}
//     object Button1: TButton
//       OnClick = Button1Click
//     end
//   end
//
// `inherited` and `inline` instead of `object` mark components that an ancestor's description
// already made; an optional `[n]` after the class gives the child position.  Floats take an
// optional suffix: s (single), c (currency), d (date).
//
// The text written from a binary stream reads back to the same bytes when the stream holds each
// integer in its smallest form (as the writer and the text reader make it), and text written by
// the writer converts back to the same text.
#pragma once

#include <string>
#include <string_view>

namespace tw {

class TStream;

// Text (from the input's position) to the binary format ("TPF0" and one object) appended to
// the output.  Raises EParserError with the line number for malformed text.
void ObjectTextToBinary(TStream& input, TStream& output);
std::string ObjectTextToBinary(std::string_view text);
// Binary format to text.  Raises EReadError for a damaged stream.
void ObjectBinaryToText(TStream& input, TStream& output);
std::string ObjectBinaryToText(std::string_view binary);
// Whether the bytes are a binary component stream (they start with "TPF0").
bool IsBinaryComponentStream(std::string_view bytes);

}  // namespace tw
