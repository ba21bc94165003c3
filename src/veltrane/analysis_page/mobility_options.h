#pragma once

// The mobility grid shows each coefficient as coefficientText writes it.
#include "veltrane/contracts/display_formats.h"
