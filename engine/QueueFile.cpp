#include "engine/QueueFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/QueueEntries.h"
#include "platform/MessageText.h"
#include "platform/ProfileFile.h"

namespace {

constexpr const char* kHeader = "harbrook transfer queues 1";
// A queue of a million entries is far beyond what anyone queues by hand.
constexpr std::int64_t kMaxFileBytes = std::int64_t{512} << 20;

void writeItems(std::string& text, const char* direction, const std::vector<QueueItem>& items) {
    for (const QueueItem& item : items) {
        if (item.state == QueueState::Finished || item.state == QueueState::Skipped) {
            continue;
        }
        text += std::string(direction) + "\t" + (item.state == QueueState::Failed ? "failed" : "waiting") + "\t" +
                EscapedField(item.site.host) + "\t" + std::to_string(item.site.port) + "\t" + EscapedField(item.site.user) +
                "\t" + EscapedField(item.line) + "\t" + EscapedField(item.state == QueueState::Failed ? item.error : "") + "\t" +
                EscapedField(item.resume) + "\t" + std::to_string(item.size) + "\n";
    }
}

}  // namespace

std::string QueueFileText(const std::vector<QueueItem>& uploads, const std::vector<QueueItem>& downloads) {
    std::string text = std::string(kHeader) + "\n";
    writeItems(text, "up", uploads);
    writeItems(text, "down", downloads);
    return text;
}

bool ParseQueueFile(const std::string& text, SavedQueues& queues, std::string& problem) {
    SavedQueues read;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (number == 1) {
            if (line != kHeader) {
                problem = "it is not a list of transfer queues";
                return false;
            }
            continue;
        }
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> fields = SplitAtTabs(line);
        QueueItem item;
        char* end = nullptr;
        // Files written before the size was kept have 8 fields.
        const bool sized = fields.size() == 9;
        const long port = fields.size() == 8 || sized ? std::strtol(fields[3].c_str(), &end, 10) : -1;
        char* sizeEnd = nullptr;
        const long long size = sized ? std::strtoll(fields[8].c_str(), &sizeEnd, 10) : -1;
        const bool ok = port >= 0 && (!sized || (!fields[8].empty() && *sizeEnd == '\0' && size >= -1)) &&
                        (fields[0] == "up" || fields[0] == "down") && (fields[1] == "waiting" || fields[1] == "failed") && !fields[3].empty() && *end == '\0' &&
                        port >= 0 && port <= 65535 && UnescapedField(fields[2], item.site.host) &&
                        UnescapedField(fields[4], item.site.user) && UnescapedField(fields[5], item.line) &&
                        UnescapedField(fields[6], item.error) && UnescapedField(fields[7], item.resume) && !item.line.empty();
        if (!ok) {
            problem = "line " + std::to_string(number) + " is not an entry";
            return false;
        }
        item.site.port = static_cast<std::uint16_t>(port);
        item.size = size;
        item.state = fields[1] == "failed" ? QueueState::Failed : QueueState::Waiting;
        (fields[0] == "up" ? read.uploads : read.downloads).push_back(std::move(item));
    }
    if (number == 0) {
        problem = "it is empty";
        return false;
    }
    queues = std::move(read);
    return true;
}

SavedQueues TQueueFile::Load() {
    SavedQueues queues;
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) != 0 && errno == ENOENT) {
        return queues;
    }
    std::string problem;
    std::ifstream file(m_path, std::ios::binary);
    if (!file) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
        problem = "it is not a list of transfer queues";
    } else {
        std::ostringstream text;
        text << file.rdbuf();
        if (ParseQueueFile(text.str(), queues, problem)) {
            return queues;
        }
    }
    // Nothing of a damaged file is queued; it is kept aside for whoever wants to look.
    const std::string aside = m_path + ".bad";
    const bool setAside = std::rename(m_path.c_str(), aside.c_str()) == 0;
    m_loadProblem = "The saved transfer queues " + harbrook::ShortenedForMessage(m_path) + " could not be read (" +
                    problem + "); they start empty" +
                    (setAside ? ", and the file was set aside as " + harbrook::ShortenedForMessage(aside) : std::string()) +
                    ".";
    return {};
}

bool TQueueFile::Save(const TTransferQueue& uploads, const TTransferQueue& downloads) {
    return harbrook::ReplaceFileWhole(m_path, QueueFileText(uploads.Items(), downloads.Items()));
}

std::string TQueueFile::TakeLoadProblem() {
    std::string problem;
    problem.swap(m_loadProblem);
    return problem;
}
