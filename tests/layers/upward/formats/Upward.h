#pragma once

// A header that includes upward, for the include check to refuse.
#include "workspace/Workspace.h"
