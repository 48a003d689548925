// SPDX-License-Identifier: MIT
#pragma once

// Starts the system's font library while the application object is made.
// Where Qt finds its fonts through fontconfig, the first font the program
// uses has Qt list every font, after fontconfig has read its configuration
// (dozens of XML files) and its font caches. A thread of this object has
// fontconfig do that first part while the application object connects to the
// display. fontconfig keeps one configuration per process, but two threads
// that start it at the same time would both read it: the programs' application
// object waits for the warm-up before anything of the window uses a font
// (waitUntilReady). Elsewhere this does nothing.
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

    // Returns once a warm-up under way has ended (at once when none is).
    static void waitUntilReady();
};
