#include "tests/support/TlsInterceptor.h"

#include "tests/support/PyFtpdServer.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

TlsInterceptor::TlsInterceptor(std::uint16_t upstreamPort) {
    writeTestCertificate(m_private.file("own.pem"), m_private.file("own.pem"), TestCertificate::SelfSigned);
    writeFile(m_private.file("seen.log"), "");
    m_pid = startPythonHelper({std::string(HARBROOK_TEST_SUPPORT_DIR) + "/tls_interceptor.py", "--upstream-port",
                               std::to_string(upstreamPort), "--certfile", m_private.file("own.pem"), "--log",
                               m_private.file("seen.log")},
                              "tls interceptor", m_port);
}

TlsInterceptor::~TlsInterceptor() {
    stopPythonHelper(m_pid);
}

std::string TlsInterceptor::seen() const {
    return readFile(m_private.file("seen.log"));
}

}  // namespace harbrook::testing
