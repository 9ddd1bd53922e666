// The form of a log of live values, as rxmem watch writes it and the calibration tools save it:
// a header "time,M15,M20", then a row a round, the local time with milliseconds and each word's
// value, or an empty cell for a word that gave no value in that round. One form, so the same
// spreadsheet or gnuplot script reads a file from either program.
#pragma once

#include "wordfile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>

namespace rxwords {

// "time,M13,M14".
QString csvHeader(std::span<const Word> words);
// "2026-12-08T06:08:04.570,2753,": local time in ISO 8601 with milliseconds, then the cells.
// RFC 4180: the fields hold digits and the time only, so none needs quotes.
QString csvRow(const QDateTime& stamp, const QStringList& cells);
// A cell: the value in decimal, or empty.
QString csvCell(std::optional<std::uint16_t> value);

} // namespace rxwords
