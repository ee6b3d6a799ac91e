#include "core/events.h"

#include <cmath>

namespace install {

int32_t PercentOf(int64_t part, int64_t whole) {
  if (whole == 0) return 0;
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(part) / static_cast<double>(whole) * 100.0));
}

}  // namespace install
