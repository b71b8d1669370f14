#include "engine/RateLimit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// How far ahead of the clock the payments may be after a pause: a transfer that starts
// (or resumes after a stall) gets no more than this as a burst.
constexpr auto kSlack = std::chrono::milliseconds(100);
// The longest sleep between two looks at `stop`.
constexpr auto kSlice = std::chrono::milliseconds(20);

}  // namespace

void TRateLimit::SetRate(std::int64_t bytesPerSecond) {
    std::lock_guard hold(m_lock);
    m_rate = std::max<std::int64_t>(bytesPerSecond, 0);
    m_due = Clock::now();
}

std::int64_t TRateLimit::Rate() const {
    std::lock_guard hold(m_lock);
    return m_rate;
}

std::int64_t TRateLimit::BlockFor(std::int64_t wanted) const {
    const std::int64_t rate = Rate();
    return rate <= 0 ? wanted : std::clamp<std::int64_t>(rate / 10, 1, wanted);
}

void TRateLimit::Pay(std::int64_t bytes, const std::function<bool()>& stop) {
    Clock::time_point due;
    {
        std::lock_guard hold(m_lock);
        if (m_rate <= 0 || bytes <= 0) {
            return;
        }
        const Clock::time_point now = Clock::now();
        // Idle time is not saved up beyond the slack.
        m_due = std::max(m_due, now - kSlack);
        m_due += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
            static_cast<double>(bytes) / static_cast<double>(m_rate)));
        due = m_due;
    }
    while (Clock::now() < due) {
        if (stop && stop()) {
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, due - Clock::now()));
    }
}

TRateLimit& UploadRateLimit() {
    static TRateLimit limit;
    return limit;
}

TRateLimit& DownloadRateLimit() {
    static TRateLimit limit;
    return limit;
}

std::int64_t ParseRate(const std::string& text) {
    if (text.empty() || text.size() > 32) {
        return -1;
    }
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return -1;
    }
    double factor = 1;
    if (used < text.size()) {
        switch (std::tolower(static_cast<unsigned char>(text[used]))) {
            case 'k': factor = 1024.0; break;
            case 'm': factor = 1024.0 * 1024; break;
            case 'g': factor = 1024.0 * 1024 * 1024; break;
            default: return -1;
        }
        ++used;
    }
    const double rate = value * factor;
    if (used != text.size() || !std::isfinite(rate) || rate < 0 || rate > 1e15 ||
        !std::isdigit(static_cast<unsigned char>(text[0]))) {
        return -1;
    }
    return static_cast<std::int64_t>(rate);
}
