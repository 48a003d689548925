// SPDX-License-Identifier: MIT
#include <QTest>
int main()
{
    return 0;
}
