// The certificates the user trusts: kept by host and port in a private file written
// whole, judged against what a server presents, and a damaged file trusting nothing.

#include "engine/CertificateTrust.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;
using Verdict = TTrustedCertificates::Verdict;
using Answer = IDialogs::TrustAnswer;

std::string fingerprint(char digit) {
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += (i > 0 ? ":" : "") + std::string(2, digit);
    }
    return text;
}

TIdPeerCertificate selfSigned(char digit) {
    TIdPeerCertificate certificate;
    certificate.Present = true;
    certificate.Problems = TIdPeerCertificate::SelfSigned | TIdPeerCertificate::NameMismatch;
    certificate.CheckedName = "ftp.example.org";
    certificate.Subject = "CN=other.example";
    certificate.Issuer = "CN=other.example";
    certificate.NotBefore = "2026-01-01 00:00:00 UTC";
    certificate.NotAfter = "2027-01-01 00:00:00 UTC";
    certificate.Sha256 = fingerprint(digit);
    return certificate;
}

class CertificateTrust : public ::testing::Test {
protected:
    std::string path() const { return dir.file("trusted-certificates"); }
    TempDir dir;
};

TEST_F(CertificateTrust, AlwaysIsKeptPrivatelyAcrossRestartsThisTimeIsNot) {
    {
        TTrustedCertificates trust(path());
        EXPECT_EQ(trust.LoadProblem(), "");
        EXPECT_EQ(trust.Judge("ftp.example.org", 21, fingerprint('A')), Verdict::Unknown);
        ASSERT_TRUE(trust.TrustAlways("FTP.Example.org", 21, fingerprint('A')));
        trust.TrustThisRun("::1", 2121, fingerprint('B'));
        EXPECT_EQ(trust.Judge("ftp.example.org", 21, fingerprint('A')), Verdict::Trusted) << "names without case";
        EXPECT_EQ(trust.Judge("::1", 2121, fingerprint('B')), Verdict::Trusted);
        EXPECT_EQ(trust.Judge("ftp.example.org", 990, fingerprint('A')), Verdict::Unknown) << "per port";
    }
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(path()).substr(readFile(path()).find('\n') + 1), "ftp.example.org:21 " + fingerprint('A') + "\n");

    TTrustedCertificates again(path());
    EXPECT_EQ(again.Judge("ftp.example.org", 21, fingerprint('A')), Verdict::Trusted);
    EXPECT_EQ(again.Judge("ftp.example.org", 21, fingerprint('C')), Verdict::Changed);
    EXPECT_EQ(again.Stored("ftp.example.org", 21), fingerprint('A'));
    EXPECT_EQ(again.Judge("::1", 2121, fingerprint('B')), Verdict::Unknown) << "this time was for the last run";
    EXPECT_EQ(TTrustedCertificates::Key("::1", 2121), "[::1]:2121");
}

// A damaged file trusts nothing, never crashes, and is set aside so the next "Trust
// always" starts a good one.
TEST_F(CertificateTrust, ADamagedFileTrustsNothingAndIsSetAside) {
    const std::string good = "example.org:21 " + fingerprint('A') + "\n";
    struct Row {
        const char* label;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"no fingerprint", good + "other.org:21\n"},
        {"a fingerprint that is not hex", good + "other.org:21 " + std::string(64, 'z') + "\n"},
        {"port 0", "example.org:0 " + fingerprint('A') + "\n"},
        {"no port", "example.org " + fingerprint('A') + "\n"},
        {"binary", std::string("\0\x01\x02\xff", 4) + good},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        writeFile(path(), row.text);
        TTrustedCertificates trust(path());
        EXPECT_NE(trust.LoadProblem().find("could not be read"), std::string::npos) << trust.LoadProblem();
        EXPECT_NE(trust.LoadProblem().find("set aside as " + path() + ".bad"), std::string::npos);
        EXPECT_EQ(trust.Judge("example.org", 21, fingerprint('A')), Verdict::Unknown);
        EXPECT_FALSE(fs::exists(path()));
        EXPECT_EQ(readFile(path() + ".bad"), row.text);
        ASSERT_TRUE(trust.TrustAlways("example.org", 21, fingerprint('A')));
        EXPECT_EQ(TTrustedCertificates(path()).LoadProblem(), "");
        fs::remove(path());
    }

    fs::create_directory(path());
    TTrustedCertificates folder(path());
    EXPECT_NE(folder.LoadProblem(), "") << "a folder of the name";

    fs::remove(path() + ".bad");
    fs::remove(path());
    writeFile(path(), good);
    fs::permissions(path(), fs::perms::none);
    if (::geteuid() != 0) {
        TTrustedCertificates unreadable(path());
        EXPECT_NE(unreadable.LoadProblem(), "");
        EXPECT_EQ(unreadable.Judge("example.org", 21, fingerprint('A')), Verdict::Unknown);
    }
}

