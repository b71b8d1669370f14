#include "engine/QueueEntries.h"

#include "engine/FtpTools.h"

std::string MakeQueueEntry(const std::string& name, const std::string& value) {
    std::string entry;
    entry.reserve(name.size() + value.size() + 1);
    for (char c : name) {
        if (c == '%') {
            entry += "%25";
        } else if (c == '=') {
            entry += "%3D";
        } else {
            entry += c;
        }
    }
    entry += '=';
    entry += value;
    return entry;
}

QueueEntry SplitQueueEntry(const std::string& entry) {
    const std::size_t separator = entry.find('=');
    const std::string written = entry.substr(0, separator);
    QueueEntry parsed;
    parsed.value = separator == std::string::npos ? std::string() : entry.substr(separator + 1);
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '%' && i + 2 < written.size()) {
            const std::string code = written.substr(i + 1, 2);
            if (code == "25") {
                parsed.name += '%';
                i += 2;
                continue;
            }
            if (code == "3D" || code == "3d") {
                parsed.name += '=';
                i += 2;
                continue;
            }
        }
        parsed.name += written[i];
    }
    return parsed;
}

std::string UploadQueueEntry(const std::string& localPath, const std::string& remoteFolder) {
    return MakeQueueEntry(localPath, remoteFolder);
}

std::string DownloadQueueEntry(const std::string& remoteFolder, const std::string& name, bool isFolder,
                               const std::string& localFolder) {
    return MakeQueueEntry(AddTrailingSlash(remoteFolder) + name + (isFolder ? "/" : ""), localFolder);
}

std::vector<std::string> SplitAtTabs(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

std::string EscapedField(const std::string& field) {
    std::string out;
    for (const char c : field) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\t': out += "%09"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            default: out += c; break;
        }
    }
    return out;
}

bool UnescapedField(const std::string& field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        const std::string code = field.substr(i + 1, 2);
        if (code == "25") {
            out += '%';
        } else if (code == "09") {
            out += '\t';
        } else if (code == "0D") {
            out += '\r';
        } else if (code == "0A") {
            out += '\n';
        } else {
            return false;
        }
        i += 2;
    }
    return true;
}
