// An independent statement of the object factory's choice of behaviour by name (case-sensitive
// substring tests, first matching row wins), used to check that every object file's "Behavior"
// name selects the class its object is meant to have. Written from the file format's table, not
// from the engine's code, so a slip in either shows up as a disagreement.
//
// Threading: any. Ownership: values only.
#pragma once

#include <string>

namespace kp::assets
{
struct BehaviorChoice
{
    std::string className; // empty: the name creates nothing
    int argument = 0;      // tower kind, airship type, lane, stat or background kind
    bool operator==(const BehaviorChoice&) const = default;
};

BehaviorChoice ChooseBehavior(const std::string& name);
// The class an "EmitterBehavior" string selects, or empty.
std::string ChooseEmitterBehavior(const std::string& name);
} // namespace kp::assets
