// SPDX-License-Identifier: MIT
#include "app/ProgramMain.h"

int main(int argc, char **argv)
{
    return runProgram(MeterModel::Km50_60, argc, argv);
}
