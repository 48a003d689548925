// SPDX-License-Identifier: MIT
#pragma once

#include <future>

// Starts the system's font library while the application object is made.
// Where Qt finds its fonts through fontconfig, the application object lists
// every font before it is complete, and fontconfig first reads its
// configuration (dozens of XML files) and its font caches. A thread of this
// object has fontconfig do that first part while the application object
// connects to the display; fontconfig keeps one configuration per process
// and is safe to use from any thread. Elsewhere this does nothing.
//
// Made first thing in main, before the application object.
class FontSystemWarmUp
{
public:
    FontSystemWarmUp();
    // Waits for the thread.
    ~FontSystemWarmUp();
    FontSystemWarmUp(const FontSystemWarmUp &) = delete;
    FontSystemWarmUp &operator=(const FontSystemWarmUp &) = delete;

private:
    std::future<void> m_done;
};
