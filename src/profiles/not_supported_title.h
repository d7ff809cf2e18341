#pragma once

// The title of the box shown when no profile has the chosen format's name. The
// download list's row says the same, so the text stands here alone, without
// the profiles and the driver behind them.

namespace vidmora::profiles {

inline constexpr char kNotSupportedTitle[] = "NOT Supported";

} // namespace vidmora::profiles
