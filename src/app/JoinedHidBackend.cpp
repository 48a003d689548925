// SPDX-License-Identifier: MIT
#include "app/JoinedHidBackend.h"

#include <cerrno>

JoinedHidBackend::JoinedHidBackend(std::vector<std::shared_ptr<HidBackend>> backends)
    : m_backends(std::move(backends))
{ }

bool JoinedHidBackend::available() const
{
    for (const auto &b : m_backends) {
        if (b && b->available())
            return true;
    }
    return false;
}

QList<HidInterface> JoinedHidBackend::enumerate()
{
    QList<HidInterface> all;
    for (const auto &b : m_backends) {
        if (!b || !b->available())
            continue;
        for (const HidInterface &i : b->enumerate()) {
            m_owner.insert(i.path, b.get());
            all.append(i);
        }
    }
    return all;
}

std::unique_ptr<HidHandle> JoinedHidBackend::open(
    const QString &path, HidAccess access, quint32 *error)
{
    if (HidBackend *owner = m_owner.value(path))
        return owner->open(path, access, error);
    if (error)
        *error = ENOENT;
    return nullptr;
}
