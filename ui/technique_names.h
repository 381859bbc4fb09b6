// The techniques' names as Chinese-speaking solvers know them, in one table for the window.
#pragma once

#include <QString>

#include "logic.h"

// The name shown for `technique`, through the translation context "Technique".
QString TechniqueDisplayName(CTechnique technique);
