#include "platform/qt/KeychainPasswords.h"

#include <QCoreApplication>
#include <QThread>

#include <qt6keychain/keychain.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace harbrook {

namespace {

// One request's answer, shared by the keyring's thread and the caller, which may have
// stopped waiting for it.
struct Answer {
    std::mutex lock;
    std::condition_variable arrived;
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    std::string errorText;
    std::string data;
};

// On the keyring's thread: the job for one request.
QKeychain::Job* makeJob(int request, const QString& service, const std::string& data) {
    switch (request) {
        case 0: return new QKeychain::ReadPasswordJob(service);
        case 1: {
            auto* job = new QKeychain::WritePasswordJob(service);
            // Text where it is text (what a keyring manager shows), the bytes otherwise.
            const QByteArray bytes = QByteArray::fromStdString(data);
            if (QString::fromUtf8(bytes).toUtf8() == bytes) {
                job->setTextData(QString::fromUtf8(bytes));
            } else {
                job->setBinaryData(bytes);
            }
            return job;
        }
        default: return new QKeychain::DeletePasswordJob(service);
    }
}

QThread* g_keyringThread = nullptr;
QObject* g_keyringContext = nullptr;

void stopKeyringThread() {
    g_keyringThread->quit();
    // The keyring's calls are asynchronous, so the thread ends at once even while one
    // hangs; should it not, it is left to the end of the process rather than destroyed
    // running.
    if (g_keyringThread->wait(2000)) {
        delete g_keyringThread;
    }
    g_keyringThread = nullptr;
}

// The one thread every request runs on, for the life of the application: the keyring
// library keeps process-wide state on the thread of its first job.
QObject* keyringContext() {
    if (g_keyringContext == nullptr) {
        g_keyringThread = new QThread;
        g_keyringThread->setObjectName(QStringLiteral("keyring"));
        g_keyringContext = new QObject;
        g_keyringContext->moveToThread(g_keyringThread);
        QObject::connect(g_keyringThread, &QThread::finished, g_keyringContext, &QObject::deleteLater);
        g_keyringThread->start();
        qAddPostRoutine(stopKeyringThread);
    }
    return g_keyringContext;
}

}  // namespace

TKeychainPasswords::TKeychainPasswords(std::string service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs) {}

PasswordAnswer TKeychainPasswords::run(Request request, const std::string& key, std::string& data) {
    if (m_gaveUp) {
        return PasswordAnswer::NoKeyring;
    }
    auto answer = std::make_shared<Answer>();
    const QString service = QString::fromStdString(m_service);
    const QString name = QString::fromStdString(key);
    const std::string sent = data;
    QMetaObject::invokeMethod(keyringContext(), [answer, service, name, sent, request] {
        QKeychain::Job* job = makeJob(static_cast<int>(request), service, sent);
        job->setKey(name);
        QObject::connect(job, &QKeychain::Job::finished, [answer](QKeychain::Job* done) {
            std::lock_guard<std::mutex> hold(answer->lock);
            answer->finished = true;
            answer->error = done->error();
            answer->errorText = done->errorString().toStdString();
            if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(done)) {
                answer->data = reading->binaryData().toStdString();
            }
            answer->arrived.notify_all();
        });
        job->start();
    });
    std::unique_lock<std::mutex> hold(answer->lock);
    if (!answer->arrived.wait_for(hold, std::chrono::milliseconds(m_timeoutMs), [&] { return answer->finished; })) {
        m_gaveUp = true;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", m_timeoutMs / 1000.0);
        m_problem = std::string("the keyring did not answer within ") + seconds + " s";
        return PasswordAnswer::NoKeyring;
    }
    switch (answer->error) {
        case QKeychain::NoError: data = answer->data; return PasswordAnswer::Done;
        case QKeychain::EntryNotFound: return PasswordAnswer::NotFound;
        default: break;
    }
    m_problem = answer->errorText.empty() ? "the keyring refused the request" : answer->errorText;
    return PasswordAnswer::NoKeyring;
}

PasswordAnswer TKeychainPasswords::Read(const std::string& key, std::string& password) {
    std::string data;
    const PasswordAnswer answer = run(Request::Read, key, data);
    if (answer == PasswordAnswer::Done) {
        password = data;
    }
    return answer;
}

PasswordAnswer TKeychainPasswords::Write(const std::string& key, const std::string& password) {
    // A keyring keeps text and bytes as different kinds of entry, and a write of the other
    // kind would add a second entry beside the first instead of replacing it.
    if (const PasswordAnswer removed = Remove(key); removed != PasswordAnswer::Done) {
        return removed;
    }
    std::string data = password;
    return run(Request::Write, key, data);
}

PasswordAnswer TKeychainPasswords::Remove(const std::string& key) {
    std::string data;
    const PasswordAnswer answer = run(Request::Remove, key, data);
    // Nothing to remove is as good as removed.
    return answer == PasswordAnswer::NotFound ? PasswordAnswer::Done : answer;
}

}  // namespace harbrook
