#include "tools/harbrook-cli/CliOptions.h"

#include <charconv>
#include <limits>

#include "engine/FtpUrl.h"
#include "engine/RateLimit.h"
#include "engine/SessionSetup.h"
#include "ftp/transport/IdPeerCertificate.h"

namespace harbrook::cli {

namespace {

bool parseNumber(const std::string& text, long long low, long long high, long long& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

}  // namespace

std::string usageText() {
    return "Usage: harbrook-cli [OPTIONS] HOST COMMAND...\n"
           "       harbrook-cli parse-listing [--syst TEXT] [--nlst | --mlsd] [FILE]\n"
           "\n"
           "Connects to the FTP server HOST, logs in and runs the commands in one session,\n"
           "in the order given, each written as one argument (e.g. 'cd /pub' pwd). Every\n"
           "command is checked before connecting. Names are split as a shell splits words:\n"
           "quote names with blanks (\"a b\" or 'a b') or escape them (a\\ b).\n"
           "\n"
           "Options:\n"
           "  --port N          server port (default 21)\n"
           "  --user U          account (default: the login of HOST in ~/.netrc, else\n"
           "                    anonymous)\n"
           "  --pass P          password; other users of this machine can read it in the\n"
           "                    process list, so prefer HARBROOK_PASSWORD or ~/.netrc\n"
           "  --tls             explicit TLS (commands and file data) when the server offers\n"
           "                    it, plain text otherwise (with a warning); the certificate\n"
           "                    must verify for HOST\n"
           "  --require-tls     explicit TLS, or fail\n"
           "  --implicit-tls    TLS from the first byte (port 990 unless --port is given)\n"
           "  --cacert FILE     trust the authorities in FILE (PEM) instead of the system's\n"
           "  --pin-sha256 FINGERPRINT  trust the server certificate with this SHA-256\n"
           "                    fingerprint (AB:CD:... as openssl prints it, or plain hex),\n"
           "                    whoever issued it; repeatable; any other is refused\n"
           "  --insecure        do not check the server's certificate (anyone on the path\n"
           "                    could read the session)\n"
           "  --active          active data connections (default passive)\n"
           "  --epsv            ask for data connections with EPSV (EPRT when active)\n"
           "                    where the server offers them, as curl does (default PASV\n"
           "                    and PORT)\n"
           "  --limit-rate RATE  at most RATE bytes per second in each direction (500k,\n"
           "                    10M: k, M, G are 1024-fold), all transfers together\n"
           "  -P N, --parallel N  up to N files at once (1 to 10, default 1) where a\n"
           "                    command moves many\n"
           "  --progress        show running transfers on stderr twice a second\n"
           "  -v, --verbose     every command and reply on stderr (the password as ****)\n"
           "  --timeout SECONDS time-out for connects, replies and stalled data connections\n"
           "                    (default 10 for connects and replies, 30 for data)\n"
           "  --help, --version\n"
           "\n"
           "Options come before HOST. HOST is a name, an IPv4 address or an IPv6 address\n"
           "(::1 or [::1]), or an address ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH]\n"
           "(ftps:// for implicit TLS, port 990): its account, password and port count\n"
           "where no option gives them, and the commands run in PATH.\n"
           "\n"
           "Password, the first found: --pass; the environment variable HARBROOK_PASSWORD;\n"
           "the \"machine HOST login USER password P\" entry (or \"default\") of ~/.netrc,\n"
           "the file curl and lftp read; for anonymous an address-like default.\n"
           "\n"
           "Commands:\n"
           "  pwd               print the current folder\n"
           "  cd PATH           change folder\n"
           "  cdup              change to the parent folder\n"
           "  mkdir NAME        create a folder\n"
           "  rmdir NAME        remove an empty folder\n"
           "  rm NAME           delete a file\n"
           "  mv OLD NEW        rename\n"
           "  size NAME         print a file's size, -1 when unknown\n"
           "  ls [--raw] [PATH] print the folder's entries (TYPE SIZE MODIFIED NAME after a\n"
           "                    layout line), or with --raw the lines the server sent\n"
           "  get REMOTE LOCAL  download a file; an existing LOCAL is replaced only by a\n"
           "                    complete copy (in binary mode: exactly the size the server\n"
           "                    announced). A link LOCAL is replaced, never written through;\n"
           "                    a device or pipe (/dev/null) is written into\n"
           "  get -c REMOTE LOCAL  continue a partial LOCAL at its size (REST), as lftp's\n"
           "                    get -c; the bytes before its end must match the server's\n"
           "  get -n REMOTE LOCAL  download only when LOCAL does not exist\n"
           "  put LOCAL REMOTE  upload a file\n"
           "  put -c LOCAL REMOTE  continue a partial REMOTE at its size (APPE of the rest)\n"
           "  put -n LOCAL REMOTE  upload only when REMOTE does not exist\n"
           "  append LOCAL REMOTE  append a local file to a remote one\n"
           "  get -r REMOTEFOLDER LOCALDIR  download a folder tree\n"
           "  put -r LOCALDIR   upload a folder tree into the current remote folder\n"
           "  rm -r NAME        delete a remote folder tree\n"
           "  feat              print the server's capability list\n"
           "\n"
           "Exit status: 0 done, 1 the server or the disk failed, 2 a mistake on the command\n"
           "line, 130 interrupted (Ctrl-C aborts a running transfer and keeps old files).\n";
}

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error) {
    CliOptions options;
    bool portGiven = false;
    std::size_t i = 0;
    auto valueOf = [&](const std::string& flag) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = flag + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 && arg != "-v" && arg != "-P") {
            break;
        }
        if (arg == "--tls") {
            options.tls = true;
        } else if (arg == "--require-tls") {
            options.requireTls = true;
        } else if (arg == "--implicit-tls") {
            options.implicitTls = true;
        } else if (arg == "--insecure") {
            options.insecure = true;
        } else if (arg == "--cacert" || arg == "--pin-sha256") {
            const auto value = valueOf(arg);
            if (!value) {
                return std::nullopt;
            }
            if (arg == "--cacert") {
                options.caFile = *value;
            } else if (const auto fingerprint = harbrook::NormalizedFingerprint(*value)) {
                options.pinnedFingerprints.push_back(*fingerprint);
            } else {
                error = "--pin-sha256 needs a SHA-256 fingerprint: 32 bytes in hex (AB:CD:... or ABCD...)";
                return std::nullopt;
            }
        } else if (arg == "--active") {
            options.active = true;
        } else if (arg == "--epsv") {
            options.extendedDataPort = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--progress") {
            options.progress = true;
        } else if (arg == "--limit-rate") {
            const auto value = valueOf(arg);
            if (!value) {
                return std::nullopt;
            }
            const std::int64_t rate = ParseRate(*value);
            if (rate < 0) {
                error = "--limit-rate needs bytes per second, as 500k, 10M or 2048 (0: no limit)";
                return std::nullopt;
            }
            options.limitRate = rate;
        } else if (arg == "-P" || arg == "--parallel") {
            const auto value = valueOf(arg);
            if (!value) {
                return std::nullopt;
            }
            long long number = 0;
            if (!parseNumber(*value, 1, 10, number)) {
                error = arg + " needs a number of files at once from 1 to 10";
                return std::nullopt;
            }
            options.parallel = static_cast<int>(number);
        } else if (arg == "--port" || arg == "--user" || arg == "--pass" || arg == "--timeout") {
            const auto value = valueOf(arg);
            if (!value) {
                return std::nullopt;
            }
            long long number = 0;
            if (arg == "--port") {
                if (!parseNumber(*value, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max(),
                                 number) ||
                    !IsPortNumber(number)) {
                    error = std::string("--port needs a number: ") + kPortRuleText;
                    return std::nullopt;
                }
                options.port = static_cast<std::uint16_t>(number);
                portGiven = true;
            } else if (arg == "--timeout") {
                if (!parseNumber(*value, 1, 86400, number)) {
                    error = "--timeout needs a number of seconds from 1 to 86400";
                    return std::nullopt;
                }
                options.readTimeoutMs = static_cast<int>(number * 1000);
                options.transferTimeoutMs = options.readTimeoutMs;
                options.connectTimeoutMs = options.readTimeoutMs;
            } else if (arg == "--user") {
                options.user = *value;
            } else {
                options.password = *value;
            }
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (i >= args.size()) {
        error = "no host given";
        return std::nullopt;
    }
    options.host = args[i++];
    if (LooksLikeFtpUrl(options.host)) {
        FtpUrl url;
        std::string why;
        if (!ParseFtpUrl(options.host, url, why)) {
            error = "HOST is no usable address: " + why;
            return std::nullopt;
        }
        options.host = url.host;
        options.implicitTls = options.implicitTls || url.implicitTls;
        if (!portGiven) {
            options.port = url.port;
            portGiven = true;
        }
        if (url.hasUser && !options.user) {
            options.user = url.user;
        }
        if (url.hasPassword && !options.password) {
            options.password = url.password;
        }
        options.startFolder = url.path;
    }
    if (options.implicitTls && (options.tls || options.requireTls)) {
        error = "--implicit-tls and --tls/--require-tls: choose one";
        return std::nullopt;
    }
    if (options.implicitTls && !portGiven) {
        options.port = 990;
    }
    options.commands.assign(args.begin() + static_cast<long>(i), args.end());
    if (options.commands.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    for (const std::string& command : options.commands) {
        if (command.rfind("--", 0) == 0) {
            error = "option " + command + " after HOST: options come before the host";
            return std::nullopt;
        }
        auto parsed = parseCliCommand(command, error);
        if (!parsed) {
            return std::nullopt;
        }
        options.parsedCommands.push_back(std::move(*parsed));
    }
    return options;
}

}  // namespace harbrook::cli
