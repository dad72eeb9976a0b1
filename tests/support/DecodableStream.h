#pragma once
// Every stream a test builds must also hold in a player's decoder: these
// run it through the decoder model and fail the test with the model's
// report when any rule, authoring rules included, is broken.

#include "pgs/DecoderModel.h"

#include <QString>

#include <gtest/gtest.h>

inline void ExpectDecodable(const std::vector<SReadSegment>& segments, const SModelOptions& options,
                            const std::string& what)
{
    const SModelReport report = CheckDecoderModel(segments, options);
    EXPECT_TRUE(report.Passes(true)) << what << "\n" << FormatModelReport(report);
}

inline void ExpectDecodable(const SStreamContent& content, const std::string& what = "stream")
{
    ASSERT_TRUE(content.Ok()) << what << ": " << content.Error;
    ExpectDecodable(content.Segments, {}, what);
}

inline void ExpectDecodableFile(const QString& path)
{
    SModelReport report;
    std::string error;
    ASSERT_TRUE(CheckStreamFile(path, report, error)) << path.toStdString() << ": " << error;
    EXPECT_TRUE(report.Passes(true)) << path.toStdString() << "\n" << FormatModelReport(report);
}