TEST_F(CertificateTrust, TheQuestionNamesEverythingAndTheWarningBothFingerprints) {
    CertificateQuestion question{"ftp.example.org", 21, selfSigned('A'), Verdict::Unknown, ""};
    const std::string text = CertificateQuestionText(question);
    for (const std::string& part : {std::string("The certificate of ftp.example.org:21 is not trusted."),
                                    std::string("- It is self-signed: no known authority vouches for it."),
                                    std::string("- It is not issued for ftp.example.org."),
                                    std::string("Subject: CN=other.example"), std::string("Issuer: CN=other.example"),
                                    std::string("Valid from 2026-01-01 00:00:00 UTC to 2027-01-01 00:00:00 UTC"),
                                    "SHA-256 fingerprint: " + fingerprint('A')}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
    question.verdict = Verdict::Changed;
    question.storedFingerprint = fingerprint('B');
    const std::string warning = CertificateQuestionText(question);
    EXPECT_EQ(warning.rfind("WARNING: the certificate of ftp.example.org:21 has changed.", 0), 0u) << warning;
    EXPECT_LT(warning.find(fingerprint('B')), warning.find(fingerprint('A'))) << "the old one, then the new one";
}

TEST_F(CertificateTrust, TheAnswersDecideAndAreRemembered) {
    DialogsScope scope;
    TTrustedCertificates trust(path());
    EXPECT_FALSE(AskAboutCertificate(trust, "h", 21, selfSigned('A'))) << "unanswered is Cancel";
    scope.dialogs.trustAnswers = {Answer::ThisTime, Answer::Always};
    EXPECT_TRUE(AskAboutCertificate(trust, "h", 21, selfSigned('A')));
    EXPECT_TRUE(AskAboutCertificate(trust, "h", 21, selfSigned('A'))) << "asked nothing";
    EXPECT_EQ(trust.Stored("h", 21), "");
    EXPECT_TRUE(AskAboutCertificate(trust, "h", 22, selfSigned('A')));
    EXPECT_EQ(trust.Stored("h", 22), fingerprint('A'));
    EXPECT_FALSE(AskAboutCertificate(trust, "h", 22, selfSigned('B'))) << "a changed certificate warns";
    const auto shown = scope.dialogs.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].rfind("trust: Untrusted certificate: The certificate of h:21", 0), 0u) << shown[0];
    EXPECT_EQ(shown[3].rfind("trust: Certificate changed: WARNING", 0), 0u) << shown[3];
}

TEST_F(CertificateTrust, ADamagedFileIsReportedOnceBeforeTheFirstQuestion) {
    DialogsScope scope;
    writeFile(path(), "garbage\n");
    TTrustedCertificates trust(path());
    EXPECT_FALSE(AskAboutCertificate(trust, "h", 21, selfSigned('A')));
    EXPECT_FALSE(AskAboutCertificate(trust, "h", 21, selfSigned('A')));
    const auto shown = scope.dialogs.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].rfind("error: The list of trusted certificates", 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind("trust: ", 0), 0u);
    EXPECT_EQ(shown[2].rfind("trust: ", 0), 0u);
}

}  // namespace
}  // namespace harbrook::testing
