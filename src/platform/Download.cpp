#include "Download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr std::int64_t CopyBlock = 1024;
constexpr std::int64_t ReadChunk = 64 * 1024;

std::atomic<int> TimeoutMs{DefaultDownloadTimeoutMs};

bool IsSuccess(const QNetworkReply& reply)
{
    if (reply.error() != QNetworkReply::NoError)
        return false;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;
    return code >= 200 && code < 300;
}

}  // namespace

bool IsDownloadAddress(const QString& path)
{
    return path.startsWith(QLatin1String("http://"), Qt::CaseSensitive) ||
           path.startsWith(QLatin1String("https://"), Qt::CaseSensitive);
}

std::int64_t DownloadKeepBytes(std::int64_t maxDownloadSize)
{
    if (maxDownloadSize < 0)
        return -1;
    const std::int64_t blocks =
        std::max<std::int64_t>(1, maxDownloadSize / CopyBlock + (maxDownloadSize % CopyBlock != 0));
    return blocks > INT64_MAX / CopyBlock ? INT64_MAX : blocks * CopyBlock;
}

void SetDownloadTimeout(int milliseconds)
{
    TimeoutMs = std::max(1, milliseconds);
}

int DownloadTimeout()
{
    return TimeoutMs;
}

bool DownloadToDevice(const QString& address, QIODevice& target, std::int64_t maxDownloadSize)
{
    if (!QCoreApplication::instance() || !IsDownloadAddress(address))
        return false;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;

    const std::int64_t keep = DownloadKeepBytes(maxDownloadSize);
    std::int64_t written = 0;
    bool writeFailed = false;
    bool full = false;
    bool timedOut = false;

    // The loop and the timer outlive the reply: deleting an unfinished
    // reply aborts it, which still signals.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    // Takes what has arrived; stops the loop once the limit is reached, so
    // the rest of a large body is never fetched.
    auto drain = [&] {
        while (!writeFailed && !full && reply->bytesAvailable() > 0) {
            const std::int64_t want = keep < 0 ? ReadChunk : std::min(ReadChunk, keep - written);
            const QByteArray chunk = reply->read(want);
            if (chunk.isEmpty())
                break;
            if (target.write(chunk) != chunk.size())
                writeFailed = true;
            written += chunk.size();
            if (keep >= 0 && written >= keep)
                full = true;
        }
        if (writeFailed || full)
            loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });

    timer.start(DownloadTimeout());
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();
    if (!writeFailed && !full && !timedOut)
        drain();

    // Judge the answer before a deliberate abort marks it as cancelled.
    const bool answered = reply->isFinished() || full;
    const bool ok = !writeFailed && answered && IsSuccess(*reply);
    if (!reply->isFinished())
        reply->abort();
    return ok;
}
