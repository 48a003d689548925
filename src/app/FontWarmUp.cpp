// SPDX-License-Identifier: MIT
#include "app/FontWarmUp.h"

#ifdef KM_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontSystemWarmUp::FontSystemWarmUp()
{
#ifdef KM_HAVE_FONTCONFIG
    m_done = std::async(std::launch::async, [] { FcInit(); });
#endif
}

FontSystemWarmUp::~FontSystemWarmUp()
{
    if (m_done.valid())
        m_done.wait();
}
