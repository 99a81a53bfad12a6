#pragma once

#include <QString>

// The IndexNow key a site proves it owns by serving it as /<key>.txt.
namespace IndexNowKeyText {

// 8 to 128 characters of a-z, A-Z, 0-9 and "-".
bool isWellFormed(const QString& key);

// 32 lowercase hexadecimal characters from the system's cryptographic source:
// anyone who can guess a site's key can submit in its name.
QString generate();

} // namespace IndexNowKeyText
