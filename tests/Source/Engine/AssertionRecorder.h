// Collects the engine's assertion reports while it lives, so a test can check what was reported.
#pragma once

#include "Engine/Assertion.h"

#include <vector>

namespace kp::test
{
class AssertionRecorder
{
public:
    AssertionRecorder()
    {
        Reports().clear();
        m_previous = trindle::SetAssertionObserver(&Record);
    }
    ~AssertionRecorder() { trindle::SetAssertionObserver(m_previous); }
    AssertionRecorder(const AssertionRecorder&) = delete;
    AssertionRecorder& operator=(const AssertionRecorder&) = delete;

    const std::vector<trindle::AssertionReport>& All() const { return Reports(); }
    void Clear() { Reports().clear(); }

private:
    static std::vector<trindle::AssertionReport>& Reports()
    {
        static std::vector<trindle::AssertionReport> reports;
        return reports;
    }
    static void Record(const trindle::AssertionReport& report) { Reports().push_back(report); }

    trindle::AssertionObserver m_previous = nullptr;
};
} // namespace kp::test
