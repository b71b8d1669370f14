#include "ftp/IdException.h"

#include "platform/SocketErrors.h"

EIdSocketError::EIdSocketError(int error)
    : EIdException(harbrook::socketErrorMessage(error)), m_error(error) {}
