// The five pages and their 180 word rows: which word each row stands for, its caption,
// its box's name and where its elements sit on the page.
#pragma once

#include <QRect>
#include <QString>

#include <vector>

namespace memedit {

struct PageInfo {
    int number;       // 1..5
    const char* name; // TabSheetN
    const char* caption;
    int firstWord;
    int lastWord;
};

struct RowInfo {
    int word;   // memory word number, 21..59 or 100..240
    int page;   // 1..5
    int column; // 0-based
    int index;  // row index within its column, 0-based
    QString caption;
    QString editName;
    QRect captionRect;
    QRect editRect;
    QRect readRect;
    QRect writeRect;
    int eepromWord;  // the EEPROM word its write also updates, or -1
    int eepromPause; // the pause in ms between the two frames of such a write
};

const std::vector<PageInfo>& pages();
const std::vector<RowInfo>& rows();
const RowInfo* rowForWord(int word);

// The box name of a word: Edit(w - 20) on page 1, Edit(w - 60) from M100 on, except for
// M143..M156 on page 3, whose boxes carry the names Edit90..96, Edit83..88 and Edit89.
QString editNameForWord(int word);

} // namespace memedit
