// The HTTP answer reader: whole, chunked and close-ended answers in any
// pieces, interim answers, and every bound and damage it must refuse.
#include <gtest/gtest.h>

#include "HttpReplyReader.h"

namespace {

// Reads answer fed in pieces of step bytes, the connection ending after it when ended.
CHttpReplyReader Read(const QByteArray& answer, qint64 maxBody = 1000, qsizetype step = 0, bool ended = true) {
    CHttpReplyReader reader(maxBody);
    if (step <= 0) {
        step = answer.size();
    }
    for (qsizetype at = 0; at < answer.size(); at += step) {
        reader.Feed(QByteArrayView(answer).sliced(at, std::min(step, answer.size() - at)));
    }
    if (ended) {
        reader.FeedEnd();
    }
    return reader;
}

TEST(HttpReplyReader, ReadsEveryFramingInPiecesOfAnySize) {
    const QByteArray answers[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5;name=value\r\nhello\r\n6\r\n world\r\n0\r\nX-Sum: 1\r\n\r\n",
        "HTTP/1.0 200 OK\r\n\r\nhello world",
        // Bare line feeds, an interim answer, and a header in other letters.
        "HTTP/1.1 100 Continue\n\nHTTP/1.1 200 OK\ncontent-LENGTH: 11\n\nhello world",
    };
    for (const QByteArray& answer : answers) {
        for (qsizetype step : {0, 1, 2, 7}) {
            const CHttpReplyReader reader = Read(answer, 1000, step);
            ASSERT_EQ(reader.CurrentState(), CHttpReplyReader::COMPLETE) << answer.constData() << " step " << step;
            EXPECT_EQ(reader.Status(), 200);
            EXPECT_EQ(reader.Body(), "hello world") << step;
        }
    }
    // Complete before the connection ends, and what follows is not read.
    const CHttpReplyReader early = Read("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokEXTRA", 1000, 0, false);
    EXPECT_EQ(early.CurrentState(), CHttpReplyReader::COMPLETE);
    EXPECT_EQ(early.Body(), "ok");
    const CHttpReplyReader redirect = Read("HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n", 1000, 0, false);
    EXPECT_TRUE(redirect.HeadRead());
    EXPECT_EQ(redirect.Status(), 302);
    EXPECT_EQ(redirect.Header("location"), "/next");
    EXPECT_EQ(Read("HTTP/1.1 204 No Content\r\n\r\n", 1000, 0, false).CurrentState(), CHttpReplyReader::COMPLETE);
}

TEST(HttpReplyReader, RefusesABodyOverItsLimitAsSoonAsItIsKnown) {
    // Announced, or by a chunk's size: refused before any of it is read.
    for (const QByteArray& head :
         {QByteArray("Content-Length: 101\r\n\r\n"), QByteArray("Transfer-Encoding: chunked\r\n\r\n65\r\n"),
          QByteArray("Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFF\r\n")}) {
        const CHttpReplyReader reader = Read("HTTP/1.1 200 OK\r\n" + head, 100, 0, false);
        EXPECT_EQ(reader.FailureReason(), CHttpReplyReader::BODY_TOO_LARGE) << head.constData();
    }
    // Without end: refused at the first byte over, holding no more than the limit.
    CHttpReplyReader endless(100);
    endless.Feed("HTTP/1.1 200 OK\r\n\r\n");
    for (int i = 0; i < 1000 && endless.CurrentState() == CHttpReplyReader::READING_BODY; ++i) {
        endless.Feed(QByteArray(7, 'x'));
    }
    EXPECT_EQ(endless.FailureReason(), CHttpReplyReader::BODY_TOO_LARGE);
    EXPECT_LE(endless.Body().size(), 100);
    CHttpReplyReader chunks(100);
    chunks.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (int i = 0; i < 1000 && chunks.CurrentState() == CHttpReplyReader::READING_BODY; ++i) {
        chunks.Feed("a\r\n0123456789\r\n");
    }
    EXPECT_EQ(chunks.FailureReason(), CHttpReplyReader::BODY_TOO_LARGE);
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + QByteArray(100, 'x')).Body().size(), 100);
}

TEST(HttpReplyReader, RefusesDamagedAndUnaskedForAnswers) {
    struct Case {
        QByteArray answer;
        CHttpReplyReader::Failure failure;
    } const cases[] = {
        {"<html>not http</html>\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 2000 OK\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 050 \n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/2 200 OK\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 101 Switching\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nX: a\r\n folded\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nno colon\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5, 6\r\n\r\nhello", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nX: " + QByteArray(40000, 'a') + "\r\n\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n", CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray(2000, '0') + "1\r\n",
         CHttpReplyReader::MALFORMED},
        {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n", CHttpReplyReader::UNSUPPORTED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", CHttpReplyReader::UNSUPPORTED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, identity\r\n\r\n", CHttpReplyReader::UNSUPPORTED},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nbroke", CHttpReplyReader::TRUNCATED},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", CHttpReplyReader::TRUNCATED},
        {"HTTP/1.1 200", CHttpReplyReader::TRUNCATED},
        {"", CHttpReplyReader::TRUNCATED},
    };
    for (const Case& c : cases) {
        for (qsizetype step : {0, 1}) {
            const CHttpReplyReader reader = Read(c.answer, 1000, step);
            EXPECT_EQ(reader.CurrentState(), CHttpReplyReader::FAILED) << c.answer.left(60).constData();
            EXPECT_EQ(reader.FailureReason(), c.failure) << c.answer.left(60).constData() << " step " << step;
        }
    }
}

}  // namespace
