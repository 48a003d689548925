// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The two meter families served by this code base. Window-free code that must
// behave differently for the two programs takes one of these; the programs pick
// theirs in main().
enum class MeterModel { Km90, Km50_60 };

// Number of bytes (and FrameDigits characters) in one meter frame.
constexpr int frameLength(MeterModel model)
{
    return model == MeterModel::Km90 ? 26 : 21;
}

inline QString modelName(MeterModel model)
{
    return model == MeterModel::Km90 ? QStringLiteral("km90") : QStringLiteral("km50_60");
}
