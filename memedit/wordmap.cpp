#include "wordmap.h"
#include "wordwrites.h"

#include <array>

namespace memedit {

namespace {

constexpr int kCaptionHeight = 24;
constexpr QSize kEditSize{73, 21};
constexpr QSize kReadSize{65, 25};
constexpr QSize kWriteSize{73, 25};

// Left edges of caption, box, read button and write button for each column of a page.
using ColumnLefts = std::array<std::array<int, 4>, 4>;
constexpr std::array<ColumnLefts, 5> kColumnLefts{{
    {{{16, 64, 144, 216}, {320, 368, 448, 520}, {600, 648, 728, 800}, {880, 928, 1008, 1072}}},
    {{{8, 64, 144, 216}, {296, 352, 432, 504}, {584, 640, 720, 792}, {872, 928, 1008, 1072}}},
    {{{8, 64, 144, 216}, {296, 352, 432, 504}, {584, 640, 720, 792}, {872, 928, 1008, 1080}}},
    {{{8, 64, 144, 216}, {296, 352, 432, 504}, {584, 640, 720, 792}, {872, 928, 1008, 1080}}},
    {{{8, 64, 144, 216}, {296, 352, 432, 504}, {}, {}}},
}};

std::vector<RowInfo> buildRows() {
    std::vector<RowInfo> result;
    for (const PageInfo& page : pages()) {
        const int perColumn = page.number == 5 ? 11 : 10;
        const int firstTop = page.number == 5 ? 32 : 56;
        for (int word = page.firstWord; word <= page.lastWord; ++word) {
            const int position = word - page.firstWord;
            RowInfo row;
            row.word = word;
            row.page = page.number;
            row.column = position / perColumn;
            row.index = position % perColumn;
            const auto& lefts = kColumnLefts[size_t(page.number - 1)][size_t(row.column)];
            const int top = firstTop + 32 * row.index;
            int captionWidth = 48;
            if (page.number == 1) {
                const bool eepromRow = word >= 36;
                row.caption = eepromRow ? QStringLiteral("E%1").arg(word - 20)
                                        : QStringLiteral("M%1").arg(word);
                captionWidth = eepromRow ? 37 : 40;
            } else {
                row.caption = QStringLiteral("E%1").arg(word);
            }
            row.editName = editNameForWord(word);
            row.captionRect = QRect(lefts[0], top, captionWidth, kCaptionHeight);
            row.editRect = QRect(QPoint(lefts[1], top), kEditSize);
            const int readShift = page.number <= 2 && row.column == 1 && row.index < 3 ? 3 : 0;
            row.readRect = QRect(QPoint(lefts[2], top + readShift), kReadSize);
            row.writeRect = QRect(QPoint(lefts[3], top), kWriteSize);
            row.eepromWord = rxline::eepromTwinOf(word);
            row.eepromPause = row.eepromWord >= 0 ? rxline::pauseBeforeTwinMs(word) : 0;
            result.push_back(row);
        }
    }
    return result;
}

} // namespace

const std::vector<PageInfo>& pages() {
    static const std::vector<PageInfo> list{
        {1, "TabSheet1", "M21-M59", 21, 59},       {2, "TabSheet2", "M100-M139", 100, 139},
        {3, "TabSheet3", "M140 - M179", 140, 179}, {4, "TabSheet4", "M180 - M219", 180, 219},
        {5, "TabSheet5", "M220 - M240", 220, 240},
    };
    return list;
}

const std::vector<RowInfo>& rows() {
    static const std::vector<RowInfo> list = buildRows();
    return list;
}

const RowInfo* rowForWord(int word) {
    for (const RowInfo& row : rows()) {
        if (row.word == word) return &row;
    }
    return nullptr;
}

QString editNameForWord(int word) {
    int number = word < 100 ? word - 20 : word - 60;
    if (word >= 143 && word <= 149)
        number = word - 53; // Edit90..Edit96
    else if (word >= 150 && word <= 155)
        number = word - 67; // Edit83..Edit88
    else if (word == 156)
        number = 89;
    return QStringLiteral("Edit%1").arg(number);
}

} // namespace memedit
