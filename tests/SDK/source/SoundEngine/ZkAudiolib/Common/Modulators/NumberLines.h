// The output of the tests' numpy programs: one line of numbers per frame (or sample), each line
// split into its numbers.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace ZkModulatorTest
{
inline std::vector<std::vector<double>> NumberLines(const std::string& text)
{
    std::vector<std::vector<double>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream numbers(line);
        std::vector<double> values;
        double value = 0.0;
        while (numbers >> value)
            values.push_back(value);
        lines.push_back(values);
    }
    return lines;
}
} // namespace ZkModulatorTest
