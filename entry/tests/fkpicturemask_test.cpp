#include <gtest/gtest.h>

#include <memory>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

using test::IntlScope;

// A field of the mask; the number characters make a number only in a field of a numeric type.
std::unique_ptr<TFkPictureField> Field(const std::string& mask, TPictureDataType type = TPictureDataType::pftString) {
  auto f = std::make_unique<TFkPictureField>(nullptr);
  f->SetDataType(type);
  f->SetPictureMask(mask);
  f->SetMaxLength(static_cast<std::uint16_t>(mask.size()));
  return f;
}

TEST(PictureMask, PositionKindsAndEditRange) {
  IntlScope scope;
  auto f = Field("(999) 999-9999");
  EXPECT_TRUE(f->IsLiteral(0));
  EXPECT_FALSE(f->IsLiteral(1));
  EXPECT_TRUE(f->IsLiteral(4));
  EXPECT_EQ(f->FirstEditPosition(), 1);
  EXPECT_EQ(f->LastEditPosition(), 13);
  auto n = Field("$##,###.##", TPictureDataType::pftDouble);
  EXPECT_TRUE(n->IsSemiLiteral(0));
  EXPECT_TRUE(n->IsSemiLiteral(3));
  EXPECT_EQ(n->FirstEditPosition(), 2) << "first non-literal plus the two semi-literals";
  EXPECT_TRUE(n->HasNumberCharacters());
}

TEST(PictureMask, MergeAndStripAPhoneNumber) {
  IntlScope scope;
  auto f = Field("(999) 999-9999");
  const std::string merged = f->MergeWithPicture("1234567");
  EXPECT_EQ(merged, "(123) 456-7   ");
  EXPECT_EQ(f->StripPicture(merged), "1234567   ");
  EXPECT_EQ(f->StripPicture("too short"), "too short") << "only texts of the field's length are stripped";
}

TEST(PictureMask, CurrencyAndThousandsInANumberMask) {
  IntlScope scope;
  auto f = Field("$##,###.##", TPictureDataType::pftDouble);
  const std::string merged = f->MergeWithPicture("-1234.5");
  EXPECT_EQ(merged, "-$1,234.50");
  EXPECT_EQ(f->StripPicture(merged), "-1234.50");
  EXPECT_EQ(f->MergeWithPicture("7"), "     $7.00");
}

TEST(PictureMask, DecimalAndThousandsCharactersOfTheSettings) {
  IntlScope scope({{"sDecimal", ","}, {"sThousand", "."}});
  auto f = Field("###,###.##", TPictureDataType::pftDouble);
  const std::string merged = f->MergeWithPicture("12345.6");
  EXPECT_EQ(merged, " 12.345,60");
  EXPECT_EQ(f->StripPicture(merged), " 12345.60");
}

TEST(PictureMask, ThousandsSeparatorOfCharacterZeroDisappears) {
  IntlScope scope;
  TFkIntlSup intl;
  intl.CommaChar = '\0';
  auto f = Field("##,###", TPictureDataType::pftLongInt);
  f->SetIntlSupport(&intl);
  EXPECT_EQ(f->MergeWithPicture("12345"), "12345");
}

TEST(PictureMask, ZeroFillAndJustification) {
  IntlScope scope;
  EXPECT_EQ(Field("KKKK", TPictureDataType::pftWord)->MergeWithPicture("1F"), "001F");
  auto f = Field("9999");
  EXPECT_EQ(f->MergeWithPicture("12"), "12  ");
  f->SetRightJustify(true);
  EXPECT_EQ(f->MergeWithPicture("12"), "  12");
}

TEST(PictureMask, CaseForcingByMaskCharacter) {
  IntlScope scope;
  auto f = Field("X");
  char c = 'a';
  EXPECT_TRUE(f->AcceptChar('x', c, ' '));
  EXPECT_EQ(c, 'A');
  c = 'a';
  EXPECT_TRUE(f->AcceptChar('x', c, '-'));
  EXPECT_EQ(c, 'A');
  c = 'a';
  EXPECT_TRUE(f->AcceptChar('x', c, 'b'));
  EXPECT_EQ(c, 'a');
  c = 'q';
  EXPECT_TRUE(f->AcceptChar('!', c, ' '));
  EXPECT_EQ(c, 'Q');
  c = 'G';
  EXPECT_FALSE(f->AcceptChar('K', c, ' ')) << "hexadecimal digits only";
  c = '8';
  EXPECT_FALSE(f->AcceptChar('O', c, ' '));
  c = 't';
  EXPECT_TRUE(f->AcceptChar('B', c, ' '));
  EXPECT_EQ(c, 'T');
  c = '\xE9';  // e acute is a letter
  EXPECT_TRUE(f->AcceptChar('a', c, ' '));
  c = '5';
  EXPECT_FALSE(f->AcceptChar('a', c, ' '));
  c = '\0';
  EXPECT_FALSE(f->AcceptChar('X', c, ' '));
}

TEST(PictureMask, LengthFollowsTheMask) {
  IntlScope scope;
  auto s = std::make_unique<TFkPictureField>(nullptr);
  s->SetPictureMask("99");
  EXPECT_EQ(s->MaxLength(), 15) << "a shorter mask repeats its last character";
  EXPECT_EQ(s->MergeWithPicture("123"), "123            ");
  auto f = Field("99-X");
  EXPECT_EQ(f->MaxLength(), 4);
  f->SetMaxLength(8);
  EXPECT_EQ(f->MergeWithPicture("12ab"), "12-ab   ") << "positions past the mask repeat its last character";
  f->SetMaxLength(3);
  EXPECT_EQ(f->MaxLength(), 8) << "never below the mask's length";
  f->SetPictureMask("ppgg9999999999");
  EXPECT_EQ(f->Mask(), "pg9999999999");
  EXPECT_EQ(f->MaxLength(), 12);
}

TEST(PictureMask, MaskWidthOfFloatMasks) {
  IntlScope scope;
  std::uint16_t width, decimals;
  Field("$##,###.##")->GetMaskWidth(width, decimals);
  EXPECT_EQ(width, 9);
  EXPECT_EQ(decimals, 2);
  auto f = Field("######");
  f->SetDecimalPlaces(3);
  f->GetMaskWidth(width, decimals);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(decimals, 3);
}

}  // namespace
}  // namespace tw::entry
