// Key comparison: the fixed text collation, every field type, nulls and directions, partial
// keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <random>

#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/key_collation.h"
#include "dbengine/storage/key_compare.h"
#include "storage_test_util.h"

namespace tw::dbengine::testing {
namespace {

template <typename T>
int Cmp(T a, T b, int type, bool ci = false) {
  std::uint8_t x[16] = {};
  std::uint8_t y[16] = {};
  std::memcpy(x, &a, sizeof(T));
  std::memcpy(y, &b, sizeof(T));
  return QNCompareFieldValues(x, y, type, ci, sizeof(T));
}

std::vector<std::uint8_t> Short(const std::string& s, int units) {
  std::vector<std::uint8_t> v(static_cast<std::size_t>(units + 1));
  v[0] = static_cast<std::uint8_t>(s.size());
  std::memcpy(v.data() + 1, s.data(), s.size());
  return v;
}

TEST(TextCollation, OrdersSymbolsDigitsThenLettersWithAccentsAndCaseAfterwards) {
  // The stored order of every locale-compared index: this list must stay sorted.
  const std::vector<std::string> sorted = {
      "",      " ",     "!",     "-",     "0",     "1",     "\xB9",  "9",     "a",     "A",
      "\xE0",  "\xC0",  "\xE4",  "ab",    "ae",    "\xE6",  "\xC6",  "b",     "c",     "\xE7",
      "e",     "\xE9",  "\xC9",  "o",     "\xF6",  "oe",    "\x9C",  "s",     "\x9A",  "ss",
      "\xDF",  "t",     "z",     "\x9E",  "\xFE",  "\xDE",  "\xB5"};
  for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
    EXPECT_LT(QNCollateText(sorted[i], sorted[i + 1], false), 0) << i << ": '" << sorted[i] << "' < '" << sorted[i + 1] << "'";
    EXPECT_GT(QNCollateText(sorted[i + 1], sorted[i], false), 0) << i;
  }
  for (const auto& s : sorted) EXPECT_EQ(QNCollateText(s, s, false), 0);
}

TEST(TextCollation, CaseIsTheLastLevelAndIgnoredOnRequest) {
  EXPECT_LT(QNCollateText("abc", "ABD", false), 0);  // letters decide before case
  EXPECT_LT(QNCollateText("abc", "Abc", false), 0);
  EXPECT_EQ(QNCollateText("abc", "ABC", true), 0);
  EXPECT_EQ(QNCollateText("\xE9t\xE9", "\xC9T\xC9", true), 0);
  EXPECT_NE(QNCollateText("\xE9t\xE9", "ete", true), 0);  // accents are not case
  EXPECT_LT(QNCollateText("resume", "r\xE9sum\xE9", true), 0);
  EXPECT_LT(QNCollateText("r\xE9sum\xE9", "resumes", true), 0);  // letters before accents
}

TEST(TextCollation, WideTextCollatesLikeItsWindows1252Bytes) {
  const std::u16string a = u"\u00E9t\u00E9";
  const std::u16string b = u"ETE";
  EXPECT_EQ(QNCollateWide(reinterpret_cast<const std::uint16_t*>(a.data()), a.size(),
                          reinterpret_cast<const std::uint16_t*>(b.data()), b.size(), false) > 0,
            QNCollateText("\xE9t\xE9", "ETE", false) > 0);
  const std::u16string euro = u"\u20AC";  // 0x80 in Windows-1252
  const std::u16string cyr = u"\u0416";   // no Windows-1252 byte: after everything
  const std::u16string zz = u"zz";
  const auto* e = reinterpret_cast<const std::uint16_t*>(euro.data());
  const auto* c = reinterpret_cast<const std::uint16_t*>(cyr.data());
  const auto* z = reinterpret_cast<const std::uint16_t*>(zz.data());
  EXPECT_LT(QNCollateWide(e, 1, z, 2, false), 0);
  EXPECT_GT(QNCollateWide(c, 1, z, 2, false), 0);
}

TEST(FieldComparison, NumbersCompareByTheirStoredType) {
  EXPECT_EQ(Cmp<std::uint8_t>(0, 2, qftBoolean), -1);
  EXPECT_EQ(Cmp<std::uint8_t>(1, 7, qftBoolean), 0);
  EXPECT_EQ(Cmp<std::uint32_t>(0x80000000u, 1, qftUInt32), 1);
  EXPECT_EQ(Cmp<std::uint32_t>(0x80000000u, 1, qftAutoInc), 1);
  EXPECT_EQ(Cmp<std::int32_t>(-5, 1, qftInt32), -1);
  EXPECT_EQ(Cmp<std::int8_t>(-1, 1, qftInt8), -1);
  EXPECT_EQ(Cmp<std::uint8_t>(255, 1, qftUInt8), 1);
  EXPECT_EQ(Cmp<std::int16_t>(-300, 300, qftInt16), -1);
  EXPECT_EQ(Cmp<std::int32_t>(-1, 0, qftDate), -1);
  EXPECT_EQ(Cmp<float>(1.5f, -2.0f, qftSingle), 1);
  EXPECT_EQ(Cmp<double>(-0.0, 0.0, qftDouble), 0);
  EXPECT_EQ(Cmp<std::int64_t>(-10000, 5, qftCurrency), -1);
  EXPECT_EQ(Cmp<long double>(2.5L, 2.25L, qftExtended), 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Cmp<double>(nan, 1e300, qftDouble), 1);
  EXPECT_EQ(Cmp<double>(nan, nan, qftDouble), 0);
}

TEST(FieldComparison, StringsByBytesOrByTheCollation) {
  const auto a = Short("abc", 10);
  const auto b = Short("ABD", 10);
  EXPECT_EQ(QNCompareFieldValues(a.data(), b.data(), qftShortString, false, 11), 1);  // 'a' > 'A' by byte
  EXPECT_EQ(QNCompareFieldValues(a.data(), b.data(), qftShortString, true, 11), -1);
  EXPECT_EQ(QNCompareFieldValues(a.data(), b.data(), qftShortStringLocale, false, 11), -1);
  // A length byte beyond the field is capped at the field.
  auto longer = Short("abc", 3);
  longer[0] = 200;
  const auto same = Short("abc", 3);
  EXPECT_EQ(QNCompareFieldValues(longer.data(), same.data(), qftShortString, false, 4), 0);
  // Zero-terminated strings stop at the zero or at the field's end.
  std::uint8_t z1[4] = {'a', 'b', 0, 'x'};
  std::uint8_t z2[4] = {'a', 'b', 0, 'y'};
  std::uint8_t z3[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(QNCompareFieldValues(z1, z2, qftZString, false, 4), 0);
  EXPECT_EQ(QNCompareFieldValues(z1, z3, qftZStringLocale, false, 4), -1);
  EXPECT_EQ(QNComparePartialString(z1, z3, qftZString, false, 4, 2), 0);
}

TEST(FieldComparison, BlobAndUnknownTypesAreRefused) {
  std::uint8_t a[4] = {};
  EXPECT_EQ(ErrorOf([&] { QNCompareFieldValues(a, a, qftBlobMemo, false, 4); }), qnerrCompareBlobFields);
  EXPECT_EQ(ErrorOf([&] { QNCompareFieldValues(a, a, 30, false, 4); }), qnerrDictUnknownFieldType);
}

class CompositeKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    d.AddField("NAME", "", qftShortStringLocale, 10, 0, false);
    d.AddField("N", "", qftInt16, 0, 0, false);
    d.AddIndex("UP", "", 0, {0, 1}, true, true, true);
    d.AddIndex("DOWN", "", 0, {0, 1}, true, false, true);
  }
  std::vector<std::uint8_t> Key(int index, const char* name, int n) {
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
    d.InitRecord(rec.data());
    if (name != nullptr) d.SetRecordField(0, rec.data(), Short(name, 10).data());
    if (n >= 0) {
      const std::int16_t v = static_cast<std::int16_t>(n);
      d.SetRecordField(1, rec.data(), reinterpret_cast<const std::uint8_t*>(&v));
    }
    std::vector<std::uint8_t> k(static_cast<std::size_t>(d.IndexKeyLength(index)));
    d.ExtractKey(index, rec.data(), k.data());
    return k;
  }
  TqnDataDictionary d;
};

