#pragma once

// The editor shows a quantity as a mantissa and a power of ten: scientificText and splitAmount.
#include "veltrane/contracts/display_formats.h"
