// What a test program sees of Wine's 64-bit prefix, by its own
// architecture: a 32-bit program (the product) gets the 32-bit view of the
// system, with its own Program Files folder; the 64-bit test build gets
// the native one.
#ifndef NETMON_TESTING_WINEVIEW_H
#define NETMON_TESTING_WINEVIEW_H

namespace wineview {

#ifdef _WIN64
inline constexpr const char kProgramFiles[] = "C:\\Program Files";
#else
inline constexpr const char kProgramFiles[] = "C:\\Program Files (x86)";
#endif

}  // namespace wineview

#endif
