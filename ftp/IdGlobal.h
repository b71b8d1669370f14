#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum TIdIPVersion { Id_IPv4, Id_IPv6 };

enum TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted,
};

enum TWorkMode { wmRead, wmWrite };

enum TIdMaxLineAction { maException, maSplit };

using TIdStatusEvent = std::function<void(TIdStatus status, const std::string& text)>;
// Begin: the expected total (0 when unknown). Work: the running total since begin.
using TWorkBeginEvent = std::function<void(TWorkMode mode, std::int64_t countMax)>;
using TWorkEvent = std::function<void(TWorkMode mode, std::int64_t count)>;
using TWorkEndEvent = std::function<void(TWorkMode mode)>;
using TNotifyEvent = std::function<void()>;

inline constexpr int IdTimeoutDefault = -1;
inline constexpr int IdMaxLineLengthDefault = 16384;
inline constexpr int IdDefaultBufferSize = 32768;
