// What the benchmark programs share: timing a piece of work and reporting
// the ratios to the reference measured beside it in the same run.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace XBench {

// Seconds Work took.
template<class F>
double Timed(F&& Work)
{
    const auto Start = std::chrono::steady_clock::now();
    Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

inline double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

// Ratios by name, one per iteration; printed with their median and range.
class TRatios {
public:
    void Add(const std::string& Name, double Ratio) { FRatios[Name].push_back(Ratio); }
    const std::vector<double>& Of(const std::string& Name) { return FRatios[Name]; }
    void Print() const
    {
        for (const auto& [Name, V] : FRatios) {
            if (V.empty())
                continue;
            const auto [Low, High] = std::minmax_element(V.begin(), V.end());
            std::printf("%s: median %.2f (from %.2f to %.2f over %zu iterations)\n", Name.c_str(), Median(V), *Low,
                *High, V.size());
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::vector<double>> FRatios;
};

}
