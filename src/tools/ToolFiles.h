#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

// Whole-file reads and atomic replacements for the site tools; a failure
// raises an error whose text the command shows ("Unable to write to %s").
QByteArray readFileBytes(const QString& path);
// With `permissions`, the new file has exactly those permission bits from the
// moment it appears; without, an existing file's are kept.
void replaceFileBytes(const QString& path, const QByteArray& bytes,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt);
// Refuses ("Unable to write to %s") a file whose owner may not write it, even
// for a user (root) who could.
void requireOwnerWritable(const QString& path);
