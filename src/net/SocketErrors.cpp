#include "net/SocketErrors.h"

namespace SocketErrors {

int codeFor(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return NoError; // an orderly close is no error
    case QAbstractSocket::HostNotFoundError:
        return HostNotFound;
    case QAbstractSocket::SocketAccessError:
        return AccessDenied;
    case QAbstractSocket::SocketResourceError:
        return NoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return TimedOut;
    case QAbstractSocket::NetworkError:
        return HostUnreachable;
    case QAbstractSocket::AddressInUseError:
        return AddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return AddressNotAvailable;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return TryAgain;
    case QAbstractSocket::TemporaryError:
        return NoBufferSpace;
    case QAbstractSocket::OperationError:
        return ConnectionAborted;
    default:
        return -1; // nothing Windows Sockets has a name for
    }
}

int codeFor(QHostInfo::HostInfoError error)
{
    switch (error) {
    case QHostInfo::NoError:
        return NoError;
    case QHostInfo::HostNotFound:
        return HostNotFound;
    default:
        return TryAgain;
    }
}

QString SocketErrorDesc(int code)
{
    switch (code) {
    case NoError:
        return QStringLiteral("No Error");
    case AccessDenied:
        return QStringLiteral("Permission denied");
    case AddressInUse:
        return QStringLiteral("Address already in use");
    case AddressNotAvailable:
        return QStringLiteral("Cannot assign requested address");
    case NetworkDown:
        return QStringLiteral("Network is down");
    case NetworkUnreachable:
        return QStringLiteral("Network is unreachable");
    case ConnectionAborted:
        return QStringLiteral("Software caused connection abort");
    case ConnectionReset:
        return QStringLiteral("Connection reset by peer");
    case NoBufferSpace:
        return QStringLiteral("No buffer space available");
    case TimedOut:
        return QStringLiteral("Connection timed out");
    case ConnectionRefused:
        return QStringLiteral("Connection refused");
    case HostUnreachable:
        return QStringLiteral("No route to host");
    case HostNotFound:
        return QStringLiteral("Host not found");
    case TryAgain:
        return QStringLiteral("Non-authoritative host not found");
    case NoData:
        return QStringLiteral("Valid name, no data record of requested type");
    default:
        return QStringLiteral("Not a WinSock error");
    }
}

} // namespace SocketErrors
