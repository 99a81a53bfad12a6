#pragma once

#include <QAbstractSocket>
#include <QHostInfo>
#include <QString>

// The socket layer reports errors with the Windows Sockets numbering the rest
// of the program (and its users' habits) know; these map Qt's errors onto it.
namespace SocketErrors {

enum : int {
    NoError = 0,
    AccessDenied = 10013,
    AddressInUse = 10048,
    AddressNotAvailable = 10049,
    NetworkDown = 10050,
    NetworkUnreachable = 10051,
    ConnectionAborted = 10053,
    ConnectionReset = 10054,
    NoBufferSpace = 10055,
    TimedOut = 10060,
    ConnectionRefused = 10061,
    HostUnreachable = 10065,
    HostNotFound = 11001,
    TryAgain = 11002,
    NoData = 11004,
};

int codeFor(QAbstractSocket::SocketError error);
int codeFor(QHostInfo::HostInfoError error);

// "No Error" for 0, the description of a known code, "Not a WinSock error" otherwise.
QString SocketErrorDesc(int code);

} // namespace SocketErrors
