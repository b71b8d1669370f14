#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Dialogs.h"

class TIdFTP;

// "NAME (n).EXT": the number goes before the last extension ("a.tar (1).gz"); a name
// whose only dot leads it (".profile") has none ("\.profile (1)").
std::string NumberedName(const std::string& name, int number);
// The first numbered name (1, 2, ...) that `taken` refuses; throws EToolError after
// 9999 taken ones.
std::string FreeName(const std::string& name, const std::function<bool(const std::string& name)>& taken);

// The question's text: which file exists, with its size and the size of what would
// replace it (a size below 0 is left out).
std::string OverwriteMessage(bool download, const std::string& target, std::int64_t existingSize,
                             std::int64_t newSize);

// One queue run's answers: the user is asked about every existing target until an
// answer is given for the rest of the queue, which then stands (a remembered "Resume"
// for a target that cannot be resumed asks again).
class TOverwriteDecider {
public:
    using Ask = std::function<harbrook::OverwriteAnswer(const harbrook::OverwriteQuestion& question)>;
    explicit TOverwriteDecider(Ask ask) : m_ask(std::move(ask)) {}
    harbrook::OverwriteChoice Decide(const harbrook::OverwriteQuestion& question);

private:
    Ask m_ask;
    std::mutex m_lock;
    std::optional<harbrook::OverwriteChoice> m_forTheRest;
};

// What a transfer does about its target after the question, if one was asked: go on
// and move the file (to `target`, which a Rename changed), or nothing more to do (the
// file was resumed, or was whole already), or leave the target as it is.
enum class TargetPlan { Transfer, Done, Skip };

// A download of `remotePath` (of `remoteSize` bytes, -1 unknown) to `target`: asks when
// a file or link of the name exists. Resume (offered for a plain file no larger than
// the remote one, where the server restarts transfers) continues it at its size here.
TargetPlan PlanDownloadTarget(TIdFTP& client, const std::string& remotePath, std::int64_t remoteSize,
                              std::string& target, TOverwriteDecider& decider);
// An upload of `localFile` to `remoteName` in the current remote folder: asks when the
// server has the name (SIZE, or the folder's listing where the server has no SIZE).
// Resume (offered when the remote file is no larger than the local one) appends the
// rest here.
TargetPlan PlanUploadTarget(TIdFTP& client, const std::string& localFile, std::string& remoteName,
                            TOverwriteDecider& decider);