TEST_F(CompositeKeys, NullsComeFirstInBothDirections) {
  auto up = QNMakeKeyCompareParams(d, 1);
  auto down = QNMakeKeyCompareParams(d, 2);
  EXPECT_EQ(QNKeyCompareComposite(Key(1, nullptr, 1).data(), Key(1, "a", 1).data(), up), -1);
  EXPECT_EQ(QNKeyCompareComposite(Key(2, nullptr, 1).data(), Key(2, "a", 1).data(), down), -1);
  EXPECT_EQ(QNKeyCompareComposite(Key(2, "a", 1).data(), Key(2, "b", 1).data(), down), 1);
  EXPECT_EQ(QNKeyCompareComposite(Key(1, nullptr, -1).data(), Key(1, nullptr, -1).data(), up), 0);
  EXPECT_EQ(QNKeyCompareComposite(Key(1, "a", -1).data(), Key(1, "a", 0).data(), up), -1);
}

TEST_F(CompositeKeys, LeadingFieldsAndPartialLengthsCompareLess) {
  auto p = QNMakeKeyCompareParams(d, 1);
  EXPECT_NE(QNKeyCompareComposite(Key(1, "abc", 1).data(), Key(1, "abc", 2).data(), p), 0);
  p.FieldCount = 1;
  EXPECT_EQ(QNKeyCompareComposite(Key(1, "abc", 1).data(), Key(1, "ABC", 2).data(), p), 0);
  p.FieldCount = 0;
  p.PartialLength = 2;
  EXPECT_EQ(QNKeyCompareComposite(Key(1, "abX", 1).data(), Key(1, "ABc", 2).data(), p), 0);
  EXPECT_EQ(QNKeyCompareComposite(Key(1, "aX", 1).data(), Key(1, "ab", 2).data(), p), 1);
}

