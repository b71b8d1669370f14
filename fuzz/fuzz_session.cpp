// A control connection against a peer that answers each command with the next
// NUL-separated piece of the input (the first piece is the greeting): the login, FEAT
// with its capability and LANG lines, SYST, PWD, SIZE, MDTM and REST as the program
// reads them. No data connection is opened: a made-up PASV reply must not send the
// fuzzer's connections off the loopback.

#include <string>

#include "ftp/client/IdFTP.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/ScriptedPeer.h"

namespace {

template <typename Step>
void tolerate(Step step) {
    try {
        step();
    } catch (const std::exception&) {
        // Refusals, time-outs and a closed connection are how hostile replies end.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace harbrook;
    fuzz::ScriptedPeer peer({fuzz::piecesOf(fuzz::textOf(data, size), 40)}, true);
    TIdFTP ftp;
    ftp.SetHost("127.0.0.1");
    ftp.SetPort(fuzz::ScriptedPeer::Port());
    ftp.SetReadTimeout(100);
    ftp.SetConnectTimeout(500);
    ftp.SetUsername("u");
    ftp.SetPassword("p");
    ftp.SetAccount("a");
    tolerate([&] { ftp.Connect(); });
    if (ftp.Connected()) {
        tolerate([&] {
            for (const char* feature : {"MDTM", "SIZE", "UTF8", "MLST", "EPSV", "REST"}) {
                (void)ftp.SupportsFeature(feature);
            }
        });
        tolerate([&] { (void)ftp.CurrentDirectory(); });
        tolerate([&] { (void)ftp.FileSize("f"); });
        tolerate([&] {
            const std::string stamp = ftp.FileStamp("f");
            for (unsigned char c : stamp) {
                if (c < ' ') {
                    __builtin_trap();
                }
            }
        });
        tolerate([&] { (void)ftp.ResumeSupported(); });
        tolerate([&] { ftp.ChangeDirectory("d"); });
    }
    tolerate([&] { ftp.Disconnect(); });
    return 0;
}
