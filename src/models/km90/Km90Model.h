// SPDX-License-Identifier: MIT
#pragma once

struct ModelDescription;

// Everything the programs need to know of the KM90 power meter.
const ModelDescription &km90Model();
