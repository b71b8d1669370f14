#pragma once

#include "ftp/transport/IdIOHandlerSocket.h"

// Plain TCP: resolves the host, connects (within ConnectTimeout when one is set) and
// then reads and writes the socket directly.
class TIdIOHandlerStack : public TIdIOHandlerSocket {
public:
    void Open() override;

protected:
    // Runs once the TCP connection stands, before "Connected." is reported; a TLS
    // handler starts an implicit TLS session here.
    virtual void AfterConnect() {}
};
