// The engine's assertion reports for set-up steps after which the program carries on (a shader
// that does not compile, an image that does not decode, a sound step that fails): the condition
// text, the engine source that raised it and what went wrong are printed on standard error, and
// the program goes on. Set-up errors that must stop the program (malformed JSON assets) go through
// the JSON check of Json.h instead.
//
// Threading: main thread. Ownership: reports are passed by reference for the call only.
#pragma once

#include <string>

namespace trindle
{
struct AssertionReport
{
    std::string condition; // the asserted condition as written, for example "false"
    std::string source;    // the engine source that raised it, for example "Source/TEResources"
    std::string detail;    // what went wrong: the file concerned, a compiler's log
};

// Prints the report on standard error and hands it to the observer, when one is set.
void ReportAssertion(const std::string& condition, const std::string& source, const std::string& detail);

// Lets a test see every report. Returns the observer that was set before; null removes it.
using AssertionObserver = void (*)(const AssertionReport& report);
AssertionObserver SetAssertionObserver(AssertionObserver observer);
} // namespace trindle
