// The smallest and largest of a few corner coordinates, shared by the two turns' bounds.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace mod_Turn {

struct Extremes {
  int32_t min, max;
};

// A running comparison in the order given.
inline Extremes ExtremesOf(std::initializer_list<int32_t> values) {
  Extremes e{*values.begin(), *values.begin()};
  for (const int32_t v : values) {
    e.max = e.max > v ? e.max : v;
    e.min = e.min < v ? e.min : v;
  }
  return e;
}

}  // namespace mod_Turn
