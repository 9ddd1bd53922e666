#include "rx300model.h"

namespace rx300 {

using calcore::ControlDef;
using calcore::ControlKind;
using calcore::FetchDef;
using calcore::FlagDef;
using calcore::RequestDef;
using calcore::RequestKind;
using calcore::WordRead;
using rxline::Space;
using rxline::WriteAction;

namespace {

constexpr auto L = ControlKind::Label;
constexpr auto B = ControlKind::Button;
constexpr auto T = ControlKind::Entry;
constexpr auto C = ControlKind::CheckBox;

// The range codes of the AC input. The runs of blanks (39, 9 and 12) are what puts each model
// on a line of its own when the label wraps the legend at its width.
constexpr char Legend[] = "PARA:"
                          "                                       "
                          "Modelo TRAFO  0-250 V = 0"
                          "         "
                          "Com Trafo 0-425 V= 460"
                          "            "
                          "NOVO SEM TRAFO 0-425V = 500";
static_assert(sizeof(Legend) - 1 == 139);

// Positions in twips.
// clang-format off
constexpr ControlDef controls[] = {
    // Analog inputs Ain1 and Ain4: live reading, then zero and span rows
    {.name = "Label18",  .kind = L, .caption = "?",          .rect = { 240, 1320,  615,  375}},
    {.name = "Label19",  .kind = L, .caption = "?",          .rect = { 120, 2400,  615,  375}},
    {.name = "Label29",  .kind = L, .caption = "{",          .rect = { 720, 1920,  495, 1215},                   .points = 39},
    {.name = "Command1", .kind = B, .caption = "Zero- Ain1", .rect = { 960,  960, 1095,  375}},
    {.name = "Command2", .kind = B, .caption = "Span- Ain1", .rect = { 960, 1440, 1095,  375}},
    {.name = "Command3", .kind = B, .caption = "Zero- Ain4", .rect = { 960, 2040, 1095,  375}},
    {.name = "Command4", .kind = B, .caption = "Span- Ain4", .rect = { 960, 2520, 1095,  375}},
    {.name = "Label1",   .kind = L, .caption = "0",          .rect = {2160,  960,  615,  375}},
    {.name = "Label2",   .kind = L, .caption = "0",          .rect = {2160, 1440,  615,  375}},
    {.name = "Label3",   .kind = L, .caption = "0",          .rect = {2160, 2040,  615,  375}},
    {.name = "Label4",   .kind = L, .caption = "0",          .rect = {2160, 2520,  615,  375}},
    {.name = "Text1",    .kind = T, .caption = "0",          .rect = {2880,  960,  735,  375}},
    {.name = "Text2",    .kind = T, .caption = "0",          .rect = {2880, 1440,  735,  375}},
    {.name = "Text3",    .kind = T, .caption = "0",          .rect = {2880, 2040,  735,  375}},
    {.name = "Text4",    .kind = T, .caption = "0",          .rect = {2880, 2520,  735,  375}},
    // "Busca parâmetros" also fills four stored-value labels that this window never shows.
    {.name = "Label5",   .kind = L, .caption = "0",          .rect = { 120, 5280,  615,  375}, .visible = false},
    {.name = "Label6",   .kind = L, .caption = "0",          .rect = { 840, 5280,  615,  375}, .visible = false},
    {.name = "Label7",   .kind = L, .caption = "0",          .rect = {1560, 5280,  615,  375}, .visible = false},
    {.name = "Label8",   .kind = L, .caption = "0",          .rect = {2280, 5280,  615,  375}, .visible = false},

    // Clock: day, hours, minutes, seconds
    {.name = "Label46",   .kind = L, .caption = "00", .rect = { 480, 3120, 255, 375}},
    {.name = "Label30",   .kind = L, .caption = "00", .rect = {1200, 3120, 255, 375}},
    {.name = "Label40",   .kind = L, .caption = ":",  .rect = {1440, 3120, 135, 255}},
    {.name = "Label25",   .kind = L, .caption = "00", .rect = {1560, 3120, 255, 375}},
    {.name = "Label39",   .kind = L, .caption = ":",  .rect = {1800, 3120, 135, 255}},
    {.name = "Label22",   .kind = L, .caption = "00", .rect = {1920, 3120, 255, 375}},
    {.name = "Text27",    .kind = T, .caption = "0",  .rect = { 480, 3360, 375, 285}},
    {.name = "Text11",    .kind = T, .caption = "0",  .rect = {1080, 3360, 375, 285}},
    {.name = "Text10",    .kind = T, .caption = "0",  .rect = {1440, 3360, 375, 285}},
    {.name = "Text9",     .kind = T, .caption = "0",  .rect = {1800, 3360, 375, 285}},
    {.name = "Command28", .kind = B, .caption = "D",  .rect = { 480, 3720, 375, 375}},
    {.name = "Command11", .kind = B, .caption = "H",  .rect = {1080, 3720, 375, 375}},
    {.name = "Command10", .kind = B, .caption = "M",  .rect = {1440, 3720, 375, 375}},
    {.name = "Command9",  .kind = B, .caption = "S",  .rect = {1800, 3720, 375, 375}},

    // Stored words beyond the calibration points, read at once
    {.name = "Command17", .kind = B, .caption = "Busca parâmetros", .rect = {2280, 3720, 1455, 375}},
    // Opens the trend of the live values (Ctrl+T), above "Busca parâmetros".
    {.name = "TrendButton", .kind = B, .caption = "Tendência", .rect = {2280, 3120, 1455, 375}},

    // AC input range
    {.name = "Command29", .kind = B, .caption = "Ajuste entrada AC - 250 ou 425 VCA", .rect = { 120, 4200, 1815, 495}},
    {.name = "Label50",   .kind = L, .caption = "0",                                  .rect = {2040, 4320,  495, 375}},
    {.name = "Text28",    .kind = T, .caption = "0",                                  .rect = {2640, 4320,  735, 285}},
    {.name = "Label49",   .kind = L, .caption = Legend,                               .rect = {3480, 4080, 2655, 975}},

    // The two controller flags have no place on this screen; only the start-up setting from
    // E28 and E74 reaches them, and a change it makes is written back.
    {.name = "Check1", .kind = C, .caption = "Usar Modbus",                    .rect = {3480,  960, 1455, 375}, .visible = false},
    {.name = "Check2", .kind = C, .caption = "Q2 - Gerador Pulsos/Step Motor", .rect = {3480, 1440, 2535, 375}, .visible = false},
};
// clang-format on

constexpr auto E = Space::Eeprom;
constexpr auto M = Space::Memory;

// Live words, step 3 of every cycle: the inputs, then the clock. The captions name them in the
// trend window.
constexpr WordRead inputReads[] = {
    {.space = M, .word = 15, .label = "Label18", .caption = "Ain1"},
    {.space = M, .word = 16, .label = "Label19", .caption = "Ain4"},
};
constexpr auto liveReads = calcore::withClockReads(inputReads);

// clang-format off
constexpr RequestDef requests[] = {
    {.button = "Command1",  .entry = "Text1",  .code = 70},
    {.button = "Command2",  .entry = "Text2",  .code = 71},
    {.button = "Command3",  .entry = "Text3",  .code = 72},
    {.button = "Command4",  .entry = "Text4",  .code = 73},
    {.button = "Command29", .entry = "Text28", .code = 74},
    {.button = "Command9",  .entry = "Text9",  .code = 66},
    {.button = "Command10", .entry = "Text10", .code = 67},
    {.button = "Command11", .entry = "Text11", .code = 68},
    // "D" records its code only; the day entry is read when the write goes out.
    {.button = "Command28", .entry = "Text27", .code = 69, .kind = RequestKind::CodeOnly},
};
// clang-format on

// "Usar Modbus" is set before the Q2 box, so when both change only E74 is written.
constexpr FlagDef flags[] = {
    {.box = "Check1", .space = E, .word = 28, .code = 28},
    {.box = "Check2", .space = E, .word = 74, .code = 74},
};

// Stored words the controller keeps beyond the calibration points; shown until the next
// parameter refresh puts E70 to E73 back.
// clang-format off
constexpr WordRead fetchReads[] = {
    {.space = E, .word = 20, .label = "Label1"},
    {.space = E, .word = 21, .label = "Label2"},
    {.space = E, .word = 22, .label = "Label3"},
    {.space = E, .word = 23, .label = "Label4"},
    {.space = E, .word = 24, .label = "Label5"},
    {.space = E, .word = 25, .label = "Label6"},
    {.space = E, .word = 26, .label = "Label7"},
    {.space = E, .word = 27, .label = "Label8"},
};
// clang-format on

constexpr FetchDef fetches[] = {
    {.button = "Command17", .reads = fetchReads},
};

// Every code from 1 to 29 is an EEPROM word of the same number; codes 30 to 60, 63 to 65 and
// 75 and above are dropped without a frame.
constexpr rxline::DispatchTable dispatch = calcore::makeDispatch({
    {.first = 1, .last = 29, .kind = WriteAction::Eeprom},
    {.codes = {61}, .kind = WriteAction::Memory, .fixedWord = 27},
    {.codes = {62}, .kind = WriteAction::Memory, .fixedWord = 28},
    {.codes = {66, 67, 68, 69}, .kind = WriteAction::Clock},
    {.codes = {70, 71, 72, 73, 74}, .kind = WriteAction::Eeprom},
});

const calcore::Model rx300Model{
    .caption = "Config. Calibração RX-300",
    .clientWidthTwips = 6090,
    .clientHeightTwips = 5730,
    .controls = controls,
    .refreshReads = refreshReads,
    .liveReads = liveReads,
    .requests = requests,
    .flags = flags,
    .clockEntries = calcore::ClockEntries,
    .fetches = fetches,
    .dispatch = dispatch,
};

} // namespace

const calcore::Model& model() {
    return rx300Model;
}

} // namespace rx300
