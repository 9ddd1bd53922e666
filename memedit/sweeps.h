// The five page sweeps: each reads its page's words one per tick of its 200 ms timer and
// shows its progress on the page's bar.
#pragma once

#include <QRect>

namespace memedit {

struct SweepInfo {
    const char* button;
    const char* caption;
    QRect geometry;
    const char* timer;
    const char* bar;
    int page; // 1..5, the page holding the bar
    int barMinimum;
    int barMaximum;
    int startCounter; // SweepCounter at the start
    int stopCounter;  // the tick that finds this value stops the timer
    int firstCounter; // counters that read a word: first..last
    int lastCounter;
    int wordOffset; // word = counter + wordOffset
    int barOffset;  // bar position = counter after the increment - barOffset
};

inline constexpr SweepInfo kSweepTable[5] = {
    {"Button81",
     "LER M21-M59",
     {504, 16, 113, 33},
     "Timer1",
     "ProgressBar1",
     1,
     0,
     40,
     0,
     40,
     1,
     39,
     20,
     0},
    {"Button364",
     "LER M100-M139",
     {632, 16, 113, 33},
     "Timer2",
     "ProgressBar2",
     2,
     100,
     140,
     100,
     140,
     100,
     139,
     0,
     0},
    {"Button365",
     "LER M140-M179",
     {752, 16, 113, 33},
     "Timer3",
     "ProgressBar3",
     3,
     0,
     40,
     140,
     180,
     140,
     179,
     0,
     140},
    {"Button366",
     "LER M180-M219",
     {880, 16, 113, 33},
     "Timer4",
     "ProgressBar5",
     4,
     0,
     40,
     180,
     220,
     180,
     219,
     0,
     180},
    {"Button367",
     "LER M220-M240",
     {1008, 16, 113, 33},
     "Timer5",
     "ProgressBar4",
     5,
     0,
     20,
     220,
     241,
     220,
     240,
     0,
     220},
};

inline constexpr int kSweepInterval = 200;

} // namespace memedit
