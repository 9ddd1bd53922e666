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
    {.button = "Button81",
     .caption = "LER M21-M59",
     .geometry = {504, 16, 113, 33},
     .timer = "Timer1",
     .bar = "ProgressBar1",
     .page = 1,
     .barMinimum = 0,
     .barMaximum = 40,
     .startCounter = 0,
     .stopCounter = 40,
     .firstCounter = 1,
     .lastCounter = 39,
     .wordOffset = 20,
     .barOffset = 0},
    {.button = "Button364",
     .caption = "LER M100-M139",
     .geometry = {632, 16, 113, 33},
     .timer = "Timer2",
     .bar = "ProgressBar2",
     .page = 2,
     .barMinimum = 100,
     .barMaximum = 140,
     .startCounter = 100,
     .stopCounter = 140,
     .firstCounter = 100,
     .lastCounter = 139,
     .wordOffset = 0,
     .barOffset = 0},
    {.button = "Button365",
     .caption = "LER M140-M179",
     .geometry = {752, 16, 113, 33},
     .timer = "Timer3",
     .bar = "ProgressBar3",
     .page = 3,
     .barMinimum = 0,
     .barMaximum = 40,
     .startCounter = 140,
     .stopCounter = 180,
     .firstCounter = 140,
     .lastCounter = 179,
     .wordOffset = 0,
     .barOffset = 140},
    {.button = "Button366",
     .caption = "LER M180-M219",
     .geometry = {880, 16, 113, 33},
     .timer = "Timer4",
     .bar = "ProgressBar5",
     .page = 4,
     .barMinimum = 0,
     .barMaximum = 40,
     .startCounter = 180,
     .stopCounter = 220,
     .firstCounter = 180,
     .lastCounter = 219,
     .wordOffset = 0,
     .barOffset = 180},
    {.button = "Button367",
     .caption = "LER M220-M240",
     .geometry = {1008, 16, 113, 33},
     .timer = "Timer5",
     .bar = "ProgressBar4",
     .page = 5,
     .barMinimum = 0,
     .barMaximum = 20,
     .startCounter = 220,
     .stopCounter = 241,
     .firstCounter = 220,
     .lastCounter = 240,
     .wordOffset = 0,
     .barOffset = 220},
};

inline constexpr int kSweepInterval = 200;

} // namespace memedit
