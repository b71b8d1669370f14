// An address typed or pasted into the host field or given to harbrook-cli.

#include "engine/FtpUrl.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = harbrook::fuzz::textOf(data, size);
    (void)LooksLikeFtpUrl(text);
    FtpUrl url;
    std::string error;
    if (ParseFtpUrl(text, url, error)) {
        // Nothing read from an address may put a line break into a command.
        for (const std::string* part : {&url.user, &url.password, &url.host, &url.path}) {
            if (part->find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
                std::abort();
            }
        }
    }
    return 0;
}
