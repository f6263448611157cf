// Search and replace over the paragraphs of one engine: forwards or backwards, with an optional
// wildcard, case and whole-word matching and an optional filter on character attributes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "richtext/paint/textpaint.h"

namespace tw::richtext {

// Attribute filter bits.
constexpr std::uint16_t ffFont = 1;
constexpr std::uint16_t ffSize = 2;
constexpr std::uint16_t ffBold = 4;
constexpr std::uint16_t ffUnderline = 8;
constexpr std::uint16_t ffItalic = 16;
constexpr std::uint16_t ffLink = 32;
constexpr std::uint16_t ffTextColor = 64;
constexpr std::uint16_t ffBackColor = 128;
constexpr std::uint16_t ffObject = 0x100;
constexpr std::uint16_t ffInsertPoint = 0x200;

class TRiTextFinder : public TObject {
  TW_CLASS(TRiTextFinder, TObject)
 public:
  void Bind(TRiRTFTextPaint* engine) { engine_ = engine; }
  TRiRTFTextPaint* Engine() const { return engine_; }

  virtual void SetPosition(int absolute);
  virtual bool FindNext(const std::string& pattern);
  virtual bool FindPrevious(const std::string& pattern);
  virtual bool ReplaceFound(const std::string& replacement);
  // Replaces `length` characters at an absolute position as if they were the last hit; the
  // replacement takes the attributes of the first of them.  False for a place off the text or
  // protected text.
  bool ReplaceAt(int position, int length, const std::string& replacement);
  virtual int ReplaceAll(const std::string& pattern);
  virtual void Reset();
  virtual bool IsDelimiter(unsigned char ch) const;

  int FoundPosition() const { return found_ ? foundPos_ : 0; }
  int FoundLength() const { return found_ ? foundLen_ : 0; }
  bool Found() const { return found_; }
  int Count() const { return count_; }
  const TAttr& StartAttributes() const { return startAttr_; }

  std::uint16_t AttributeFilter = 0;
  std::uint16_t Tag = 0;
  TAttr FilterAttr;
  bool CaseSensitive = false;
  char Wildcard = 0;
  bool WholeWord = false;
  bool PositionFixed = false;
  std::string Replacement;
  // Polled every 30 replacements of ReplaceAll; true stops it (the Esc key by default).
  std::function<bool()> StopRequested;

 protected:
  virtual bool CharMatch(unsigned char text, unsigned char pattern, const TAttr* attr) const;
  // Match of the pattern at `at` of the paragraph text; returns the hit length or -1.
  int MatchAt(const std::string& text, const std::vector<TAttr>& attrs, int at, const std::string& pattern) const;
  bool Search(const std::string& pattern, bool backwards);
  void ParagraphData(PTParagraph par, std::string& text, std::vector<TAttr>& attrs) const;
  // Whether a character of the hit at offset `at` of the paragraph is protected.
  bool HitProtected(PTParagraph par, int at) const;

 private:
  TRiRTFTextPaint* engine_ = nullptr;
  int position_ = 0;  // absolute position where the next search starts
  int foundPos_ = 0, foundLen_ = 0, count_ = 0;
  bool found_ = false;
  TAttr startAttr_;
};

}  // namespace tw::richtext
