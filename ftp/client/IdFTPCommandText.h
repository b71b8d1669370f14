#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where a passive data connection goes.
struct TIdFTPDataEndpoint {
    std::string Host;
    std::uint16_t Port = 0;
};

namespace harbrook {

// The path a PWD reply quotes: "/home/user" is current directory -> /home/user. A
// doubled quote inside stands for one quote. Empty without an opening and a closing
// quote.
std::string quotedPathOf(const std::string& line);

// The number of a 213 reply to SIZE ("213 1048576", or "1048576" alone), -1 when the
// text is not a number.
std::int64_t sizeReplyValue(const std::vector<std::string>& text);

// The address and port of a PASV reply line: "Entering Passive Mode (10,0,0,5,19,137)"
// or the same numbers after the last blank. Raises EConvertError when the port fields
// are not numbers, EIdFTPServerSentInvalidPort when they make no port.
TIdFTPDataEndpoint parsePasvReply(const std::string& line);

// The address and port of an EPSV reply line: "Entering Extended Passive Mode
// (|||6446|)". An empty address is left empty. Raises EIdFTPServerSentInvalidPort when
// the port is not a number in 1..65535.
TIdFTPDataEndpoint parseEpsvReply(const std::string& line);

}  // namespace harbrook
