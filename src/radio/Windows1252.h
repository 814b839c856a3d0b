#pragma once

#include "common/Windows1252.h"

namespace brenzo::radio {

// Track names are stored in the game's code page, Windows-1252.
using brenzo::Windows1252ToUtf8;

}  // namespace brenzo::radio
