// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>

// Raised when a controller or a device cannot be created. The texts are fixed:
// "Only one THidDeviceController allowed per program", "device cannot be
// opened", "device cannot be identified".
class EControllerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