// A key of one 32-bit integer field is compared without the field list: its answers are the
// field list's, in both directions, with nulls, leading-field counts and partial lengths.
TEST(SingleIntegerKeys, AnswerAsTheFieldListDoes) {
  for (int type : {qftInt32, qftDate, qftTime}) {
    TqnDataDictionary d;
    d.AddField("N", "", type, 0, 0, false);
    d.AddField("M", "", qftInt32, 0, 0, false);
    d.AddIndex("UP", "", 0, {0}, true, true, false);
    d.AddIndex("DOWN", "", 0, {0}, true, false, false);
    d.AddIndex("TWO", "", 0, {0, 1}, true, true, false);
    EXPECT_FALSE(QNMakeKeyCompareParams(d, 3).SingleInt32) << "two fields";
    const std::vector<std::int32_t> values = {std::numeric_limits<std::int32_t>::min(), -70000, -1, 0, 1, 255, 256,
                                              65536, std::numeric_limits<std::int32_t>::max()};
    for (int index : {1, 2}) {
      auto fast = QNMakeKeyCompareParams(d, index);
      ASSERT_TRUE(fast.SingleInt32);
      auto slow = fast;
      slow.SingleInt32 = false;
      std::vector<std::vector<std::uint8_t>> keys;
      std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
      d.InitRecord(rec.data());
      keys.emplace_back(static_cast<std::size_t>(d.IndexKeyLength(index)));
      d.ExtractKey(index, rec.data(), keys.back().data());  // null
      for (std::int32_t v : values) {
        d.SetRecordField(0, rec.data(), reinterpret_cast<const std::uint8_t*>(&v));
        keys.emplace_back(static_cast<std::size_t>(d.IndexKeyLength(index)));
        d.ExtractKey(index, rec.data(), keys.back().data());
      }
      for (auto [fields, partial] : {std::pair{0, 0}, {1, 0}, {0, 3}, {1, 2}})
        for (const auto& a : keys)
          for (const auto& b : keys) {
            fast.FieldCount = slow.FieldCount = fields;
            fast.PartialLength = slow.PartialLength = partial;
            ASSERT_EQ(QNKeyCompareComposite(a.data(), b.data(), fast), QNKeyCompareComposite(a.data(), b.data(), slow))
                << type << " " << index << " " << fields << " " << partial;
          }
      // Nulls first, then the values in the index's direction.
      fast.FieldCount = fast.PartialLength = 0;
      EXPECT_EQ(QNKeyCompareComposite(keys[0].data(), keys[1].data(), fast), -1);
      EXPECT_EQ(QNKeyCompareComposite(keys[1].data(), keys[2].data(), fast), index == 1 ? -1 : 1);
    }
  }
}

