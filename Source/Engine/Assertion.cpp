#include "Engine/Assertion.h"

#include <cstdio>

namespace trindle
{
namespace
{
AssertionObserver g_observer = nullptr;
} // namespace

void ReportAssertion(const std::string& condition, const std::string& source, const std::string& detail)
{
    std::fprintf(stderr, "Assertion \"%s\" failed in %s: %s\n", condition.c_str(), source.c_str(),
                 detail.c_str());
    if (g_observer != nullptr)
    {
        g_observer(AssertionReport{condition, source, detail});
    }
}

AssertionObserver SetAssertionObserver(AssertionObserver observer)
{
    AssertionObserver previous = g_observer;
    g_observer = observer;
    return previous;
}
} // namespace trindle
