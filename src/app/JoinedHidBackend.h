// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidBackend.h"

#include <QHash>

#include <memory>
#include <vector>

// Several backends seen as one: the interfaces of all of them, in order, and
// each path opened by the backend that listed it. The programs' --demo option
// puts the demo cable beside the system's devices this way.
class JoinedHidBackend : public HidBackend
{
public:
    explicit JoinedHidBackend(std::vector<std::shared_ptr<HidBackend>> backends);

    bool available() const override;
    QList<HidInterface> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error) override;

private:
    std::vector<std::shared_ptr<HidBackend>> m_backends;
    QHash<QString, HidBackend *> m_owner; // path -> backend that listed it
};
