// SPDX-License-Identifier: MIT
#pragma once

struct ModelDescription;

// Everything the programs need to know of the KM50 and KM60 meters.
const ModelDescription &km50Model();
