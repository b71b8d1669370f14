// Reply texts as the control connection hands them on: the multi-line reply reader, and
// the replies whose text is read for a value (PWD, SIZE, PASV, EPSV).

#include "ftp/IdException.h"
#include "ftp/client/IdFTPCommandText.h"
#include "ftp/transport/IdReply.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = harbrook::fuzz::textOf(data, size);
    const std::vector<std::string> lines = harbrook::fuzz::linesOf(text);
    TIdReplyFTP reply;
    try {
        reply.ParseLines(lines);
        (void)reply.NumericCode();
        (void)reply.FormattedText();
        TIdReplyFTP copy;
        copy.Assign(reply);
    } catch (const EIdException&) {
        // "Reply Code is not valid": how a reply of no protocol ends.
    }
    for (const std::string& line : lines) {
        (void)TIdReply::IsEndMarker(line);
        (void)harbrook::quotedPathOf(line);
        for (auto parse : {harbrook::parsePasvReply, harbrook::parseEpsvReply}) {
            try {
                const TIdFTPDataEndpoint endpoint = parse(line);
                (void)endpoint;
            } catch (const EIdException&) {
                // A refused reply is what hostile text must come to.
            } catch (const std::exception&) {
            }
        }
        long long value = 0;
        (void)harbrook::parseWholeInteger(line, value);
        (void)harbrook::trimControl(line);
    }
    (void)harbrook::sizeReplyValue(lines);
    return 0;
}
