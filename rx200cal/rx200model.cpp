#include "rx200model.h"

namespace rx200 {

using calcore::ControlDef;
using calcore::ControlKind;
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
constexpr auto F = ControlKind::Frame;

constexpr const char* Cal4 = "4 mA(340 - 420)";
constexpr const char* Cal20 = "20 mA(45 - 55)";

// Positions in twips; controls of the output frames are placed relative to their frame.
// clang-format off
constexpr ControlDef controls[] = {
    // Analog input calibration: heading and braces
    {.name = "Label26", .kind = L, .caption = "Ajuste Entradas Analógicas", .rect = {1320,  240, 2415,  495}},
    {.name = "Label27", .kind = L, .caption = "{",                          .rect = { 840,  840,  495, 1215}, .points = 39},
    {.name = "Label28", .kind = L, .caption = "{",                          .rect = { 840, 2160,  495, 1215}, .points = 39},
    {.name = "Label29", .kind = L, .caption = "{",                          .rect = { 840, 4560,  495, 1215}, .points = 39},

    // Ain1: live reading; zero and span buttons, stored values, entries
    {.name = "Label18",  .kind = L, .caption = "?",          .rect = { 120, 1200,  735, 375}},
    {.name = "Command1", .kind = B, .caption = "Zero- Ain1", .rect = {1080,  960, 1095, 375}},
    {.name = "Label1",   .kind = L, .caption = "0",          .rect = {2280,  960,  615, 375}},
    {.name = "Text1",    .kind = T, .caption = "0",          .rect = {3000,  960,  735, 375}},
    {.name = "Command2", .kind = B, .caption = "Span- Ain1", .rect = {1080, 1440, 1095, 375}},
    {.name = "Label2",   .kind = L, .caption = "0",          .rect = {2280, 1440,  615, 375}},
    {.name = "Text2",    .kind = T, .caption = "0",          .rect = {3000, 1440,  735, 375}},

    // Ain2
    {.name = "Label19",  .kind = L, .caption = "0",          .rect = { 120, 2640,  735, 375}},
    {.name = "Command5", .kind = B, .caption = "Zero- Ain2", .rect = {1080, 2280, 1095, 375}},
    {.name = "Label5",   .kind = L, .caption = "0",          .rect = {2280, 2280,  615, 375}},
    {.name = "Text5",    .kind = T, .caption = "0",          .rect = {3000, 2280,  735, 375}},
    {.name = "Command6", .kind = B, .caption = "Span- Ain2", .rect = {1080, 2760, 1095, 375}},
    {.name = "Label6",   .kind = L, .caption = "0",          .rect = {2280, 2760,  615, 375}},
    {.name = "Text6",    .kind = T, .caption = "0",          .rect = {3000, 2760,  735, 375}},

    // Ain3
    {.name = "Label20",  .kind = L, .caption = "0",          .rect = { 120, 3960,  615, 375}},
    {.name = "Command7", .kind = B, .caption = "Zero- Ain3", .rect = {1080, 3600, 1095, 375}},
    {.name = "Label7",   .kind = L, .caption = "0",          .rect = {2280, 3600,  615, 375}},
    {.name = "Text7",    .kind = T, .caption = "0",          .rect = {3000, 3600,  735, 375}},
    {.name = "Command8", .kind = B, .caption = "Span- Ain3", .rect = {1080, 4080, 1095, 375}},
    {.name = "Label8",   .kind = L, .caption = "0",          .rect = {2280, 4080,  615, 375}},
    {.name = "Text8",    .kind = T, .caption = "0",          .rect = {3000, 4080,  735, 375}},

    // Ain4
    {.name = "Label21",  .kind = L, .caption = "0",          .rect = { 120, 4920,  615, 375}},
    {.name = "Command3", .kind = B, .caption = "Zero- Ain4", .rect = {1080, 4680, 1095, 375}},
    {.name = "Label3",   .kind = L, .caption = "0",          .rect = {2280, 4800,  615, 375}},
    {.name = "Text3",    .kind = T, .caption = "0",          .rect = {3000, 4680,  735, 375}},
    {.name = "Command4", .kind = B, .caption = "Span- Ain4", .rect = {1080, 5160, 1095, 375}},
    {.name = "Label4",   .kind = L, .caption = "0",          .rect = {2280, 5280,  615, 375}},
    {.name = "Text4",    .kind = T, .caption = "0",          .rect = {3000, 5160,  735, 375}},

    // The cold-junction reading is read every cycle into a label that stays hidden.
    {.name = "Label24", .kind = L, .caption = "Junta Fria", .rect = { 120, 5640, 975, 255}, .visible = false},
    {.name = "Label23", .kind = L, .caption = "?",          .rect = {1200, 5640, 615, 375}, .visible = false},

    // Analog outputs
    {.name = "Frame1", .kind = F, .caption = "Ajuste Saída Analógica AO1", .rect = {4560,  360, 3975, 1815}},
    {.name = "Frame2", .kind = F, .caption = "Ajuste Saída Analógica AO2", .rect = {4560, 2400, 3975, 1815}},
    {.name = "Frame3", .kind = F, .caption = "Ajuste Saída Analógica AO3", .rect = {4560, 4440, 3975, 1815}},
    {.name = "Frame4", .kind = F, .caption = "Ajuste Saída Analógica AO4", .rect = {4560, 6480, 3975, 1815}},

    // AO1: 4 mA, 20 mA and output buttons, entries, stored values
    {.name = "Command12", .kind = B, .caption = Cal4,       .rect = {1440,  360, 1455, 375}, .parent = "Frame1"},
    {.name = "Command13", .kind = B, .caption = Cal20,      .rect = {1440,  840, 1455, 375}, .parent = "Frame1"},
    {.name = "Command14", .kind = B, .caption = "M17(AO1)", .rect = {1440, 1320, 1455, 375}, .parent = "Frame1"},
    {.name = "Text12",    .kind = T, .caption = "0",        .rect = {3000,  360,  735, 285}, .parent = "Frame1"},
    {.name = "Text13",    .kind = T, .caption = "0",        .rect = {3000,  840,  735, 285}, .parent = "Frame1"},
    {.name = "Text14",    .kind = T, .caption = "0",        .rect = {3000, 1320,  735, 285}, .parent = "Frame1"},
    {.name = "Label31",   .kind = L, .caption = "0",        .rect = { 600,  360,  735, 255}, .parent = "Frame1"},
    {.name = "Label32",   .kind = L, .caption = "0",        .rect = { 600,  960,  735, 255}, .parent = "Frame1"},
    {.name = "Label33",   .kind = L, .caption = "0",        .rect = { 600, 1440,  735, 255}, .parent = "Frame1"},

    // AO2
    {.name = "Command15", .kind = B, .caption = Cal4,       .rect = {1440,  360, 1455, 375}, .parent = "Frame2"},
    {.name = "Command16", .kind = B, .caption = Cal20,      .rect = {1440,  840, 1455, 375}, .parent = "Frame2"},
    {.name = "Command18", .kind = B, .caption = "M18(AO2)", .rect = {1440, 1320, 1455, 375}, .parent = "Frame2"},
    {.name = "Text15",    .kind = T, .caption = "0",        .rect = {3000,  360,  735, 285}, .parent = "Frame2"},
    {.name = "Text16",    .kind = T, .caption = "0",        .rect = {3000,  840,  735, 285}, .parent = "Frame2"},
    {.name = "Text17",    .kind = T, .caption = "0",        .rect = {3000, 1320,  735, 285}, .parent = "Frame2"},
    {.name = "Label34",   .kind = L, .caption = "0",        .rect = { 600,  360,  735, 255}, .parent = "Frame2"},
    {.name = "Label35",   .kind = L, .caption = "0",        .rect = { 600,  960,  735, 255}, .parent = "Frame2"},
    {.name = "Label36",   .kind = L, .caption = "0",        .rect = { 600, 1440,  735, 255}, .parent = "Frame2"},

    // AO3
    {.name = "Command19", .kind = B, .caption = Cal4,       .rect = {1440,  360, 1455, 375}, .parent = "Frame3"},
    {.name = "Command20", .kind = B, .caption = Cal20,      .rect = {1440,  840, 1455, 375}, .parent = "Frame3"},
    {.name = "Command21", .kind = B, .caption = "M19(AO3)", .rect = {1440, 1320, 1455, 375}, .parent = "Frame3"},
    {.name = "Text18",    .kind = T, .caption = "0",        .rect = {3000,  360,  735, 285}, .parent = "Frame3"},
    {.name = "Text19",    .kind = T, .caption = "0",        .rect = {3000,  840,  735, 285}, .parent = "Frame3"},
    {.name = "Text20",    .kind = T, .caption = "0",        .rect = {3000, 1320,  735, 285}, .parent = "Frame3"},
    {.name = "Label37",   .kind = L, .caption = "0",        .rect = { 600,  360,  735, 255}, .parent = "Frame3"},
    {.name = "Label38",   .kind = L, .caption = "0",        .rect = { 600,  960,  735, 255}, .parent = "Frame3"},
    {.name = "Label41",   .kind = L, .caption = "0",        .rect = { 600, 1440,  735, 255}, .parent = "Frame3"},

    // AO4
    {.name = "Command22", .kind = B, .caption = Cal4,       .rect = {1440,  360, 1455, 375}, .parent = "Frame4"},
    {.name = "Command23", .kind = B, .caption = Cal20,      .rect = {1440,  840, 1455, 375}, .parent = "Frame4"},
    {.name = "Command24", .kind = B, .caption = "M36(AO4)", .rect = {1440, 1320, 1455, 375}, .parent = "Frame4"},
    {.name = "Text21",    .kind = T, .caption = "0",        .rect = {3000,  360,  735, 285}, .parent = "Frame4"},
    {.name = "Text22",    .kind = T, .caption = "0",        .rect = {3000,  840,  735, 285}, .parent = "Frame4"},
    {.name = "Text23",    .kind = T, .caption = "0",        .rect = {3000, 1320,  735, 285}, .parent = "Frame4"},
    {.name = "Label42",   .kind = L, .caption = "0",        .rect = { 600,  360,  735, 255}, .parent = "Frame4"},
    {.name = "Label43",   .kind = L, .caption = "0",        .rect = { 600,  960,  735, 255}, .parent = "Frame4"},
    {.name = "Label48",   .kind = L, .caption = "0",        .rect = { 600, 1440,  735, 255}, .parent = "Frame4"},

    // Address and Modbus
    {.name = "Label44",   .kind = L, .caption = "Endereço  Controlador",          .rect = { 360, 6840,  975, 495}},
    {.name = "Label45",   .kind = L, .caption = "0",                              .rect = {1440, 6840,  615, 375},                   .points = 13.5},
    {.name = "Text26",    .kind = T, .caption = "0",                              .rect = {2280, 6960,  615, 285}},
    {.name = "Command49", .kind = B, .caption = "Alterar",                        .rect = {3000, 6840, 1095, 375}},
    {.name = "Check1",    .kind = C, .caption = "Usar Modbus",                    .rect = {2760, 6360, 1455, 375}},
    // The pulse generator flag has no place on this screen; only the start-up setting reaches it.
    {.name = "Check2",    .kind = C, .caption = "Q5 - Gerador Pulsos/Step Motor", .rect = { 120, 6000, 2535, 375}, .visible = false},

    // Clock: day, hours, minutes, seconds; entries and their buttons
    {.name = "Label46",   .kind = L, .caption = "00", .rect = { 720, 7440, 255, 375}},
    {.name = "Label30",   .kind = L, .caption = "00", .rect = {1440, 7440, 255, 375}},
    {.name = "Label40",   .kind = L, .caption = ":",  .rect = {1680, 7440, 135, 255}},
    {.name = "Label25",   .kind = L, .caption = "00", .rect = {1800, 7440, 255, 375}},
    {.name = "Label39",   .kind = L, .caption = ":",  .rect = {2040, 7440, 135, 255}},
    {.name = "Label22",   .kind = L, .caption = "00", .rect = {2160, 7440, 255, 375}},
    {.name = "Text27",    .kind = T, .caption = "0",  .rect = { 720, 7680, 375, 285}},
    {.name = "Text11",    .kind = T, .caption = "0",  .rect = {1320, 7680, 375, 285}},
    {.name = "Text10",    .kind = T, .caption = "0",  .rect = {1680, 7680, 375, 285}},
    {.name = "Text9",     .kind = T, .caption = "0",  .rect = {2040, 7680, 375, 285}},
    {.name = "Command28", .kind = B, .caption = "D",  .rect = { 720, 8040, 375, 375}},
    {.name = "Command11", .kind = B, .caption = "H",  .rect = {1320, 8040, 375, 375}},
    {.name = "Command10", .kind = B, .caption = "M",  .rect = {1680, 8040, 375, 375}},
    {.name = "Command9",  .kind = B, .caption = "S",  .rect = {2040, 8040, 375, 375}},

    // Opens the trend of the live values (Ctrl+T), in the free corner under "Alterar".
    {.name = "TrendButton", .kind = B, .caption = "Tendência", .rect = {3000, 8040, 1095, 375}},
};
// clang-format on

constexpr auto E = Space::Eeprom;
constexpr auto M = Space::Memory;

// Live words, step 3 of every cycle: the inputs, then the clock. The captions name them in the
// trend window.
constexpr WordRead inputReads[] = {
    {.space = M, .word = 15, .label = "Label18", .caption = "Ain1"},
    {.space = M, .word = 20, .label = "Label23", .caption = "Junta Fria"},
    {.space = M, .word = 16, .label = "Label19", .caption = "Ain2"},
    {.space = M, .word = 13, .label = "Label21", .caption = "Ain4"},
    {.space = M, .word = 14, .label = "Label20", .caption = "Ain3"},
};
constexpr auto liveReads = calcore::withClockReads(inputReads);

// clang-format off
constexpr RequestDef requests[] = {
    {.button = "Command1",  .entry = "Text1",  .code = 80},
    {.button = "Command2",  .entry = "Text2",  .code = 81},
    {.button = "Command5",  .entry = "Text5",  .code = 70},
    {.button = "Command6",  .entry = "Text6",  .code = 71},
    {.button = "Command7",  .entry = "Text7",  .code = 82},
    {.button = "Command8",  .entry = "Text8",  .code = 83},
    {.button = "Command3",  .entry = "Text3",  .code = 84},
    {.button = "Command4",  .entry = "Text4",  .code = 85},
    {.button = "Command12", .entry = "Text12", .code = 73},
    {.button = "Command13", .entry = "Text13", .code = 72},
    {.button = "Command14", .entry = "Text14", .code = 17},
    {.button = "Command15", .entry = "Text15", .code = 77},
    {.button = "Command16", .entry = "Text16", .code = 76},
    {.button = "Command18", .entry = "Text17", .code = 18},
    {.button = "Command19", .entry = "Text18", .code = 79},
    {.button = "Command20", .entry = "Text19", .code = 78},
    {.button = "Command21", .entry = "Text20", .code = 19},
    {.button = "Command22", .entry = "Text21", .code = 87},
    {.button = "Command23", .entry = "Text22", .code = 86},
    {.button = "Command24", .entry = "Text23", .code = 36},
    {.button = "Command49", .entry = "Text26", .code = 29},
    {.button = "Command9",  .entry = "Text9",  .code = 66},
    {.button = "Command10", .entry = "Text10", .code = 67},
    {.button = "Command11", .entry = "Text11", .code = 68},
    // "D" records its code only; the day entry is read when the write goes out.
    {.button = "Command28", .entry = "Text27", .code = 69, .kind = RequestKind::CodeOnly},
};
// clang-format on

constexpr calcore::FlagDef flags[] = {
    {.box = "Check1", .space = E, .word = 28, .code = 28},
    {.box = "Check2", .space = E, .word = 74, .code = 74},
};

constexpr rxline::DispatchTable dispatch = calcore::makeDispatch({
    {.codes = {17, 18, 19, 36}, .kind = WriteAction::Memory},
    {.codes = {28, 29}, .kind = WriteAction::Eeprom},
    {.codes = {61}, .kind = WriteAction::Memory, .fixedWord = 27},
    {.codes = {62}, .kind = WriteAction::Memory, .fixedWord = 28},
    {.codes = {66, 67, 68, 69}, .kind = WriteAction::Clock},
    {.codes = {70, 71, 72, 73, 74}, .kind = WriteAction::Eeprom},
    {.first = 76, .last = 87, .kind = WriteAction::Eeprom},
});

const calcore::Model rx200Model{
    .caption = "Config. Calibração RX-200",
    .clientWidthTwips = 9000,
    .clientHeightTwips = 8655,
    .controls = controls,
    .refreshReads = refreshReads,
    .liveReads = liveReads,
    .requests = requests,
    .flags = flags,
    .clockEntries = calcore::ClockEntries,
    .dispatch = dispatch,
};

} // namespace

const calcore::Model& model() {
    return rx200Model;
}

} // namespace rx200