// Integer and short-string fields are compared in line; the answers are those of the general
// field-by-field comparison for random keys: nulls, equal prefixes, trailing blanks, bytes
// above 127, length bytes past the field, letters of both cases, both directions, case-blind
// indexes, leading-field counts and partial lengths, keys of one and of two null bytes.
TEST(CompositeKeysInLine, AnswerAsTheGeneralComparison) {
  std::mt19937 rng(2024);
  const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  // Field lists by type and units; strings of 1 to 31 characters (a field of 1 holds at most
  // one, of 8 and 9 they straddle the eight-byte steps).
  const std::vector<std::vector<std::pair<int, int>>> shapes = {
      {{qftInt32, 0}, {qftShortString, 31}},
      {{qftShortString, 9}, {qftInt32, 0}, {qftInt16, 0}},
      {{qftShortString, 1}},
      {{qftShortString, 8}, {qftShortString, 17}},
      {{qftDate, 0}, {qftShortStringLocale, 6}, {qftShortString, 5}},
      {{qftShortString, 3}, {qftInt32, 0}, {qftTime, 0}, {qftShortString, 2}, {qftInt32, 0},
       {qftShortString, 4}, {qftInt8, 0}, {qftShortString, 12}, {qftInt32, 0}},  // two null bytes
  };
  const std::string letters = std::string("aAbBzZ `{@[ ") + "\x80\xE9\xC9\xFF" + std::string(1, '\0');
  for (std::size_t shape = 0; shape < shapes.size(); ++shape) {
    TqnDataDictionary d;
    std::vector<std::int32_t> fields;
    for (const auto& [type, units] : shapes[shape]) {
      fields.push_back(d.AddField("F" + std::to_string(fields.size()), "", type, units, 0, false));
    }
    for (int ci = 0; ci < 2; ++ci)
      for (int asc = 0; asc < 2; ++asc) d.AddIndex("I" + std::to_string(ci * 2 + asc), "", 0, fields, true, asc != 0, ci != 0);
    for (int index = 1; index < d.IndexCount(); ++index) {
      const TqnKeyCompareParams fast = QNMakeKeyCompareParams(d, index);
      TqnKeyCompareParams general = fast;
      for (TqnKeyField& f : general.Fields) f.Kind = kfkGeneral;
      const int count = static_cast<int>(fast.Fields.size());
      ASSERT_EQ(count, static_cast<int>(shapes[shape].size()));
      for (int f = 0; f < count; ++f) {
        const int type = fast.Fields[static_cast<std::size_t>(f)].FieldType;
        EXPECT_EQ(fast.Fields[static_cast<std::size_t>(f)].Kind,
                  type == qftShortString ? kfkShortString : (type == qftInt32 || type == qftDate || type == qftTime) ? kfkInt32 : kfkGeneral);
      }
      std::vector<std::vector<std::uint8_t>> keys;
      for (int n = 0; n < 60; ++n) {
        std::vector<std::uint8_t> k(static_cast<std::size_t>(fast.KeyLength));
        TqnDataDictionary::InitKey(k.data(), fast.KeyLength, count);
        for (int f = 0; f < count; ++f) {
          if (pick(6) == 0) continue;  // null
          const TqnKeyField& kf = fast.Fields[static_cast<std::size_t>(f)];
          std::uint8_t* v = k.data() + kf.Offset;
          if (kf.FieldType == qftShortString || kf.FieldType == qftShortStringLocale) {
            // A few shared texts, so that keys agree on long prefixes.
            static const char* const base[] = {"", "a", "ab", "abc ", "Name 12", "Name 123456", "NAME 123456  "};
            std::string t = base[pick(7)];
            for (int extra = pick(4); extra > 0; --extra) t += letters[static_cast<std::size_t>(pick(static_cast<int>(letters.size())))];
            const std::size_t cap = static_cast<std::size_t>(kf.Length - 1);
            std::memcpy(v + 1, t.data(), std::min(t.size(), cap));
            // Bytes after the text are not part of it.
            for (std::size_t i = std::min(t.size(), cap); i < cap; ++i) v[1 + i] = static_cast<std::uint8_t>(pick(2) ? rng() : 0);
            v[0] = static_cast<std::uint8_t>(pick(10) == 0 ? cap + 1 + static_cast<std::size_t>(pick(100)) : t.size());
          } else {
            const std::int32_t x = std::array<std::int32_t, 6>{std::numeric_limits<std::int32_t>::min(), -1, 0, 1, 7, 0x01000000}[static_cast<std::size_t>(pick(6))];
            std::memcpy(v, &x, static_cast<std::size_t>(std::min(kf.Length, 4)));
          }
          TqnDataDictionary::SetKeyFieldNonNull(k.data(), fast.KeyLength, count, f);
        }
        keys.push_back(std::move(k));
      }
      keys.push_back(keys.front());  // an equal pair
      for (int fieldCount = 0; fieldCount <= count + 1; ++fieldCount)
        for (int partial : {0, 1, 2, 5, 8, 9, 12, 40}) {
          TqnKeyCompareParams a = fast;
          TqnKeyCompareParams b = general;
          a.FieldCount = b.FieldCount = fieldCount;
          a.PartialLength = b.PartialLength = partial;
          for (const auto& x : keys)
            for (const auto& y : keys)
              ASSERT_EQ(QNKeyCompareComposite(x.data(), y.data(), a), QNKeyCompareComposite(x.data(), y.data(), b))
                  << "shape " << shape << " index " << index << " fields " << fieldCount << " partial " << partial;
        }
    }
  }
}

TEST(RefNrKeys, CompareAsSignedValuesInTheIndexDirection) {
  TqnKeyCompareParams p;
  std::int32_t a = -1;
  std::int32_t b = 4128;
  const auto* pa = reinterpret_cast<const std::uint8_t*>(&a);
  const auto* pb = reinterpret_cast<const std::uint8_t*>(&b);
  EXPECT_EQ(QNKeyCompareRefNr(pa, pb, p), -1);
  p.Ascending = false;
  EXPECT_EQ(QNKeyCompareRefNr(pa, pb, p), 1);
}

}  // namespace
}  // namespace tw::dbengine::testing
