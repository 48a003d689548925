// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The two meter families served by this code base. The programs pick theirs in
// main(); everything that differs between the two is read from the model's
// description (models/ModelDescription.h), never by branching on this value.
//
// The numbers are stored in report files: never renumber them.
enum class MeterModel : quint8 { Km90 = 0, Km50_60 = 1 };
