// SPDX-License-Identifier: MIT
#include "hid/HidChangeNotifier.h"

HidPollingNotifier::HidPollingNotifier(int intervalMs, QObject *parent)
    : HidChangeNotifier(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &HidChangeNotifier::changed);
    m_timer.start();
}
