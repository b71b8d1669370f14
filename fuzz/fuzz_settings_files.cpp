// The files the program reads back at start: the INI settings, the trusted certificates
// and the saved queues. Whatever they hold, reading them ends and keeps to the file.

#include "engine/CertificateTrust.h"
#include "engine/QueueFile.h"
#include "fuzz/FuzzInput.h"
#include "platform/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = harbrook::fuzz::textOf(data, size);
    const harbrook::fuzz::MemoryFile file(text);
    {
        const harbrook::ProfileFile ini(file.path());
        (void)ini.ReadString("main", "host", "");
        (void)ini.ReadInteger("main", "port", 21);
        (void)ini.ReadString("", "", "");
    }
    {
        const TTrustedCertificates trust(file.path());
        (void)trust.Stored("127.0.0.1", 21);
        (void)trust.Judge("h", 990, "AA:BB");
    }
    SavedQueues queues;
    std::string problem;
    if (ParseQueueFile(text, queues, problem)) {
        // What was read is written back as it came.
        SavedQueues again;
        if (!ParseQueueFile(QueueFileText(queues.uploads, queues.downloads), again, problem)) {
            std::abort();
        }
    }
    return 0;
}
