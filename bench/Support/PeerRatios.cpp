// The main of every benchmark program: the console table, then the ratio table of the comparisons
// registered with PeerRuns.
#include "PeerRatios.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace PeerBench
{
benchmark::internal::Benchmark* PeerRuns(const std::string& comparison, const std::string& contender,
                                         void (*fn)(benchmark::State&))
{
    return benchmark::RegisterBenchmark((comparison + "/" + contender).c_str(), fn)->Repetitions(kRepetitions);
}

namespace
{
struct Samples
{
    std::string costCounter;
    std::map<std::string, std::vector<double>> counters; // every counter, one value per repetition
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const size_t slash = name.rfind('/');
            if (slash == std::string::npos)
                continue;
            for (const auto& [counter, value] : run.counters)
            {
                if (counter.rfind("ns_per_", 0) != 0 && !(counter.size() > 3 && counter.ends_with("_ns")))
                    continue;
                Samples& samples = m_results[name.substr(0, slash)][name.substr(slash + 1)];
                if (counter.rfind("ns_per_", 0) == 0)
                    samples.costCounter = counter;
                samples.counters[counter].push_back(value.value);
            }
        }
    }

    void PrintRatios() const
    {
        if (m_results.empty())
            return;
        std::printf("\nAgainst peers (medians of the repetitions; ratio = ours / peer, below 1 is faster)\n");
        for (const auto& [comparison, contenders] : m_results)
        {
            const auto ours = contenders.find("ours");
            if (ours == contenders.end() || ours->second.costCounter.empty())
                continue;
            const std::string& cost = ours->second.costCounter;
            const double ourCost = Median(ours->second.counters.at(cost));
            std::printf("%s (%s)\n", comparison.c_str(), cost.c_str());
            auto line = [&](const std::string& contender, const Samples& samples, bool isOurs) {
                const auto found = samples.counters.find(cost);
                if (found == samples.counters.end())
                    return;
                const double value = Median(found->second);
                std::printf("  %-28s %10.3f", contender.c_str(), value);
                if (!isOurs)
                    std::printf("   ratio %6.3f", ourCost / value);
                else
                    std::printf("   %12s", "");
                for (const auto& [counter, values] : samples.counters)
                    if (counter != cost)
                        std::printf("   %s %.1f", counter.c_str(), Median(values));
                std::printf("\n");
            };
            line("ours", ours->second, true);
            for (const auto& [contender, samples] : contenders)
                if (contender != "ours")
                    line(contender, samples, false);
        }
    }

private:
    std::map<std::string, std::map<std::string, Samples>> m_results;
};
} // namespace
} // namespace PeerBench

int main(int argc, char** argv)
{
    // Interleave the repetitions of all benchmarks at random unless the caller chose otherwise.
    std::vector<char*> arguments(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    PeerBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
