// The largest dictionary a table can have (dbengine/base/requestlimits.h): 32 KB blocks, every
// file a reader takes, as many one-byte fields as the record holds, each with the longest name,
// description and picture and all three values, and 255 indexes of 16 fields with the longest
// names and descriptions.  Mark changes the descriptions, so that a restructure to another
// such dictionary can be told from the first.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/base/requestlimits.h"
#include "dbengine/storage/data_dictionary.h"

namespace tw::dbengine::testing {

// A name of exactly Length characters that no other Number gives.
inline std::string LongName(char Kind, int Number, std::size_t Length) {
  char head[16];
  std::snprintf(head, sizeof head, "%c%05d", Kind, Number);
  std::string s(head);
  s.resize(Length, 'x');
  return s;
}

inline std::unique_ptr<TqnDataDictionary> LargestDictionary(char Mark = 'a') {
  auto d = std::make_unique<TqnDataDictionary>(static_cast<std::int32_t>(kQnLargestBlock));
  const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (std::uint32_t i = 1; i < kQnMostFiles; ++i) {
    const std::string extension = {'E', digits[i / 36], digits[i % 36]};
    d->AddFile(std::string(63, Mark), extension, static_cast<std::int32_t>(kQnLargestBlock), i == 1 ? 2 : 255);
  }
  TqnVCheckDescriptor check;
  check.HasMinimum = check.HasMaximum = check.HasDefault = true;
  check.Maximum[0] = 1;
  check.Default[0] = 1;
  check.Picture = std::string(175, '#');
  const std::string description(63, Mark);
  for (std::uint32_t i = 0; i < kQnMostFields; ++i)
    d->AddField(LongName('F', static_cast<int>(i), 31), description, qftBoolean, 0, 0, false, &check);
  for (std::uint32_t i = 1; i <= kQnMostStreamedIndexes; ++i) {
    std::vector<std::int32_t> fields;
    for (std::int32_t k = 0; k < 16; ++k) fields.push_back(static_cast<std::int32_t>(1000 + i * 100 + static_cast<std::uint32_t>(k)));
    d->AddIndex(LongName('X', static_cast<int>(i), 31), description, 0, fields, true, true, false);
  }
  return d;
}

// The field map of a restructure between two such dictionaries: every field to itself, as
// "target=source".
inline std::vector<std::string> LargestFieldMap() {
  std::vector<std::string> lines;
  for (std::uint32_t i = 0; i < kQnMostFields; ++i) {
    const std::string name = LongName('F', static_cast<int>(i), 31);
    lines.push_back(name + "=" + name);
  }
  return lines;
}

}  // namespace tw::dbengine::testing
