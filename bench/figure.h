// A benchmark's figures, each on a line of its own beside the prose, for scripts/bench to gather
// into one table:   FIGURE<TAB>name<TAB>value<TAB>unit<TAB>goal
#pragma once

#include <cstdio>
#include <string>

inline void figure(const std::string& name, double value, const char* unit,
                   const std::string& goal = {}) {
    std::printf("FIGURE\t%s\t%.4g\t%s\t%s\n", name.c_str(), value, unit, goal.c_str());
    std::fflush(stdout);
}
