// Saving a file the technician keeps: the file takes its place only once every byte of it is on
// the disk. A cut backup is worse than none, since it parses as a file that holds a wrong value.
#pragma once

#include <QByteArray>
#include <QString>

namespace rxwords {

// Writes `bytes` as the whole file at `path`, replacing an older one only when every write, the
// flush to the disk and the rename succeeded. Returns an empty string on success, else the
// reason ("no space left on the device"); then an older file of that name stays byte for byte
// and no temporary file is left beside it.
QString saveWhole(const QString& path, const QByteArray& bytes);

// The system's reason for `errorNumber` in the words a message uses ("no space left on the
// device", "the file is larger than this session may write").
QString systemReason(int errorNumber);

} // namespace rxwords
