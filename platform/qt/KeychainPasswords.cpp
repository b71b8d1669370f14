#include "platform/qt/KeychainPasswords.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <cstdio>

namespace harbrook {

TKeychainPasswords::TKeychainPasswords(std::string service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs) {}

namespace {

// Starts `job` (made with new; it deletes itself when it finishes, also after the wait
// below gave up on it) and waits for it, bounded. Null when it did not finish in time.
QKeychain::Job* runBounded(QKeychain::Job* job, int timeoutMs) {
    QEventLoop loop;
    QPointer<QKeychain::Job> finished;
    job->setAutoDelete(false);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&loop, &finished](QKeychain::Job* done) {
        finished = done;
        loop.quit();
    });
    // A job that finishes after the wait cleans up after itself.
    QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    // What the user does meanwhile waits: no click may act on a half-read setting.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return finished.data();
}

}  // namespace

PasswordAnswer TKeychainPasswords::run(QKeychain::Job* job, const std::string& key) {
    if (m_gaveUp) {
        delete job;
        return PasswordAnswer::NoKeyring;
    }
    job->setKey(QString::fromStdString(key));
    QKeychain::Job* done = runBounded(job, m_timeoutMs);
    if (done == nullptr) {
        m_gaveUp = true;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", m_timeoutMs / 1000.0);
        m_problem = std::string("the keyring did not answer within ") + seconds + " s";
        return PasswordAnswer::NoKeyring;
    }
    switch (done->error()) {
        case QKeychain::NoError: return PasswordAnswer::Done;
        case QKeychain::EntryNotFound: return PasswordAnswer::NotFound;
        default: break;
    }
    m_problem = done->errorString().toStdString();
    if (m_problem.empty()) {
        m_problem = "the keyring refused the request";
    }
    return PasswordAnswer::NoKeyring;
}

PasswordAnswer TKeychainPasswords::Read(const std::string& key, std::string& password) {
    auto* job = new QKeychain::ReadPasswordJob(QString::fromStdString(m_service));
    // Kept alive past the wait for its data: deleteLater runs only at the next loop turn.
    QPointer<QKeychain::ReadPasswordJob> reading = job;
    const PasswordAnswer answer = run(job, key);
    if (answer == PasswordAnswer::Done && reading != nullptr) {
        password = reading->binaryData().toStdString();
    }
    return answer;
}

PasswordAnswer TKeychainPasswords::Write(const std::string& key, const std::string& password) {
    auto* job = new QKeychain::WritePasswordJob(QString::fromStdString(m_service));
    // Text where it is text (what a keyring manager shows), the bytes themselves otherwise.
    const QByteArray bytes = QByteArray::fromStdString(password);
    if (QString::fromUtf8(bytes).toUtf8() == bytes) {
        job->setTextData(QString::fromUtf8(bytes));
    } else {
        job->setBinaryData(bytes);
    }
    return run(job, key);
}

PasswordAnswer TKeychainPasswords::Remove(const std::string& key) {
    const PasswordAnswer answer = run(new QKeychain::DeletePasswordJob(QString::fromStdString(m_service)), key);
    // Nothing to remove is as good as removed.
    return answer == PasswordAnswer::NotFound ? PasswordAnswer::Done : answer;
}

}  // namespace harbrook
