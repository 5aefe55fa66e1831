#include "mdl/MdlTypes.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::string BaseName(const std::string& name) {
  size_t i = 0;
  while (i < name.size() && !(name[i] >= '0' && name[i] <= '9')) ++i;
  return name.substr(0, i);
}

bool HasDigit(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void TIntervals::Set(int i, float v) {
  if (i < 0) return;
  Reserve(i + 1);
  Items_[static_cast<size_t>(i)] = v;
  Ordered_ = std::min(Ordered_, i);
}

void TIntervals::Reserve(int count) {
  if (count > Size()) Items_.resize(static_cast<size_t>(count), 0.0f);
}

void TIntervals::SetDefault() {
  for (size_t i = 0; i < Items_.size(); ++i) Items_[i] = static_cast<float>(0.1 * static_cast<double>(i + 1));
  Ordered_ = 0;
}

void TIntervals::Repair(int count) {
  Reserve(count);
  // A pass leaves what it repairs as the next pass would (a repaired entry
  // depends only on its predecessor and the first), so entries a pass has
  // seen and nothing has changed since need no second look.
  for (int i = std::max(Ordered_ - 1, 0); i + 1 < count; ++i) {
    auto& next = Items_[static_cast<size_t>(i) + 1];
    if (next < Items_[static_cast<size_t>(i)]) next = Items_[0] + Items_[static_cast<size_t>(i)];
  }
  Ordered_ = std::max(Ordered_, count);
}

std::vector<float> TIntervals::Ascending(int count) const {
  std::vector<float> r(static_cast<size_t>(std::max(count, 0)));
  for (size_t i = 0; i < r.size(); ++i) r[i] = Get(static_cast<int>(i));
  if (r.empty()) return r;
  // NaN fails every comparison, so the tests below are written to catch it.
  if (!(r[0] > 0.0f) || !std::isfinite(r[0])) r[0] = 0.1f;
  for (size_t i = 1; i < r.size(); ++i) {
    if (r[i] > r[i - 1] && std::isfinite(r[i])) continue;
    float v = r[0] + r[i - 1];
    // Far up the float range the step can vanish in rounding.
    if (!(v > r[i - 1])) v = std::nextafter(r[i - 1], std::numeric_limits<float>::infinity());
    r[i] = v;
  }
  return r;
}
