#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace brenzo::radio {

// A track's duration as shown: whole seconds as "hh:nn:ss" (milliseconds dropped, hours
// taken modulo 24), two digits per field, ":" as the separator whatever the locale.
std::string FormatTrackDuration(std::uint32_t ms);

// The duration typed as "hh:nn:ss": eight characters, ":" third and sixth, two digits per
// field. A blank counts as 0 (the editor's input mask leaves unfilled places blank). Each
// field is taken as it is, 00..99, so "00:99:99" is 99 minutes and 99 seconds; the largest
// value, "99:99:99", still fits the 32-bit field.
Result<std::uint32_t> ParseTrackDuration(std::string_view text);

// What the editor shows once a duration is in the file, read back from it: "01:02:03 written".
std::string DurationWrittenText(std::uint32_t ms);

}  // namespace brenzo::radio
