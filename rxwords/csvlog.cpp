#include "csvlog.h"

namespace rxwords {

QString csvHeader(std::span<const Word> words) {
    QStringList header{QStringLiteral("time")};
    for (const Word& w : words)
        header << wordName(w);
    return header.join(QLatin1Char(','));
}

QString csvRow(const QDateTime& stamp, const QStringList& cells) {
    const QString time = stamp.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    return cells.isEmpty() ? time : time + QLatin1Char(',') + cells.join(QLatin1Char(','));
}

QString csvCell(std::optional<std::uint16_t> value) {
    return value ? QString::number(*value) : QString();
}

} // namespace rxwords
