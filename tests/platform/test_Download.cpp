#include "platform/Download.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Pattern(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 23);
    return text;
}

// Without an application object a download fails instead of hanging; run
// in a fresh process so that no other test's object is around.
TEST(DownloadDeathTest, FailsWithoutAnApplicationObject)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QBuffer target;
            target.open(QIODevice::WriteOnly);
            const bool ok = !QCoreApplication::instance() &&
                            !DownloadToDevice("http://127.0.0.1:9/x", target, -1);
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

class DownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "platform_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            Application = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Gone before the end of the process, while Qt can still take it down.
    static void TearDownTestSuite() { Application.reset(); }
    void TearDown() override { SetDownloadTimeout(DefaultDownloadTimeoutMs); }

    static std::unique_ptr<QCoreApplication> Application;
};

std::unique_ptr<QCoreApplication> DownloadTest::Application;

TEST_F(DownloadTest, KeepsWholeBlocksUpToTheLimit)
{
    const std::pair<std::int64_t, std::int64_t> table[] = {
        {-1, -1},     {-5000, -1},  {0, 1024},          {1, 1024},
        {1024, 1024}, {1025, 2048}, {1048576, 1048576}, {INT64_MAX, INT64_MAX},
    };
    for (const auto& [limit, kept] : table)
        EXPECT_EQ(DownloadKeepBytes(limit), kept) << limit;

    const std::string big = Pattern(3 * 1048576 + 17);
    CLocalHttpServer server({{"/small.srt", {200, "1\r\nhello\r\n"}},
                             {"/big.srt", {200, big}},
                             {"/odd.srt", {200, Pattern(1500)}},
                             {"/empty.srt", {200, ""}}});
    struct SCase {
        const char* Target;
        std::int64_t Limit;
        std::string Expected;
    };
    const SCase cases[] = {
        {"/small.srt", 1048576, "1\r\nhello\r\n"},
        {"/small.srt?x=1", 0, "1\r\nhello\r\n"},
        {"/empty.srt", 1048576, ""},
        {"/big.srt", 1048576, big.substr(0, 1048576)},
        {"/big.srt", 1000, big.substr(0, 1024)},
        {"/big.srt", -1, big},
        {"/odd.srt", 1025, Pattern(1500)},
        {"/odd.srt", 1000, Pattern(1024)},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Target << " limit " << c.Limit);
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        ASSERT_TRUE(DownloadToDevice(server.Url(c.Target), target, c.Limit));
        EXPECT_EQ(target.data().size(), static_cast<qsizetype>(c.Expected.size()));
        EXPECT_TRUE(target.data() == QByteArray::fromStdString(c.Expected));
    }
}

TEST_F(DownloadTest, FailuresReturnFalse)
{
    CLocalHttpServer server({{"/error.srt", {500, "broken"}}, {"/moved.srt", {301, ""}}});
    int closedPort = 0;
    {
        CLocalHttpServer gone({});
        closedPort = QUrl(gone.Url("/")).port();
    }
    const QString cases[] = {
        server.Url("/missing.srt"),
        server.Url("/error.srt"),
        server.Url("/moved.srt"),
        QStringLiteral("http://127.0.0.1:%1/x.srt").arg(closedPort),
        "http://",
        "http:///x.srt",
        "ftp://127.0.0.1/x.srt",
        "HTTP://127.0.0.1/x.srt",
    };
    for (const QString& address : cases) {
        SCOPED_TRACE(address.toStdString());
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        EXPECT_FALSE(DownloadToDevice(address, target, 1048576));
    }
}

TEST_F(DownloadTest, AServerThatNeverAnswersTimesOut)
{
    CLocalHttpServer server({{"/silent.srt", {0, ""}}});
    SetDownloadTimeout(300);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(DownloadToDevice(server.Url("/silent.srt"), target, 1048576));
    // Well short of the default time-out: the set one was used.
    EXPECT_LT(clock.elapsed(), DefaultDownloadTimeoutMs / 2);
    EXPECT_TRUE(target.data().isEmpty());
}

TEST(Download, RecognisesAddresses)
{
    const std::pair<QString, bool> table[] = {
        {"http://host/a.srt", true}, {"https://host/a.srt", true}, {"HTTP://host/a.srt", false},
        {" http://host", false},     {"ftp://host/a.srt", false},  {"/tmp/http://a", false},
        {"http:/host", false},
    };
    for (const auto& [path, expected] : table)
        EXPECT_EQ(IsDownloadAddress(path), expected) << path.toStdString();
}

}  // namespace
