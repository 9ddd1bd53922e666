#include "rx200model.h"

namespace rx200 {

using calcore::ClockEntry;
using calcore::ControlKind;
using calcore::ControlSpec;
using calcore::RequestKind;
using calcore::RequestSpec;
using calcore::Space;
using calcore::WordBinding;
using calcore::WriteAction;

namespace {

constexpr auto L = ControlKind::Label;
constexpr auto B = ControlKind::Button;
constexpr auto T = ControlKind::Entry;
constexpr auto C = ControlKind::CheckBox;
constexpr auto F = ControlKind::Frame;

constexpr const char* Cal4 = "4 mA(340 - 420)";
constexpr const char* Cal20 = "20 mA(45 - 55)";

// Positions in twips; controls of the output frames are placed relative to their frame.
constexpr ControlSpec controls[] = {
    // Analog input calibration
    {"Label26", L, "Ajuste Entradas Analógicas", {1320, 240, 2415, 495}},
    {"Label27", L, "{", {840, 840, 495, 1215}, true, nullptr, 39},
    {"Label28", L, "{", {840, 2160, 495, 1215}, true, nullptr, 39},
    {"Label29", L, "{", {840, 4560, 495, 1215}, true, nullptr, 39},
    {"Label18", L, "?", {120, 1200, 735, 375}},
    {"Command1", B, "Zero- Ain1", {1080, 960, 1095, 375}},
    {"Label1", L, "0", {2280, 960, 615, 375}},
    {"Text1", T, "0", {3000, 960, 735, 375}},
    {"Command2", B, "Span- Ain1", {1080, 1440, 1095, 375}},
    {"Label2", L, "0", {2280, 1440, 615, 375}},
    {"Text2", T, "0", {3000, 1440, 735, 375}},
    {"Label19", L, "0", {120, 2640, 735, 375}},
    {"Command5", B, "Zero- Ain2", {1080, 2280, 1095, 375}},
    {"Label5", L, "0", {2280, 2280, 615, 375}},
    {"Text5", T, "0", {3000, 2280, 735, 375}},
    {"Command6", B, "Span- Ain2", {1080, 2760, 1095, 375}},
    {"Label6", L, "0", {2280, 2760, 615, 375}},
    {"Text6", T, "0", {3000, 2760, 735, 375}},
    {"Label20", L, "0", {120, 3960, 615, 375}},
    {"Command7", B, "Zero- Ain3", {1080, 3600, 1095, 375}},
    {"Label7", L, "0", {2280, 3600, 615, 375}},
    {"Text7", T, "0", {3000, 3600, 735, 375}},
    {"Command8", B, "Span- Ain3", {1080, 4080, 1095, 375}},
    {"Label8", L, "0", {2280, 4080, 615, 375}},
    {"Text8", T, "0", {3000, 4080, 735, 375}},
    {"Label21", L, "0", {120, 4920, 615, 375}},
    {"Command3", B, "Zero- Ain4", {1080, 4680, 1095, 375}},
    {"Label3", L, "0", {2280, 4800, 615, 375}},
    {"Text3", T, "0", {3000, 4680, 735, 375}},
    {"Command4", B, "Span- Ain4", {1080, 5160, 1095, 375}},
    {"Label4", L, "0", {2280, 5280, 615, 375}},
    {"Text4", T, "0", {3000, 5160, 735, 375}},
    // The cold-junction reading is read every cycle into a label that stays hidden.
    {"Label24", L, "Junta Fria", {120, 5640, 975, 255}, false},
    {"Label23", L, "?", {1200, 5640, 615, 375}, false},

    // Analog outputs
    {"Frame1", F, "Ajuste Saída Analógica AO1", {4560, 360, 3975, 1815}},
    {"Frame2", F, "Ajuste Saída Analógica AO2", {4560, 2400, 3975, 1815}},
    {"Frame3", F, "Ajuste Saída Analógica AO3", {4560, 4440, 3975, 1815}},
    {"Frame4", F, "Ajuste Saída Analógica AO4", {4560, 6480, 3975, 1815}},
    {"Command12", B, Cal4, {1440, 360, 1455, 375}, true, "Frame1"},
    {"Command13", B, Cal20, {1440, 840, 1455, 375}, true, "Frame1"},
    {"Command14", B, "M17(AO1)", {1440, 1320, 1455, 375}, true, "Frame1"},
    {"Text12", T, "0", {3000, 360, 735, 285}, true, "Frame1"},
    {"Text13", T, "0", {3000, 840, 735, 285}, true, "Frame1"},
    {"Text14", T, "0", {3000, 1320, 735, 285}, true, "Frame1"},
    {"Label31", L, "0", {600, 360, 735, 255}, true, "Frame1"},
    {"Label32", L, "0", {600, 960, 735, 255}, true, "Frame1"},
    {"Label33", L, "0", {600, 1440, 735, 255}, true, "Frame1"},
    {"Command15", B, Cal4, {1440, 360, 1455, 375}, true, "Frame2"},
    {"Command16", B, Cal20, {1440, 840, 1455, 375}, true, "Frame2"},
    {"Command18", B, "M18(AO2)", {1440, 1320, 1455, 375}, true, "Frame2"},
    {"Text15", T, "0", {3000, 360, 735, 285}, true, "Frame2"},
    {"Text16", T, "0", {3000, 840, 735, 285}, true, "Frame2"},
    {"Text17", T, "0", {3000, 1320, 735, 285}, true, "Frame2"},
    {"Label34", L, "0", {600, 360, 735, 255}, true, "Frame2"},
    {"Label35", L, "0", {600, 960, 735, 255}, true, "Frame2"},
    {"Label36", L, "0", {600, 1440, 735, 255}, true, "Frame2"},
    {"Command19", B, Cal4, {1440, 360, 1455, 375}, true, "Frame3"},
    {"Command20", B, Cal20, {1440, 840, 1455, 375}, true, "Frame3"},
    {"Command21", B, "M19(AO3)", {1440, 1320, 1455, 375}, true, "Frame3"},
    {"Text18", T, "0", {3000, 360, 735, 285}, true, "Frame3"},
    {"Text19", T, "0", {3000, 840, 735, 285}, true, "Frame3"},
    {"Text20", T, "0", {3000, 1320, 735, 285}, true, "Frame3"},
    {"Label37", L, "0", {600, 360, 735, 255}, true, "Frame3"},
    {"Label38", L, "0", {600, 960, 735, 255}, true, "Frame3"},
    {"Label41", L, "0", {600, 1440, 735, 255}, true, "Frame3"},
    {"Command22", B, Cal4, {1440, 360, 1455, 375}, true, "Frame4"},
    {"Command23", B, Cal20, {1440, 840, 1455, 375}, true, "Frame4"},
    {"Command24", B, "M36(AO4)", {1440, 1320, 1455, 375}, true, "Frame4"},
    {"Text21", T, "0", {3000, 360, 735, 285}, true, "Frame4"},
    {"Text22", T, "0", {3000, 840, 735, 285}, true, "Frame4"},
    {"Text23", T, "0", {3000, 1320, 735, 285}, true, "Frame4"},
    {"Label42", L, "0", {600, 360, 735, 255}, true, "Frame4"},
    {"Label43", L, "0", {600, 960, 735, 255}, true, "Frame4"},
    {"Label48", L, "0", {600, 1440, 735, 255}, true, "Frame4"},

    // Address, Modbus and clock
    {"Label44", L, "Endereço  Controlador", {360, 6840, 975, 495}},
    {"Label45", L, "0", {1440, 6840, 615, 375}, true, nullptr, 13.5},
    {"Text26", T, "0", {2280, 6960, 615, 285}},
    {"Command49", B, "Alterar", {3000, 6840, 1095, 375}},
    {"Check1", C, "Usar Modbus", {2760, 6360, 1455, 375}},
    // The pulse generator flag has no place on this screen; only the start-up setting reaches it.
    {"Check2", C, "Q5 - Gerador Pulsos/Step Motor", {120, 6000, 2535, 375}, false},
    {"Label46", L, "00", {720, 7440, 255, 375}},
    {"Label30", L, "00", {1440, 7440, 255, 375}},
    {"Label40", L, ":", {1680, 7440, 135, 255}},
    {"Label25", L, "00", {1800, 7440, 255, 375}},
    {"Label39", L, ":", {2040, 7440, 135, 255}},
    {"Label22", L, "00", {2160, 7440, 255, 375}},
    {"Text27", T, "0", {720, 7680, 375, 285}},
    {"Text11", T, "0", {1320, 7680, 375, 285}},
    {"Text10", T, "0", {1680, 7680, 375, 285}},
    {"Text9", T, "0", {2040, 7680, 375, 285}},
    {"Command28", B, "D", {720, 8040, 375, 375}},
    {"Command11", B, "H", {1320, 8040, 375, 375}},
    {"Command10", B, "M", {1680, 8040, 375, 375}},
    {"Command9", B, "S", {2040, 8040, 375, 375}},
};

constexpr auto E = Space::Eeprom;
constexpr auto M = Space::Memory;

// Parameter refresh, steps 2 and 7 after a request. E75 is not read.
constexpr WordBinding refreshReads[] = {
    {E, 70, "Label5"},
    {E, 71, "Label6"},
    {E, 72, "Label32"},
    {E, 73, "Label31"},
    {E, 76, "Label35"},
    {E, 77, "Label34"},
    {E, 78, "Label38"},
    {E, 79, "Label37"},
    {M, 17, "Label33"},
    {M, 18, "Label36"},
    {M, 19, "Label41"},
    {M, 36, "Label48"},
    {E, 80, "Label1"},
    {E, 81, "Label2"},
    {E, 82, "Label7"},
    {E, 83, "Label8"},
    {E, 84, "Label3"},
    {E, 85, "Label4"},
    {E, 87, "Label42"},
    {E, 86, "Label43"},
    {E, 28},
    {E, 29, "Label45"},
    {E, 74},
};

// Live words, step 3 of every cycle. M65 and M66 are read but not shown.
constexpr WordBinding liveReads[] = {
    {M, 15, "Label18"},
    {M, 20, "Label23"},
    {M, 16, "Label19"},
    {M, 13, "Label21"},
    {M, 14, "Label20"},
    {M, 60, "Label22"},
    {M, 65},
    {M, 66},
    {M, 61, "Label25"},
    {M, 62, "Label30"},
    {M, 63, "Label46"},
};

constexpr RequestSpec requests[] = {
    {"Command1", "Text1", 80},
    {"Command2", "Text2", 81},
    {"Command5", "Text5", 70},
    {"Command6", "Text6", 71},
    {"Command7", "Text7", 82},
    {"Command8", "Text8", 83},
    {"Command3", "Text3", 84},
    {"Command4", "Text4", 85},
    {"Command12", "Text12", 73},
    {"Command13", "Text13", 72},
    {"Command14", "Text14", 17},
    {"Command15", "Text15", 77},
    {"Command16", "Text16", 76},
    {"Command18", "Text17", 18},
    {"Command19", "Text18", 79},
    {"Command20", "Text19", 78},
    {"Command21", "Text20", 19},
    {"Command22", "Text21", 87},
    {"Command23", "Text22", 86},
    {"Command24", "Text23", 36},
    {"Command49", "Text26", 29},
    {"Command9", "Text9", 66},
    {"Command10", "Text10", 67},
    {"Command11", "Text11", 68},
    // "D" records its code only; the day entry is read when the write goes out.
    {"Command28", "Text27", 69, RequestKind::CodeOnly},
};

constexpr calcore::CheckSpec checks[] = {
    {"Check1", E, 28, 28},
    {"Check2", E, 74, 74},
};

constexpr ClockEntry clockEntries[] = {
    {66, "Text9"}, {67, "Text10"}, {68, "Text11"}, {69, "Text27"}};

constexpr calcore::DispatchTable dispatch = calcore::makeDispatch({
    {{17, 18, 19, 36}, WriteAction::Memory},
    {{28, 29}, WriteAction::Eeprom},
    {{61}, WriteAction::Memory, 0, 27},
    {{62}, WriteAction::Memory, 0, 28},
    {{66, 67, 68, 69}, WriteAction::Clock},
    {{70, 71, 72, 73, 74, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87}, WriteAction::Eeprom},
});

const calcore::Model rx200Model{
    "Config. Calibração RX-200",
    9000,
    8655,
    controls,
    refreshReads,
    liveReads,
    requests,
    checks,
    clockEntries,
    dispatch,
};

} // namespace

const calcore::Model& model() {
    return rx200Model;
}

} // namespace rx200
