#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and atomic replacements for the site tools; a failure
// raises an error whose text the command shows ("Unable to write to %s").
QByteArray readFileBytes(const QString& path);
void replaceFileBytes(const QString& path, const QByteArray& bytes);
