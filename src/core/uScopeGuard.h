// Clean-up that runs when a scope is left: always, or only when it is left by an exception.
#pragma once

#include <exception>
#include <utility>

template <typename F>
class TScopeGuard {
public:
    enum TWhen { Always, OnFailure };

    TScopeGuard(TWhen when, F clean)
        : FClean(std::move(clean))
        , FWhen(when)
        , FExceptions(std::uncaught_exceptions())
    {
    }
    ~TScopeGuard()
    {
        if (FWhen == Always || std::uncaught_exceptions() > FExceptions)
            FClean();
    }
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;

private:
    F FClean;
    TWhen FWhen;
    int FExceptions;
};

// Runs clean when the scope is left by an exception, which then goes on.
template <typename F>
[[nodiscard]] TScopeGuard<F> OnFailure(F clean)
{
    return TScopeGuard<F>(TScopeGuard<F>::OnFailure, std::move(clean));
}

// Runs clean whenever the scope is left.
template <typename F>
[[nodiscard]] TScopeGuard<F> OnExit(F clean)
{
    return TScopeGuard<F>(TScopeGuard<F>::Always, std::move(clean));
}
