#pragma once

// The controls of a window found by their names and driven as a user does.

#include "InputDriving.h"
