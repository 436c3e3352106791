// For the fuzz entries of the game's JSON readers. A malformed asset stops the game with a message
// naming it (the JSON check of Engine/Json.h): inside a fuzz entry that stop is the answer expected
// of a reader, not a finding. RejectingMalformedAssets turns the stop into an exception that it
// catches, so one process can try many inputs; anything else that goes wrong (a crash, a sanitizer
// report, an abort from elsewhere) is still a finding.
//
// Threading: one thread (the JSON check's handler is one global). Ownership: none.
#pragma once

#include "Engine/Json.h"

#include <string>

namespace kp::fuzz
{
struct MalformedAsset
{
};

// Runs `read`; a failed JSON check inside it ends `read` quietly.
template <typename Read>
void RejectingMalformedAssets(Read&& read)
{
    struct Handler
    {
        [[noreturn]] static void Throw(const std::string& /*message*/) { throw MalformedAsset{}; }
    };
    const trindle::JsonCheckFailureHandler previous = trindle::SetJsonCheckFailureHandler(&Handler::Throw);
    try
    {
        read();
    }
    catch (const MalformedAsset&)
    {
    }
    trindle::SetJsonCheckFailureHandler(previous);
}
} // namespace kp::fuzz
