// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <atomic>
#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

template<typename Signature>
class THidEvent;

// A handler of the HID layer: a callable with an identity, so that the
// controller can tell whether a device still carries the handler it was given
// ("every device whose handler equals the current one gets the new one").
//
// - THidEvent::bind<&Class::method>(object) makes a handler bound to a method.
//   Handlers made from the same method compare equal whatever their object is:
//   the identity is the method, not the object.
// - Any other callable (a lambda, a std::function) gets an identity of its own
//   when it is wrapped; copies of that handler compare equal, a second wrapping
//   of the same lambda does not.
// - The empty handler equals every other empty handler.
template<typename R, typename... Args>
class THidEvent<R(Args...)>
{
public:
    THidEvent() = default;
    THidEvent(std::nullptr_t) { }

    template<typename F>
    requires(
        !std::is_same_v<std::remove_cvref_t<F>,
            THidEvent> && !std::is_same_v<std::remove_cvref_t<F>, std::nullptr_t> && std::is_invocable_r_v<R, F &, Args...>)
        THidEvent(F &&callable)
        : m_call(std::forward<F>(callable))
    {
        if (m_call)
            m_serial = nextSerial();
    }

    template<auto Method, typename Object>
    static THidEvent bind(Object *object)
    {
        THidEvent event;
        event.m_call = [object](Args... args) -> R {
            return (object->*Method)(std::forward<Args>(args)...);
        };
        event.m_method = &MethodTag<Method>::tag;
        return event;
    }

    explicit operator bool() const { return bool(m_call); }

    R operator()(Args... args) const { return m_call(std::forward<Args>(args)...); }

    friend bool operator==(const THidEvent &a, const THidEvent &b)
    {
        return a.m_method == b.m_method && a.m_serial == b.m_serial;
    }

private:
    template<auto Method>
    struct MethodTag
    {
        static inline const char tag = 0;
    };

    static quint64 nextSerial()
    {
        static std::atomic<quint64> serial { 0 };
        return ++serial;
    }

    std::function<R(Args...)> m_call;
    const void *m_method = nullptr;
    quint64 m_serial = 0;
};
