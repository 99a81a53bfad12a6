#pragma once

#include <QByteArray>
#include <QString>

// Text files are UTF-8 when they are valid UTF-8, else Latin-1 (older files).
QString decodeText(const QByteArray& bytes);
