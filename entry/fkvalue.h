// A typed value of an entry field: integers, characters, Booleans, day numbers and seconds in
// Int, floats in Real, strings in Str.
#pragma once

#include <cstdint>
#include <string>

namespace tw::entry {

struct TFkValue {
  std::int64_t Int = 0;
  double Real = 0;
  std::string Str;
};

}  // namespace tw::entry
