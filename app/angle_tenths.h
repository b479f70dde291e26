// The window's angle held in whole tenths of a degree, T from 0 to 3600: how T reads as
// an angle and as text, and the fine changes that set it (a line drawn along something
// that should be level, the level suggestion). A plain move of the bar sets T to ten
// times its value, so whole degrees are T's multiples of ten.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/base/runtime.h"

namespace app {

inline constexpr int kMaxTenths = 3600;

// T / 10 in single precision: for a multiple of ten, exactly the bar's whole value.
platform::Angle AngleOfTenths(int tenths);

// The label's text: the integer text for a multiple of ten ("357", "0"), else with one
// decimal ("357.4", "0.1").
std::string AngleText(int tenths);

// The nearest whole degree (halves up), where the bar's thumb shows T.
int NearestDegree(int tenths);

// T for a text with exactly one decimal, "30.3" or "360.0", from 0 to 360; none for any
// other text (more decimals, no digit before or after the point, a sign, out of range).
std::optional<int> TenthsOfDecimal(std::string_view text);

// The angle, in degrees, of a line from (0, 0) to (dx, dy) in screen coordinates (y down):
// atan2(dy, dx) folded by right angles into (-45, 45]. The fold is done on the integer
// vector, so a line of exactly 45 degrees either way lands on the boundary it belongs to.
// (0, 0) gives 0.
double LineAngle(int dx, int dy);

// The angle that makes such a line exactly horizontal (within 45 degrees of it) or
// vertical: T less the line's angle, rounded to a tenth (halves away from zero), modulo
// 360 degrees.
int StraightenedTenths(int tenths, int dx, int dy);

// T for the level suggestion's clockwise turn `tilt`: round(10 x tilt) modulo 3600.
int LevelTenths(double tilt);

}  // namespace app
