// The single commands of the FTP client: each is one or two commands on the control
// connection with the reply codes it accepts.

#include "ftp/client/IdFTP.h"

#include <algorithm>

#include "ftp/client/IdFTPCommandText.h"

void TIdFTP::ChangeDirectory(const std::string& path) {
    SendCommand("CWD " + path, {200, 250});
}

void TIdFTP::ChangeToParent() {
    SendCommand("CDUP", {200, 250});
}

std::string TIdFTP::CurrentDirectory() {
    SendCommand("PWD", {257});
    const auto& text = LastCmdResult().Text();
    return text.empty() ? std::string() : harbrook::quotedPathOf(text.front());
}

void TIdFTP::MakeDirectory(const std::string& name) {
    SendCommand("MKD " + name, {257});
}

void TIdFTP::RemoveDirectory(const std::string& name) {
    SendCommand("RMD " + name, {250});
}

void TIdFTP::RemoveFile(const std::string& name) {
    SendCommand("DELE " + name, {250});
}

void TIdFTP::RenameFile(const std::string& oldName, const std::string& newName) {
    SendCommand("RNFR " + oldName, {350});
    SendCommand("RNTO " + newName, {250});
}

std::int64_t TIdFTP::FileSize(const std::string& name) {
    if (SendCommand("SIZE " + name) != 213) {
        return -1;
    }
    return harbrook::sizeReplyValue(LastCmdResult().Text());
}

std::string TIdFTP::FileStamp(const std::string& name) {
    if (SendCommand("MDTM " + name) != 213 || LastCmdResult().Text().empty()) {
        return {};
    }
    std::string stamp = LastCmdResult().Text().front();
    while (!stamp.empty() && static_cast<unsigned char>(stamp.back()) <= ' ') {
        stamp.pop_back();
    }
    // The stamp is kept in the transfer queue's tab-separated lines to tell later
    // whether the file changed; a control character there (a tab, a lone CR) would
    // break the line, and no real time holds one: no stamp then.
    const bool control = std::any_of(stamp.begin(), stamp.end(), [](char c) {
        return static_cast<unsigned char>(c) < ' ' || c == '\x7f';
    });
    return control ? std::string() : stamp;
}

bool TIdFTP::ResumeSupported() {
    if (!m_resumeSupported) {
        m_resumeSupported = SendCommand("REST 1") == 350;
        // Puts the server's restart point back to the start.
        SendCommand("REST 0");
    }
    return *m_resumeSupported;
}
