// SPDX-License-Identifier: MIT
#include "app/FontWarmUp.h"

#include <future>
#include <mutex>

#ifdef KM_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

std::mutex warmUpMutex;
std::shared_future<void> warmUp; // valid while a warm-up object lives

std::shared_future<void> running()
{
    std::lock_guard lock(warmUpMutex);
    return warmUp;
}

} // namespace

FontSystemWarmUp::FontSystemWarmUp()
{
#ifdef KM_HAVE_FONTCONFIG
    std::lock_guard lock(warmUpMutex);
    if (!warmUp.valid())
        warmUp = std::async(std::launch::async, [] { FcInit(); }).share();
#endif
}

FontSystemWarmUp::~FontSystemWarmUp()
{
    waitUntilReady();
    std::lock_guard lock(warmUpMutex);
    warmUp = {};
}

void FontSystemWarmUp::waitUntilReady()
{
    const std::shared_future<void> warming = running();
    if (warming.valid())
        warming.wait();
}
