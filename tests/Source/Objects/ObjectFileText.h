// Object-file texts for the component readers, and a guard naming the file in progress so that a
// reader's failure message can be checked.
#pragma once

#include "Engine/Json.h"

#include <string>

namespace kp::test
{
// {"GameObject": {"name": "Probe", <members>}}
inline std::string ObjectFile(const std::string& members)
{
    return R"({"GameObject": {"name": "Probe")" + (members.empty() ? std::string() : ", " + members) + "}}";
}

// The file name the readers report while a test reads an inline text.
constexpr const char* kInlineObjectFile = "./Assets/GameObjects/Inline.json";
} // namespace kp::test
