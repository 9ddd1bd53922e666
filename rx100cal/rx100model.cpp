#include "rx100model.h"

#include "calform.h"

#include <QCheckBox>
#include <QLineEdit>

namespace rx100 {

using calcore::ControlDef;
using calcore::ControlKind;
using calcore::RequestDef;
using calcore::RequestKind;
using calcore::WordRead;
using rxline::Space;
using rxline::WriteAction;

std::string PackPwmMask(const std::array<bool, 8>& ticked) {
    // Q1 alone decides the start value, which drops every other bit; Q2 .. Q8 then set or clear
    // their own bit.
    int mask = ticked[0] ? 1 : 0;
    for (int i = 1; i < 8; ++i) {
        if (ticked[static_cast<std::size_t>(i)])
            mask |= 1 << i;
        else
            mask &= 255 - (1 << i);
    }
    return std::to_string(mask);
}

namespace {

constexpr auto L = ControlKind::Label;
constexpr auto B = ControlKind::Button;
constexpr auto T = ControlKind::Entry;
constexpr auto C = ControlKind::CheckBox;
constexpr auto F = ControlKind::Frame;

// The enable-mask boxes, Q1 first.
constexpr const char* MaskBoxes[8] = {"Check3", "Check4", "Check5", "Check6",
                                      "Check7", "Check8", "Check9", "Check10"};
constexpr const char* MaskEntry = "Text38";
constexpr const char* SaveMaskButton = "Command39";

// Captions too long for the table. In the first, the runs of blanks put "Frequência" and
// "PWM(60-120 Hz)" each on a line of its own.
constexpr const char* PwmFrequency = "      Frequência          PWM(60-120 Hz)";
constexpr const char* FrequencyQ3Q4Q5Q7 = "Freq. Q3/Q4/Q5/Q7 PWM(5-2000Hz)";
constexpr const char* FrequencyQ6Q8 = "Freqüência Q6/Q8 PWM(5-2000Hz)";
// With PWM off on Q1 and Q2 the controller counts fast pulses on input I2.
constexpr const char* FastCounterNote =
    "(Quando PWM de Q1 e Q2 desabilitado Contador Rápido em I2 ativo)";

// Positions in twips; controls of a frame are placed relative to it. Only the communication rows
// and the visible rows of the PWM frame are shown: every other control keeps its place and its
// request but stays hidden, so no operator action reaches it. The analog sections of the RX-200
// window carry the RX-100's captions and codes.
// clang-format off
constexpr ControlDef controls[] = {
    // Communication rows
    {.name = "Label44",   .kind = L, .caption = "Endereço Modbus RS485", .rect = { 600,  480, 2055, 255}},
    {.name = "Label45",   .kind = L, .caption = "0",                     .rect = {2520,  360,  615, 375}, .points = 13.5},
    {.name = "Text26",    .kind = T, .caption = "0",                     .rect = {3240,  360,  615, 405}},
    {.name = "Command49", .kind = B, .caption = "Alterar",               .rect = {3960,  360,  855, 375}},
    {.name = "Label73",   .kind = L, .caption = "BAUD RATE RS485",       .rect = { 600,  960, 2055, 255}},
    {.name = "Label74",   .kind = L, .caption = "0",                     .rect = {2520,  840,  615, 375}, .points = 9.75},
    {.name = "Text48",    .kind = T, .caption = "0",                     .rect = {3240,  840,  615, 405}},
    {.name = "Command27", .kind = B, .caption = "Alterar",               .rect = {3960,  840,  855, 375}},
    {.name = "Label71",   .kind = L, .caption = "Endereço Modbus USB",   .rect = { 720, 1440, 2055, 255}},
    {.name = "Label72",   .kind = L, .caption = "0",                     .rect = {2520, 1320,  615, 375}, .points = 13.5},
    {.name = "Text47",    .kind = T, .caption = "0",                     .rect = {3240, 1320,  615, 405}},
    {.name = "Command48", .kind = B, .caption = "Alterar",               .rect = {3960, 1320,  855, 375}},

    // PWM outputs: the visible rows
    {.name = "Frame3",    .kind = F, .caption = "Ajuste Saídas PWM", .rect = { 240, 2040, 4935, 3015}},
    {.name = "Label53",   .kind = L, .caption = "?",                 .rect = { 360,  600,  735,  255}, .parent = "Frame3"},
    {.name = "Command31", .kind = B, .caption = PwmFrequency,        .rect = { 960,  480, 1815,  495}, .parent = "Frame3"},
    {.name = "Text31",    .kind = T, .caption = "0",                 .rect = {2880,  600,  735,  285}, .parent = "Frame3"},
    {.name = "Label52",   .kind = L, .caption = "?",                 .rect = { 480, 1440,  735,  255}, .parent = "Frame3"},
    {.name = "Command32", .kind = B, .caption = "PWM-Q1(0-1000)",    .rect = {1080, 1320, 1575,  375}, .parent = "Frame3"},
    {.name = "Text30",    .kind = T, .caption = "0",                 .rect = {2760, 1320,  735,  285}, .parent = "Frame3"},
    {.name = "Label56",   .kind = L, .caption = "?",                 .rect = { 480, 1920,  735,  255}, .parent = "Frame3"},
    {.name = "Command35", .kind = B, .caption = "PWM-Q3(0-1000)",    .rect = {1080, 1800, 1575,  375}, .parent = "Frame3"},
    {.name = "Text34",    .kind = T, .caption = "0",                 .rect = {2760, 1800,  735,  285}, .parent = "Frame3"},
    {.name = "Label61",   .kind = L, .caption = "?",                 .rect = { 480, 2400,  735,  255}, .parent = "Frame3"},
    {.name = "Command40", .kind = B, .caption = "PWM-Q4(0-1000)",    .rect = {1080, 2280, 1575,  375}, .parent = "Frame3"},
    {.name = "Text39",    .kind = T, .caption = "0",                 .rect = {2760, 2280,  735,  285}, .parent = "Frame3"},

    // PWM outputs: hidden rows below the visible ones (their displays are never filled)
    {.name = "Label62",   .kind = L, .caption = "?",               .rect = { 480, 2880,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command41", .kind = B, .caption = "PWM-Q4(0-1000)",  .rect = {1080, 2760, 1575, 375}, .visible = false, .parent = "Frame3"},
    {.name = "Text40",    .kind = T, .caption = "0",               .rect = {2760, 2760,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label63",   .kind = L, .caption = "?",               .rect = { 480, 3360,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command42", .kind = B, .caption = "PWM-Q5(0-1000)",  .rect = {1080, 3240, 1575, 375}, .visible = false, .parent = "Frame3"},
    {.name = "Text41",    .kind = T, .caption = "0",               .rect = {2760, 3240,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label64",   .kind = L, .caption = "?",               .rect = { 480, 3840,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command44", .kind = B, .caption = "PWM-Q6(0-1000)",  .rect = {1080, 3720, 1575, 375}, .visible = false, .parent = "Frame3"},
    {.name = "Text43",    .kind = T, .caption = "0",               .rect = {2760, 3720,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label65",   .kind = L, .caption = "?",               .rect = { 480, 4320,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command43", .kind = B, .caption = "PWM-Q7(0-1000)",  .rect = {1080, 4200, 1575, 375}, .visible = false, .parent = "Frame3"},
    {.name = "Text42",    .kind = T, .caption = "0",               .rect = {2760, 4200,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label66",   .kind = L, .caption = "?",               .rect = { 480, 4800,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command45", .kind = B, .caption = "PWM-Q8(0-1000)",  .rect = {1080, 4680, 1575, 375}, .visible = false, .parent = "Frame3"},
    {.name = "Text44",    .kind = T, .caption = "0",               .rect = {2760, 4680,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label67",   .kind = L, .caption = "?",               .rect = { 360, 5280,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command46", .kind = B, .caption = FrequencyQ3Q4Q5Q7, .rect = { 960, 5160, 1815, 495}, .visible = false, .parent = "Frame3"},
    {.name = "Text45",    .kind = T, .caption = "0",               .rect = {2880, 5280,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label68",   .kind = L, .caption = "?",               .rect = { 360, 5880,  735, 255}, .visible = false, .parent = "Frame3"},
    {.name = "Command47", .kind = B, .caption = FrequencyQ6Q8,     .rect = { 960, 5760, 1815, 495}, .visible = false, .parent = "Frame3"},
    {.name = "Text46",    .kind = T, .caption = "0",               .rect = {2880, 5880,  735, 285}, .visible = false, .parent = "Frame3"},
    {.name = "Label69",   .kind = L, .caption = "?",               .rect = { 480, 6480,  735, 255}, .visible = false, .parent = "Frame3"},

    // PWM enable mask (hidden), its boxes in a column at the right; "Grava PWM CONFIG" is
    // enabled by the first change of the mask text.
    {.name = SaveMaskButton, .kind = B, .caption = "Grava PWM CONFIG", .rect = {1080, 6360, 1575, 375}, .visible = false, .enabled = false, .parent = "Frame3"},
    {.name = MaskEntry,      .kind = T, .caption = "?",                .rect = {2760, 6360,  735, 285}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check3",       .kind = C, .caption = "Ativa PWM- Q1",    .rect = {3720,  240, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check4",       .kind = C, .caption = "Ativa PWM- Q2",    .rect = {3720,  540, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check5",       .kind = C, .caption = "Ativa PWM- Q3",    .rect = {3720,  840, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check6",       .kind = C, .caption = "Ativa PWM- Q4",    .rect = {3720, 1140, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check7",       .kind = C, .caption = "Ativa PWM- Q5",    .rect = {3720, 1440, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check8",       .kind = C, .caption = "Ativa PWM- Q6",    .rect = {3720, 1740, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check9",       .kind = C, .caption = "Ativa PWM- Q7",    .rect = {3720, 2040, 1215, 255}, .visible = false,                   .parent = "Frame3"},
    {.name = "Check10",      .kind = C, .caption = "Ativa PWM- Q8",    .rect = {3720, 2340, 1215, 255}, .visible = false,                   .parent = "Frame3"},

    // Fast-counter note (hidden)
    {.name = "Label57", .kind = L, .caption = FastCounterNote, .rect = {360, 6960, 4455, 495}, .visible = false, .parent = "Frame3"},

    // Analog input calibration (hidden): heading and braces
    {.name = "Label26", .kind = L, .caption = "Ajuste Entradas Analógicas", .rect = {1320,  240, 2415,  495}, .visible = false},
    {.name = "Label27", .kind = L, .caption = "{",                          .rect = { 840,  840,  495, 1215}, .visible = false, .points = 39},
    {.name = "Label28", .kind = L, .caption = "{",                          .rect = { 840, 2160,  495, 1215}, .visible = false, .points = 39},
    {.name = "Label29", .kind = L, .caption = "{",                          .rect = { 840, 4560,  495, 1215}, .visible = false, .points = 39},

    // Ain1: live reading; zero and span buttons, stored values, entries
    {.name = "Label18",  .kind = L, .caption = "?",          .rect = { 120, 1200,  735, 375}, .visible = false},
    {.name = "Command1", .kind = B, .caption = "Zero- Ain1", .rect = {1080,  960, 1095, 375}, .visible = false},
    {.name = "Label1",   .kind = L, .caption = "0",          .rect = {2280,  960,  615, 375}, .visible = false},
    {.name = "Text1",    .kind = T, .caption = "0",          .rect = {3000,  960,  735, 375}, .visible = false},
    {.name = "Command2", .kind = B, .caption = "Span- Ain1", .rect = {1080, 1440, 1095, 375}, .visible = false},
    {.name = "Label2",   .kind = L, .caption = "0",          .rect = {2280, 1440,  615, 375}, .visible = false},
    {.name = "Text2",    .kind = T, .caption = "0",          .rect = {3000, 1440,  735, 375}, .visible = false},

    // Ain2
    {.name = "Label19",  .kind = L, .caption = "0",          .rect = { 120, 2640,  735, 375}, .visible = false},
    {.name = "Command5", .kind = B, .caption = "Zero- Ain2", .rect = {1080, 2280, 1095, 375}, .visible = false},
    {.name = "Label5",   .kind = L, .caption = "0",          .rect = {2280, 2280,  615, 375}, .visible = false},
    {.name = "Text5",    .kind = T, .caption = "0",          .rect = {3000, 2280,  735, 375}, .visible = false},
    {.name = "Command6", .kind = B, .caption = "Span- Ain2", .rect = {1080, 2760, 1095, 375}, .visible = false},
    {.name = "Label6",   .kind = L, .caption = "0",          .rect = {2280, 2760,  615, 375}, .visible = false},
    {.name = "Text6",    .kind = T, .caption = "0",          .rect = {3000, 2760,  735, 375}, .visible = false},

    // Ain3; its stored points show E30 and E31, the words "Zero- Ain3" and "Span- Ain3" write
    {.name = "Label20",  .kind = L, .caption = "0",          .rect = { 120, 3960,  615, 375}, .visible = false},
    {.name = "Command7", .kind = B, .caption = "Zero- Ain3", .rect = {1080, 3600, 1095, 375}, .visible = false},
    {.name = "Label7",   .kind = L, .caption = "0",          .rect = {2280, 3600,  615, 375}, .visible = false},
    {.name = "Text7",    .kind = T, .caption = "0",          .rect = {3000, 3600,  735, 375}, .visible = false},
    {.name = "Command8", .kind = B, .caption = "Span- Ain3", .rect = {1080, 4080, 1095, 375}, .visible = false},
    {.name = "Label8",   .kind = L, .caption = "0",          .rect = {2280, 4080,  615, 375}, .visible = false},
    {.name = "Text8",    .kind = T, .caption = "0",          .rect = {3000, 4080,  735, 375}, .visible = false},

    // Ain4
    {.name = "Label21",  .kind = L, .caption = "0",          .rect = { 120, 4920,  615, 375}, .visible = false},
    {.name = "Command3", .kind = B, .caption = "Zero- Ain4", .rect = {1080, 4680, 1095, 375}, .visible = false},
    {.name = "Label3",   .kind = L, .caption = "0",          .rect = {2280, 4800,  615, 375}, .visible = false},
    {.name = "Text3",    .kind = T, .caption = "0",          .rect = {3000, 4680,  735, 375}, .visible = false},
    {.name = "Command4", .kind = B, .caption = "Span- Ain4", .rect = {1080, 5160, 1095, 375}, .visible = false},
    {.name = "Label4",   .kind = L, .caption = "0",          .rect = {2280, 5280,  615, 375}, .visible = false},
    {.name = "Text4",    .kind = T, .caption = "0",          .rect = {3000, 5160,  735, 375}, .visible = false},

    // Cold junction: read into a hidden label
    {.name = "Label24", .kind = L, .caption = "Junta Fria", .rect = { 120, 5640, 975, 255}, .visible = false},
    {.name = "Label23", .kind = L, .caption = "?",          .rect = {1200, 5640, 615, 375}, .visible = false},

    // Analog outputs AO1, AO2 and AO4 (hidden frames hide what they hold)
    {.name = "Frame1", .kind = F, .caption = "Ajuste Saída Analógica AO1", .rect = {4560,  360, 3975, 1815}, .visible = false},
    {.name = "Frame2", .kind = F, .caption = "Ajuste Saída Analógica AO2", .rect = {4560, 2400, 3975, 1815}, .visible = false},
    {.name = "Frame4", .kind = F, .caption = "Ajuste Saída Analógica AO4", .rect = {4560, 6480, 3975, 1815}, .visible = false},

    // AO1: 4 mA, 20 mA and output buttons, entries, stored values
    {.name = "Command12", .kind = B, .caption = "4 mA(400 - 500)",  .rect = {1440,  360, 1455, 375}, .parent = "Frame1"},
    {.name = "Command13", .kind = B, .caption = "20 mA(750 - 900)", .rect = {1440,  840, 1455, 375}, .parent = "Frame1"},
    {.name = "Command14", .kind = B, .caption = "M37(AO1)",         .rect = {1440, 1320, 1455, 375}, .parent = "Frame1"},
    {.name = "Text12",    .kind = T, .caption = "0",                .rect = {3000,  360,  735, 285}, .parent = "Frame1"},
    {.name = "Text13",    .kind = T, .caption = "0",                .rect = {3000,  840,  735, 285}, .parent = "Frame1"},
    {.name = "Text14",    .kind = T, .caption = "0",                .rect = {3000, 1320,  735, 285}, .parent = "Frame1"},
    {.name = "Label31",   .kind = L, .caption = "0",                .rect = { 600,  360,  735, 255}, .parent = "Frame1"},
    {.name = "Label32",   .kind = L, .caption = "0",                .rect = { 600,  960,  735, 255}, .parent = "Frame1"},
    {.name = "Label33",   .kind = L, .caption = "0",                .rect = { 600, 1440,  735, 255}, .parent = "Frame1"},

    // AO2
    {.name = "Command15", .kind = B, .caption = "4 mA(400 - 500)",  .rect = {1440,  360, 1455, 375}, .parent = "Frame2"},
    {.name = "Command16", .kind = B, .caption = "20 mA(750 - 900)", .rect = {1440,  840, 1455, 375}, .parent = "Frame2"},
    {.name = "Command18", .kind = B, .caption = "M38(AO2)",         .rect = {1440, 1320, 1455, 375}, .parent = "Frame2"},
    {.name = "Text15",    .kind = T, .caption = "0",                .rect = {3000,  360,  735, 285}, .parent = "Frame2"},
    {.name = "Text16",    .kind = T, .caption = "0",                .rect = {3000,  840,  735, 285}, .parent = "Frame2"},
    {.name = "Text17",    .kind = T, .caption = "0",                .rect = {3000, 1320,  735, 285}, .parent = "Frame2"},
    {.name = "Label34",   .kind = L, .caption = "0",                .rect = { 600,  360,  735, 255}, .parent = "Frame2"},
    {.name = "Label35",   .kind = L, .caption = "0",                .rect = { 600,  960,  735, 255}, .parent = "Frame2"},
    {.name = "Label36",   .kind = L, .caption = "0",                .rect = { 600, 1440,  735, 255}, .parent = "Frame2"},

    // AO4
    {.name = "Command22", .kind = B, .caption = "4 mA(1000 - 1300)",  .rect = {1440,  360, 1455, 375}, .parent = "Frame4"},
    {.name = "Command23", .kind = B, .caption = "20 mA(2000 - 2500)", .rect = {1440,  840, 1455, 375}, .parent = "Frame4"},
    {.name = "Command24", .kind = B, .caption = "M40(AO4)",           .rect = {1440, 1320, 1455, 375}, .parent = "Frame4"},
    {.name = "Text21",    .kind = T, .caption = "0",                  .rect = {3000,  360,  735, 285}, .parent = "Frame4"},
    {.name = "Text22",    .kind = T, .caption = "0",                  .rect = {3000,  840,  735, 285}, .parent = "Frame4"},
    {.name = "Text23",    .kind = T, .caption = "0",                  .rect = {3000, 1320,  735, 285}, .parent = "Frame4"},
    {.name = "Label42",   .kind = L, .caption = "0",                  .rect = { 600,  360,  735, 255}, .parent = "Frame4"},
    {.name = "Label43",   .kind = L, .caption = "0",                  .rect = { 600,  960,  735, 255}, .parent = "Frame4"},
    {.name = "Label48",   .kind = L, .caption = "0",                  .rect = { 600, 1440,  735, 255}, .parent = "Frame4"},

    // Modbus flags and clock (hidden). The flags are still set from the controller at the end
    // of the first cycle.
    {.name = "Check1",    .kind = C, .caption = "Usar Modbus",                    .rect = {2760, 6360, 1455, 375}, .visible = false},
    {.name = "Check2",    .kind = C, .caption = "Q5 - Gerador Pulsos/Step Motor", .rect = { 120, 6000, 2535, 375}, .visible = false},
    {.name = "Label46",   .kind = L, .caption = "00",                             .rect = { 720, 7440,  255, 375}, .visible = false},
    {.name = "Label30",   .kind = L, .caption = "00",                             .rect = {1440, 7440,  255, 375}, .visible = false},
    {.name = "Label40",   .kind = L, .caption = ":",                              .rect = {1680, 7440,  135, 255}, .visible = false},
    {.name = "Label25",   .kind = L, .caption = "00",                             .rect = {1800, 7440,  255, 375}, .visible = false},
    {.name = "Label39",   .kind = L, .caption = ":",                              .rect = {2040, 7440,  135, 255}, .visible = false},
    {.name = "Label22",   .kind = L, .caption = "00",                             .rect = {2160, 7440,  255, 375}, .visible = false},
    {.name = "Text27",    .kind = T, .caption = "0",                              .rect = { 720, 7680,  375, 285}, .visible = false},
    {.name = "Text11",    .kind = T, .caption = "0",                              .rect = {1320, 7680,  375, 285}, .visible = false},
    {.name = "Text10",    .kind = T, .caption = "0",                              .rect = {1680, 7680,  375, 285}, .visible = false},
    {.name = "Text9",     .kind = T, .caption = "0",                              .rect = {2040, 7680,  375, 285}, .visible = false},
    {.name = "Command28", .kind = B, .caption = "D",                              .rect = { 720, 8040,  375, 375}, .visible = false},
    {.name = "Command11", .kind = B, .caption = "H",                              .rect = {1320, 8040,  375, 375}, .visible = false},
    {.name = "Command10", .kind = B, .caption = "M",                              .rect = {1680, 8040,  375, 375}, .visible = false},
    {.name = "Command9",  .kind = B, .caption = "S",                              .rect = {2040, 8040,  375, 375}, .visible = false},

    // Opens the trend window (Ctrl+T), under the PWM frame; the RX-100's cycle reads no live word,
    // so the window says so.
    {.name = "TrendButton", .kind = B, .caption = "Tendência", .rect = {3960, 5085, 1215, 375}},

    // Marks that the exit question was closed; the core follows the question itself.
    {.name = "Label70", .kind = L, .caption = "Label70", .rect = {120, 5160, 855, 255}, .visible = false},
};
// clang-format on

constexpr auto E = Space::Eeprom;
constexpr auto M = Space::Memory;

// clang-format off
constexpr RequestDef requests[] = {
    // Communication rows
    {.button = "Command49",    .entry = "Text26",  .code = 29},
    {.button = "Command27",    .entry = "Text48",  .code = 31},
    {.button = "Command48",    .entry = "Text47",  .code = 30},
    // PWM rows, visible
    {.button = "Command31",    .entry = "Text31",  .code = 78},
    {.button = "Command32",    .entry = "Text30",  .code = 91},
    {.button = "Command35",    .entry = "Text34",  .code = 92},
    {.button = "Command40",    .entry = "Text39",  .code = 94},
    // PWM rows and mask, hidden
    {.button = "Command41",    .entry = "Text40",  .code = 95},
    {.button = "Command42",    .entry = "Text41",  .code = 96},
    {.button = "Command44",    .entry = "Text43",  .code = 99},
    {.button = "Command43",    .entry = "Text42",  .code = 97},
    {.button = "Command45",    .entry = "Text44",  .code = 100},
    {.button = "Command46",    .entry = "Text45",  .code = 80},
    {.button = "Command47",    .entry = "Text46",  .code = 81},
    {.button = SaveMaskButton, .entry = MaskEntry, .code = 79},
    // Analog sections, hidden
    {.button = "Command1",     .entry = "Text1",   .code = 24},
    {.button = "Command2",     .entry = "Text2",   .code = 25},
    {.button = "Command5",     .entry = "Text5",   .code = 26},
    {.button = "Command6",     .entry = "Text6",   .code = 27},
    {.button = "Command7",     .entry = "Text7",   .code = 82},
    {.button = "Command8",     .entry = "Text8",   .code = 83},
    {.button = "Command3",     .entry = "Text3",   .code = 84},
    {.button = "Command4",     .entry = "Text4",   .code = 85},
    {.button = "Command12",    .entry = "Text12",  .code = 71},
    {.button = "Command13",    .entry = "Text13",  .code = 70},
    {.button = "Command14",    .entry = "Text14",  .code = 37},
    {.button = "Command15",    .entry = "Text15",  .code = 73},
    {.button = "Command16",    .entry = "Text16",  .code = 72},
    {.button = "Command18",    .entry = "Text17",  .code = 38},
    {.button = "Command22",    .entry = "Text21",  .code = 87},
    {.button = "Command23",    .entry = "Text22",  .code = 86},
    {.button = "Command24",    .entry = "Text23",  .code = 40},
    // Clock, hidden; "D" records its code only and the day entry is read at step 5.
    {.button = "Command9",     .entry = "Text9",   .code = 66},
    {.button = "Command10",    .entry = "Text10",  .code = 67},
    {.button = "Command11",    .entry = "Text11",  .code = 68},
    {.button = "Command28",    .entry = "Text27",  .code = 69,  .kind = RequestKind::CodeOnly},
};
// clang-format on

// The RX-100 never reads E74, so the Q5 box finds no value to follow and always ends cleared.
constexpr calcore::FlagDef flags[] = {
    {.box = "Check1", .space = E, .word = 28, .code = 28},
    {.box = "Check2", .space = E, .word = 74, .code = 74},
};

// Every code not named here is dropped at step 5 without a frame.
constexpr rxline::DispatchTable dispatch = calcore::makeDispatch({
    {.first = 24, .last = 31, .kind = WriteAction::Eeprom},
    {.first = 37, .last = 40, .kind = WriteAction::Memory},
    {.codes = {61, 78}, .kind = WriteAction::Memory, .fixedWord = 27},
    {.codes = {62}, .kind = WriteAction::Memory, .fixedWord = 28},
    {.first = 66, .last = 69, .kind = WriteAction::Clock},
    {.codes = {70, 71, 72, 73, 74, 76, 77, 79, 80, 81, 86, 87}, .kind = WriteAction::Eeprom},
    {.first = 82, .last = 85, .kind = WriteAction::Eeprom, .wordOffset = -52},
    {.codes = {91}, .kind = WriteAction::Memory, .fixedWord = 19},
    {.codes = {92}, .kind = WriteAction::Memory, .fixedWord = 18},
    {.codes = {94}, .kind = WriteAction::Memory, .fixedWord = 17},
    {.codes = {95, 96, 97, 99, 100}, .kind = WriteAction::Memory},
});

// clang-format off
constexpr ControlDef questionControls[] = {
    {.name = "Label2",   .kind = L, .caption = "Ativar Modbus da Serial USB ?", .rect = { 120,  360, 4455, 855}},
    {.name = "Command1", .kind = B, .caption = "Sim",                           .rect = { 600, 1320, 1215, 375}},
    {.name = "Command2", .kind = B, .caption = "Não",                           .rect = {2280, 1320, 1215, 375}},
    {.name = "Label1",   .kind = L, .caption = "Label1",                        .rect = {3720, 1800,  615, 255}, .visible = false},
};
// clang-format on

// Asked when the main window closes: "Sim" switches Modbus on the USB port back on.
constexpr calcore::ExitQuestion form3{
    .name = "Form3",
    .caption = "Ativar MODBUS - Serial USB?",
    .clientWidthTwips = 4575,
    .clientHeightTwips = 2175,
    .controls = questionControls,
    .yesButton = "Command1",
    .noButton = "Command2",
    .yesFrame = UsbModbusOnFrame,
    .pauseMs = 100,
};

// The enable-mask boxes rebuild the mask text; its first change enables "Grava PWM CONFIG".
void attach(calcore::CalForm& form) {
    auto* mask = qobject_cast<QLineEdit*>(form.control(QString::fromLatin1(MaskEntry)));
    QWidget* save = form.control(QString::fromLatin1(SaveMaskButton));
    std::array<QCheckBox*, 8> boxes{};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i] = qobject_cast<QCheckBox*>(form.control(QString::fromLatin1(MaskBoxes[i])));
    for (QCheckBox* box : boxes) {
        QObject::connect(box, &QCheckBox::clicked, mask, [mask, boxes] {
            std::array<bool, 8> ticked{};
            for (std::size_t i = 0; i < boxes.size(); ++i)
                ticked[i] = boxes[i]->isChecked();
            mask->setText(QString::fromStdString(PackPwmMask(ticked)));
        });
    }
    QObject::connect(mask, &QLineEdit::textChanged, save, [save] { save->setEnabled(true); });
}

const calcore::Model rx100Model{
    .caption = "Config. Calibração RX-100",
    .clientWidthTwips = 5415,
    .clientHeightTwips = 5475,
    .controls = controls,
    .refreshReads = refreshReads,
    .requests = requests,
    .flags = flags,
    .clockEntries = calcore::ClockEntries,
    .dispatch = dispatch,
    .loadFrame = UsbModbusOffFrame,
    .exitQuestion = &form3,
    .attach = attach,
};

} // namespace

const calcore::Model& model() {
    return rx100Model;
}

} // namespace rx100
