#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

// A speed limit shared by every connection of one direction: each block moved is paid
// for on one clock, so N transfers at once together stay under the limit. The wait
// after a block is cut in short slices and ends as soon as `stop` says so (the user
// disconnected or cancelled), however low the limit.
class TRateLimit {
public:
    // Bytes per second; 0 or less: no limit.
    void SetRate(std::int64_t bytesPerSecond);
    std::int64_t Rate() const;

    // The largest block worth moving at once under the limit (a tenth of a second's
    // worth, at least one byte); `wanted` when there is no limit.
    std::int64_t BlockFor(std::int64_t wanted) const;
    // Charges `bytes` just moved and waits until the limit allows them.
    void Pay(std::int64_t bytes, const std::function<bool()>& stop);

private:
    using Clock = std::chrono::steady_clock;
    mutable std::mutex m_lock;
    std::int64_t m_rate = 0;
    // When the bytes paid so far are allowed to have been moved.
    Clock::time_point m_due{};
};

// The limits of the two directions, for the whole program.
TRateLimit& UploadRateLimit();
TRateLimit& DownloadRateLimit();

// "10M", "500k", "1.5m", "2048" (bytes per second, as curl's --limit-rate reads them:
// k, m, g are 1024-fold); -1 for text that is no rate.
std::int64_t ParseRate(const std::string& text);
